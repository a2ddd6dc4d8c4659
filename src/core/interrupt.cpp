#include "core/interrupt.h"

#include <csignal>

namespace zorvik {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGUSR1};

// The signal received, for the run loop. A handler installed with sigaction
// receives only the signal's number, so what it notes can reach the program in
// no other way: with the temporary file's name in files.cpp, the one piece of
// file-scope mutable state of the program, and written by the handler alone.
volatile std::sig_atomic_t received = 0;

void note_signal(int sig) { received = sig; }

}  // namespace

StopOnSignal::StopOnSignal(bool with_usr1) {
  static_assert(sizeof kStopSignals / sizeof kStopSignals[0] == kCount);
  for (int k = 0; k < kCount; ++k) {
    if (kStopSignals[k] == SIGUSR1 && !with_usr1) continue;
    struct sigaction& old = old_[k];
    if (::sigaction(kStopSignals[k], nullptr, &old) != 0) continue;
    if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = note_signal;
    sigemptyset(&sa.sa_mask);
    // A read of the keyboard or a write that the signal interrupts goes on.
    sa.sa_flags = SA_RESTART;
    installed_[k] = ::sigaction(kStopSignals[k], &sa, nullptr) == 0;
  }
}

StopOnSignal::~StopOnSignal() {
  for (int k = 0; k < kCount; ++k)
    if (installed_[k]) ::sigaction(kStopSignals[k], &old_[k], nullptr);
}

int stop_signal() { return received; }

const char* signal_name(int sig) {
  switch (sig) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGUSR1: return "SIGUSR1";
    default: return "a signal";
  }
}

}  // namespace zorvik
