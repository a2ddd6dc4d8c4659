// What the chain-step benchmarks on the reference problems share:
//
//   - the pool of uniforms both chains of a problem draw from, so that the
//     program's chain and its straightforward baseline visit the same states;
//   - the chain settings of a problem's parameter file (temperature, values,
//     steps, limits, free parameters), as the baselines read them for
//     themselves, and the generator's chi-square at the start values;
//   - the program's own tables, read by its readers (parread, dataread) in a
//     scratch copy of the problem, and a chain stepping on them with changepar;
//   - the agreement check that runs both chains side by side before any timing;
//   - the timing loops of the baseline's step, the program's step and the
//     program's chi-square, and the counters every benchmark reports.
//
// Each benchmark program is one translation unit, so everything here is inline.
#pragma once

#include <benchmark/benchmark.h>

#include "tight_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "setup/data_file.h"
#include "setup/param_file.h"

namespace zorvik::bench {

namespace fs = std::filesystem;

inline const fs::path kBenchRoot = fs::path(ZORVIK_SOURCE_DIR) / ".." / "shared" / "bench";

// ---------------------------------------------------------------------------
// The uniforms of the chain
// ---------------------------------------------------------------------------

// A one-parameter step (varpar 0) reads rnums[1 … 3]; a step moving every
// parameter would read rnums[1 … npar+1]. 32 floats a step leave room for
// npar = 30 in that mode (checked when the program's tables are read).
inline constexpr int kStride = 32;
inline constexpr int kPoolSteps = 1 << 14;

// Single-precision uniforms strictly inside (0, 1): (k + ½)·2⁻²³ with k a 23-bit
// integer, exact in a float, so 0 and 1 never occur.
inline std::vector<float> make_uniform_pool() {
  std::mt19937 gen(20240601u);
  std::vector<float> u(static_cast<size_t>(kPoolSteps) * kStride);
  for (float& v : u) v = static_cast<float>((static_cast<double>(gen() >> 9) + 0.5) * 0x1p-23);
  return u;
}

inline const std::vector<float>& uniform_pool() {
  static const std::vector<float> pool = make_uniform_pool();
  return pool;
}

// The uniforms of step k, indexed from 1 like the program's rnums.
inline const float* step_uniforms(const std::vector<float>& pool, unsigned k) {
  return pool.data() + static_cast<size_t>(k % kPoolSteps) * kStride;
}

// ---------------------------------------------------------------------------
// Reading a problem's files for the baselines
// ---------------------------------------------------------------------------

inline std::vector<std::string> tokens_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> t;
  for (std::string s; in >> s;) t.push_back(s);
  return t;
}

inline bool is_number(const std::string& s) {
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end != s.c_str() && *end == '\0';
}

inline std::vector<std::string> read_lines(const fs::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// Index of the first line holding tag.
inline size_t line_with(const std::vector<std::string>& lines, const char* tag) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].find(tag) != std::string::npos) return i;
  throw std::runtime_error(std::string("bench.par: no line with ") + tag);
}

// What the baseline chain (tight_chain.h) needs of a problem.
struct ChainParameters {
  double temp = 1.0;
  int npar = 0;
  std::vector<double> par, move, lo, hi;  // index 1 … npar
  std::vector<int> free_pars;             // index 1 … nfit
};

// The temperature and the parameter lines "i name kind value move min max" of
// bench.par. Only additive ("a", free when its step is not 0) and fixed ("n")
// parameters are handled.
inline void read_chain_parameters(const std::vector<std::string>& lines, ChainParameters& cp) {
  cp.temp = std::stod(tokens_of(lines[line_with(lines, "!Temperature")])[0]);
  cp.npar = std::stoi(tokens_of(lines[line_with(lines, "!npar")])[0]);
  const size_t a = line_with(lines, "!Acceptance factor");
  cp.par.assign(cp.npar + 1, 0.0);
  cp.move = cp.lo = cp.hi = cp.par;
  cp.free_pars.assign(1, 0);
  for (int i = 1; i <= cp.npar; ++i) {
    const auto f = tokens_of(lines.at(a + i));
    if (f.size() < 7 || std::stoi(f[0]) != i)
      throw std::runtime_error("bench.par: parameter line " + std::to_string(i) + " not understood");
    cp.par[i] = std::stod(f[3]);
    cp.move[i] = std::stod(f[4]);
    cp.lo[i] = std::stod(f[5]);
    cp.hi[i] = std::stod(f[6]);
    if (f[2] == "a" && cp.move[i] != 0.0)
      cp.free_pars.push_back(i);
    else if (f[2] != "n")
      throw std::runtime_error("bench.par: parameter " + std::to_string(i) + " is neither additive nor fixed");
  }
}

