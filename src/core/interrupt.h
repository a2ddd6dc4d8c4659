// Stopping a run on request. An interrupt (Ctrl-C) or a termination signal (a
// batch system's time limit sends SIGTERM, then SIGKILL a little later) should
// not throw away the chain run so far: while a StopOnSignal lives, SIGINT and
// SIGTERM only note the signal, the run loop ends after the step in progress,
// and the program writes the statistics of the chain so far before it ends
// with the signal's status (128 + the signal's number). A second signal after
// the run loop has ended acts as usual.
#pragma once

#include <csignal>

namespace zorvik {

class StopOnSignal {
 public:
  // Installs the noting handler for SIGINT and SIGTERM, except for a signal
  // the process ignores (started under nohup, or in the background by a
  // shell without job control), which stays ignored. A run that writes
  // checkpoints also takes SIGUSR1 (a batch system's warning before its time
  // limit) as a request to checkpoint and stop.
  explicit StopOnSignal(bool with_usr1 = false);
  // Gives the signals back their earlier actions.
  ~StopOnSignal();
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;

 private:
  static constexpr int kCount = 3;  // SIGINT, SIGTERM, SIGUSR1
  struct sigaction old_[kCount] = {};
  bool installed_[kCount] = {};
};

// The signal that asked the run to stop (SIGINT, SIGTERM or SIGUSR1), 0 when none did.
// One read of a flag: cheap enough for every step of the chain.
int stop_signal();

// The signal's name: "SIGINT", "SIGTERM", "SIGUSR1".
const char* signal_name(int sig);

}  // namespace zorvik
