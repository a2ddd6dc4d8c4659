// What a checkpoint after every write interval costs on each shipped example.
// The example's chain (the steps, the write intervals and their files, as the
// program runs them) runs in this process in a scratch copy of the example,
// in each iteration once without checkpoints and once with one after every
// write interval (--checkpoint run.ckpt, the default forcing), in turn, so
// that both meet the same load. Counters of BM_<example>:
//   plain_s, ckpt_s  the chain's wall time without and with checkpoints;
//   extra_pct        their difference over plain_s, in per cent (as noisy as
//                    the machine: two separate runs);
//   extra_cpu_pct    the same of this thread's processor time (what other
//                    processes and waits for the disk do not move);
//   inside_pct       the wall time the chain spends making checkpoints (the
//                    state, a copy of the states recorded since the last one
//                    and their checksum, and waiting for the previous one to
//                    be written) over ckpt_s, in per cent: measured within the
//                    one run, so the machine's other load moves it far less;
//   inside_ms        that time in milliseconds a run;
//   writer_pct       the time of the writer's thread (the side file, the
//                    temporary, the rename, the forcing) over ckpt_s: what a
//                    second processor core takes off the chain, and what a
//                    machine with one core would add to it;
//   written, forced  the checkpoints written, and those forced to the disk.
// The whole program also reads its inputs and writes the end-of-run files,
// which these times leave out, so the shares of the whole run are smaller.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// (bench/checkpoint_cost.sh does, after a build with `make bench`).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "output/result_files.h"
#include "sampler/compara.h"
#include "sampler/run_loop.h"
#include "setup/checkpoint_inputs.h"
#include "setup/command_line.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"
#include "setup/startup.h"
#include "shipped_examples.h"

namespace zorvik::bench {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ZORVIK_SOURCE_DIR) / "examples";

// An example read once, as the program reads it with --seed 1, in its scratch
// copy, where every run of it then writes its files.
struct Example {
  std::unique_ptr<Run> pristine;
  fs::path scratch;
  std::string error;
};

// Runs `body` in folder `dir` and comes back.
template <class F>
void inside(const fs::path& dir, F body) {
  const fs::path here = fs::current_path();
  fs::current_path(dir);
  try {
    body();
  } catch (...) {
    fs::current_path(here);
    throw;
  }
  fs::current_path(here);
}

// The examples read so far; their scratch copies go at the program's end.
struct Examples : std::map<std::string, Example> {
  ~Examples() {
    std::error_code ec;
    for (const auto& [id, e] : *this)
      if (!e.scratch.empty()) fs::remove_all(e.scratch, ec);
  }
};

const Example& example(const std::string& id) {
  static Examples all;
  if (auto it = all.find(id); it != all.end()) return it->second;
  Example& e = all[id];
  std::string templ = (fs::temp_directory_path() / "zorvik_ckpt_bench_XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) {
    e.error = "mkdtemp failed";
    return e;
  }
  e.scratch = templ;
  try {
    fs::copy(kExamples / id, e.scratch, fs::copy_options::recursive);
    inside(e.scratch, [&] {
      auto run = std::make_unique<Run>();
      run->settings.seed = 1;
      run->settings.parfile = id + ".par";
      std::istringstream keyboard;
      std::ostringstream screen;
      Console con(keyboard, screen);
      if (read_parameter_file(*run, con) != ReadOutcome::Done ||
          dataread(run->settings, run->data, con) != ReadOutcome::Done) {
        e.error = "the readers asked for an edit:\n" + screen.str();
        return;
      }
      interp(run->data, run->settings, con);
      classify_sigmas(run->data, run->settings.nfunc);
      e.pristine = std::move(run);
    });
  } catch (const std::exception& ex) {
    e.error = "reading " + id + " failed: " + ex.what();
  }
  return e;
}

// The processor time of this thread so far, in seconds.
double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Timed {
  double seconds = 0, inside = 0, cpu = 0, writer = 0;
  long long written = 0, forced = 0;
};

// One whole chain of the example, as `zorvik --seed 1 [--checkpoint run.ckpt]`
// runs it between reading and the end of the run.
Timed run_once(const Example& e, bool checkpoint) {
  Timed t;
  inside(e.scratch, [&] {
    for (const char* f : {"run.ckpt", "run.ckpt.recent0", "run.ckpt.recent1", "run.ckpt.states0", "run.ckpt.states1"})
      fs::remove(f);
    auto run = std::make_unique<Run>(*e.pristine);
    std::istringstream keyboard;
    std::ostringstream screen;
    Console con(keyboard, screen);
    auto ws = make_workspace(con, false);
    RunLoop loop(con);
    if (checkpoint) {
      CommandLine cl;
      cl.seed = 1;
      cl.checkpoint = "run.ckpt";
      loop.checkpoint_path = cl.checkpoint;
      loop.checkpoint_inputs = checkpoint_inputs(*run, cl);
      loop.program_version = "benchmark";
    }
    ResultFiles files;
    const auto start = std::chrono::steady_clock::now();
    const double cpu = thread_seconds();
    run_chain(*run, *ws, loop, files, con);
    t.cpu = thread_seconds() - cpu;
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.inside = loop.checkpoint_seconds;
    t.writer = loop.writer_seconds;
    t.written = loop.checkpoints_written;
    t.forced = loop.checkpoints_forced;
  });
  return t;
}

void cost(benchmark::State& state, const char* id) {
  const Example& e = example(id);
  if (!e.pristine) return state.SkipWithError(e.error.c_str());
  Timed plain, ckpt;
  long long n = 0;
  static long long turns = 0;
  for (auto _ : state) {
    // In turn, the order swapped every time (first: the run with checkpoints first).
    const bool first = turns++ % 2 == 0;
    const Timed a = run_once(e, first), b = run_once(e, !first);
    const Timed& p = first ? b : a;
    const Timed& c = first ? a : b;
    plain.seconds += p.seconds;
    ckpt.seconds += c.seconds;
    plain.cpu += p.cpu;
    ckpt.cpu += c.cpu;
    ckpt.inside += c.inside;
    ckpt.writer += c.writer;
    ckpt.written += c.written;
    ckpt.forced += c.forced;
    state.SetIterationTime(c.seconds);
    ++n;
  }
  state.counters["plain_s"] = plain.seconds / n;
  state.counters["ckpt_s"] = ckpt.seconds / n;
  state.counters["extra_pct"] = 100.0 * (ckpt.seconds - plain.seconds) / plain.seconds;
  state.counters["extra_cpu_pct"] = 100.0 * (ckpt.cpu - plain.cpu) / plain.cpu;
  state.counters["inside_pct"] = 100.0 * ckpt.inside / ckpt.seconds;
  state.counters["inside_ms"] = 1e3 * ckpt.inside / n;
  state.counters["writer_pct"] = 100.0 * ckpt.writer / ckpt.seconds;
  state.counters["written"] = static_cast<double>(ckpt.written) / n;
  state.counters["forced"] = static_cast<double>(ckpt.forced) / n;
}

#define EXAMPLE(name) \
  BENCHMARK_CAPTURE(cost, name, #name)->Name("BM_" #name)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

FOR_EACH_SHIPPED_EXAMPLE(EXAMPLE)

}  // namespace
}  // namespace zorvik::bench

BENCHMARK_MAIN();