// The mean chi-square at the start values that the problem's generator
// computed on its own ("chi2_start" of meta.json); 0 when there is none.
inline double generator_chi2_start(const fs::path& dir) {
  std::ifstream meta(dir / "meta.json");
  const std::string m((std::istreambuf_iterator<char>(meta)), std::istreambuf_iterator<char>());
  const size_t c = m.find("\"chi2_start\":");
  return c == std::string::npos ? 0.0 : std::strtod(m.c_str() + c + 13, nullptr);
}

// ---------------------------------------------------------------------------
// The program: the tables read by its own readers in a scratch copy
// ---------------------------------------------------------------------------

struct ProgramState {
  std::unique_ptr<Run> pristine;  // as read, before any chi-square
  std::string error;
};

// Copies the files of folder `dir` into a fresh folder, reads parameter file
// `parfile` there with the program's readers (keyboard empty, screen
// discarded), and removes the folder again.
inline ProgramState read_program_state_at(const char* id, const fs::path& dir, const char* parfile) {
  ProgramState s;
  if (!fs::exists(dir / parfile)) {
    s.error = "problem not found at " + (dir / parfile).string() + "; skipped";
    return s;
  }
  std::string templ = (fs::temp_directory_path() / "zorvik_bench_XXXXXX").string();
  if (!mkdtemp(templ.data())) {
    s.error = "mkdtemp failed";
    return s;
  }
  const fs::path scratch = templ;
  const fs::path here = fs::current_path();
  try {
    for (const auto& e : fs::directory_iterator(dir)) {
      const fs::path f = e.path().filename();
      if (f.extension() != ".par" && f.extension() != ".dat") continue;
      fs::copy_file(e.path(), scratch / f);
      fs::permissions(scratch / f, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    }
    fs::current_path(scratch);
    auto run = std::make_unique<Run>();
    std::istringstream keyboard;
    std::ostringstream screen;
    Console con(keyboard, screen);
    run->settings.parfile = parfile;
    const auto never_edit = [](const Name15&) { return false; };  // a start value out of its limits stays
    if (parread(*run, con, never_edit) != ReadOutcome::Done ||
        dataread(run->settings, run->data, con) != ReadOutcome::Done)
      s.error = "the readers asked for an edit:\n" + screen.str();
    else if (run->settings.varpar != 0 && run->settings.npar + 2 > kStride)
      s.error = std::string(id) + ": every parameter moves at each step, more uniforms than the pool's stride";
    else {
      classify_sigmas(run->data, run->settings.nfunc);  // as the program does after the set-up
      s.pristine = std::move(run);
    }
  } catch (const std::exception& e) {
    s.error = std::string("reading ") + id + " failed: " + e.what();
  }
  fs::current_path(here);
  std::error_code ec;
  fs::remove_all(scratch, ec);
  return s;
}

// A reference problem: bench.par in its folder under kBenchRoot.
inline ProgramState read_program_state(const char* id, const char* folder) {
  return read_program_state_at(id, kBenchRoot / folder, "bench.par");
}

// Read once per problem; Ref names it by id and folder.
template <const auto& Ref>
const ProgramState& program_state() {
  static const ProgramState st = read_program_state(Ref.id, Ref.folder);
  return st;
}

struct ProgramChain {
  std::unique_ptr<Run> run;
  std::unique_ptr<ModelWorkspace> ws = std::make_unique<ModelWorkspace>();
  std::istringstream keyboard;
  std::ostringstream screen;
  Console con{keyboard, screen};

  explicit ProgramChain(const Run& pristine) : run(std::make_unique<Run>(pristine)) {
    compara(run->settings, run->data, run->params, run->chain, *ws);
  }
  void step(const float* r) {
    changepar(run->settings, run->data, run->params, run->chain, *ws, StepUniforms(r + 1), con);
  }
  double chi() const { return run->chain.chisq(0); }
  long accepted() const { return run->chain.stepcount(2) + run->chain.stepcount(3); }
  int npoints() const {
    int n = 0;
    for (int i = 1; i <= run->settings.nfunc; ++i) n += run->data.ndatin(i);
    return n;
  }
};

// ---------------------------------------------------------------------------
// The agreement check, made once per problem before any timing
// ---------------------------------------------------------------------------

inline bool within(double a, double b, double tol) {
  return std::fabs(a - b) <= tol * std::max(std::fabs(a), std::fabs(b));
}

// Relative tolerances of the check; each problem states why its values hold.
struct Tolerances {
  double chi;        // program against baseline, at the start and along the chain
  double generator;  // baseline against the generator's chi-square at the start
  double path = 1e-12;  // the parameters at the end of both chains
  int steps = 2000;     // steps of the two chains
};

struct Agreement {
  std::string verdict;            // empty when everything agrees
  double max_rel_diff = 0;        // largest relative chi-square difference seen
  double generator_rel_diff = 0;  // baseline against the generator, at the start
  double program_start = 0, tight_start = 0, generator_start = 0;  // the three start chi-squares
};

// Runs the program's chain and the baseline (Problem read by the baseline,
// Chisq its chi-square) side by side from the start values on the same
// uniforms. They agree when the numbers of points match, the start
// chi-squares and the baseline's chi-square at every tenth state of the
// program's chain are within tol.chi of the program's, the baseline's start is
// within tol.generator of the generator's (when the problem has one), and both
// chains end with the same accepted steps and parameters.
template <class Chisq, class Problem>
Agreement check_agreement(const Problem& pb, const Run& pristine, const Tolerances& tol) {
  Agreement a;
  std::ostringstream msg;
  msg.precision(17);
  ProgramChain prog(pristine);
  if (prog.npoints() != static_cast<int>(pb.npoints))
    msg << "points: program " << prog.npoints() << ", baseline " << pb.npoints << "; ";
  TightChain<Problem, Chisq> tight(pb);
  auto note = [&](double prog_chi, double tight_chi, const char* where) {
    a.max_rel_diff = std::max(a.max_rel_diff, std::fabs(prog_chi - tight_chi) / std::fabs(prog_chi));
    if (!within(prog_chi, tight_chi, tol.chi))
      msg << where << " chi-square: program " << prog_chi << ", tight " << tight_chi << "; ";
  };
  a.program_start = prog.chi();
  a.tight_start = tight.chi;
  a.generator_start = pb.chi2_reference;
  note(prog.chi(), tight.chi, "start");
  if (pb.chi2_reference > 0.0) a.generator_rel_diff = std::fabs(tight.chi - pb.chi2_reference) / pb.chi2_reference;
  if (pb.chi2_reference > 0.0 && !within(pb.chi2_reference, tight.chi, tol.generator))
    msg << "start chi-square " << tight.chi << " but the problem says " << pb.chi2_reference << "; ";
  const auto& pool = uniform_pool();
  Chisq at_program_state;
  std::vector<double> pp(pb.npar + 1);
  for (int k = 0; k < tol.steps; ++k) {
    prog.step(step_uniforms(pool, k));
    tight.step(step_uniforms(pool, k));
    // The baseline's chi-square at the program's state, whatever the paths did.
    for (int i = 1; i <= pb.npar; ++i) pp[i] = prog.run->params.par(i);
    if (k % 10 == 0) note(prog.chi(), at_program_state(pb, pp.data()), "step");
  }
  note(prog.chi(), tight.chi, "final");
  if (prog.accepted() != tight.accepted)
    msg << "accepted steps: program " << prog.accepted() << ", tight " << tight.accepted << "; ";
  for (int i = 1; i <= pb.npar; ++i)
    if (!within(prog.run->params.par(i), tight.p[i], tol.path))
      msg << "p" << i << ": program " << prog.run->params.par(i) << ", tight " << tight.p[i] << "; ";
  a.verdict = msg.str();
  return a;
}

// ---------------------------------------------------------------------------
// Timing
// ---------------------------------------------------------------------------

inline void report(benchmark::State& state, size_t npoints, long accepted) {
  const double steps = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
  // Seconds per data point (printed with an SI prefix: "15.6n" is 15.6 ns).
  state.counters["time_per_point"] =
      benchmark::Counter(steps * static_cast<double>(npoints), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (accepted >= 0) state.counters["acceptance"] = static_cast<double>(accepted) / steps;
}

// The baseline's chain step, with the agreement numbers as counters.
template <class Chisq, class Problem>
void time_tight_loop(benchmark::State& state, const Problem& pb, const Agreement& agreement) {
  TightChain<Problem, Chisq> chain(pb);
  const auto& pool = uniform_pool();
  unsigned k = 0;
  for (auto _ : state) chain.step(step_uniforms(pool, k++));
  benchmark::DoNotOptimize(chain.p.data());
  report(state, pb.npoints, chain.accepted);
  state.counters["check_max_rel_chi_diff"] = agreement.max_rel_diff;
  state.counters["check_generator_rel_diff"] = agreement.generator_rel_diff;
}

// The program's chain step, changepar, from the tables as read.
inline void time_program_step(benchmark::State& state, const Run& pristine) {
  ProgramChain chain(pristine);
  const auto& pool = uniform_pool();
  unsigned k = 0;
  for (auto _ : state) {
    chain.step(step_uniforms(pool, k++));
    double chi = chain.chi();
    benchmark::DoNotOptimize(chi);
  }
  report(state, static_cast<size_t>(chain.npoints()), chain.accepted());
}

// One chi-square of the program at the start values, over and over.
inline void time_program_compara(benchmark::State& state, const Run& pristine) {
  ProgramChain chain(pristine);
  for (auto _ : state) {
    compara(chain.run->settings, chain.run->data, chain.run->params, chain.run->chain, *chain.ws);
    double chi = chain.chi();
    benchmark::DoNotOptimize(chi);
  }
  report(state, static_cast<size_t>(chain.npoints()), -1);
}

}  // namespace zorvik::bench
