// Chain-step speed on reference problem B1: three Gaussians on a quadratic
// background (model 101), one data set of 2000 points, twelve free parameters
// moved one at a time.
//
//   BM_TightLoop       the baseline: a plain C++ transcription of the same chain
//                      (data in vectors, one full chi-square per step with the
//                      model written inline, only x-independent factors hoisted,
//                      nothing kept between steps).
//   BM_ProgramStep     the program's own step, changepar, on the tables that
//                      parread and dataread fill from the problem's files.
//   BM_ProgramCompara  one chi-square of the program, the bulk of a step.
//   BM_HoistedTwoPass  the program's chi-square computed the program's way, to
//                      the last bit, but with each Gaussian's x-independent
//                      factors computed once per evaluation.
//   BM_TightChisq      one chi-square of the baseline alone, at the start values.
//   BM_ProgramComparaVector, BM_ProgramStepVector
//                      the program's chi-square and step with the vector line
//                      shapes (the option --vector), after checking that their
//                      chi-square is within 1e-13 of the per-point one.
//   BM_VectorisedExp   the baseline with the exponentials of a block of points
//                      computed in a loop of their own: with the scalar exp of
//                      the maths library, and with the maths library's vector
//                      exp (4 and 8 lanes) looked up at run time.
//
// Every chain draws its uniforms from the same pre-generated pool, so the
// chains visit the same states; before any timing all chains are run side by
// side from the start values and must agree (the hoisted two-pass one with the
// program exactly), which keeps the baselines honest.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include "program_chain.h"
#include <dlfcn.h>
#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/vector_exp.h"
#include "models/workspace.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "setup/data_file.h"
#include "setup/param_file.h"

namespace zorvik {
namespace {

using namespace bench;

namespace fs = std::filesystem;

const fs::path kProblemDir = kBenchRoot / "B1_gauss3";
constexpr double kSqrt2Pi = 2.5066282746310002;

// ---------------------------------------------------------------------------
// The baseline: the problem read straight from its files into vectors
// ---------------------------------------------------------------------------

struct Problem {
  std::vector<double> x, y, sigma;
  double temp = 1.0;
  int npar = 0;
  std::vector<double> par, move, lo, hi;  // index 1 … npar
  std::vector<int> free_pars;             // index 1 … nfit
  double chi2_reference = 0.0;            // the generator's chi-square at the start values
};

std::vector<std::string> tokens_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> t;
  for (std::string s; in >> s;) t.push_back(s);
  return t;
}

// The handful of records the baseline needs: temperature and data error, npar,
// the parameter lines (all additive steps) and the two-column data file. Throws
// std::runtime_error on anything it does not expect.
Problem read_problem() {
  Problem pb;
  std::ifstream in(kProblemDir / "bench.par");
  if (!in) throw std::runtime_error("cannot open " + (kProblemDir / "bench.par").string());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  auto find = [&](const char* tag) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(tag) != std::string::npos) return i;
    throw std::runtime_error(std::string("bench.par: no line with ") + tag);
  };
  const size_t t = find("!Temperature");
  pb.temp = std::stod(tokens_of(lines[t])[0]);
  const double sigma0 = std::stod(tokens_of(lines[t + 1])[0]);
  pb.npar = std::stoi(tokens_of(lines[find("!npar")])[0]);
  const size_t a = find("!Acceptance factor");
  pb.par.assign(pb.npar + 1, 0.0);
  pb.move = pb.lo = pb.hi = pb.par;
  pb.free_pars.assign(1, 0);
  for (int i = 1; i <= pb.npar; ++i) {
    const auto f = tokens_of(lines.at(a + i));
    if (f.size() < 7 || std::stoi(f[0]) != i || f[2] != "a")
      throw std::runtime_error("bench.par: parameter line " + std::to_string(i) + " is not an additive one");
    pb.par[i] = std::stod(f[3]);
    pb.move[i] = std::stod(f[4]);
    pb.lo[i] = std::stod(f[5]);
    pb.hi[i] = std::stod(f[6]);
    if (pb.move[i] != 0.0) pb.free_pars.push_back(i);
  }

  std::ifstream data(kProblemDir / "data1.dat");
  if (!data) throw std::runtime_error("cannot open data1.dat");
  for (std::string l; std::getline(data, l);) {
    const auto f = tokens_of(l);
    if (f.size() < 2) continue;
    char* end = nullptr;
    const double xv = std::strtod(f[0].c_str(), &end);
    if (end == f[0].c_str()) continue;  // the column-title line
    pb.x.push_back(xv);
    pb.y.push_back(std::stod(f[1]));
    pb.sigma.push_back(sigma0);
  }

  std::ifstream meta(kProblemDir / "meta.json");
  const std::string m((std::istreambuf_iterator<char>(meta)), std::istreambuf_iterator<char>());
  const size_t c = m.find("\"chi2_start\":");
  if (c != std::string::npos) pb.chi2_reference = std::strtod(m.c_str() + c + 13, nullptr);
  return pb;
}

const Problem* problem(std::string& why) {
  static std::string error;
  static const std::optional<Problem> pb = []() -> std::optional<Problem> {
    if (!fs::exists(kProblemDir / "bench.par")) {
      error = "reference problem not found at " + kProblemDir.string() + "; skipped";
      return std::nullopt;
    }
    try {
      return read_problem();
    } catch (const std::exception& e) {
      error = e.what();
      return std::nullopt;
    }
  }();
  why = error;
  return pb ? &*pb : nullptr;
}

// The x-independent factors of one evaluation of model 101.
struct Gauss3Factors {
  double b0, b1, b2;
  double amp[3], centre[3], neg_inv_2s2[3];
  explicit Gauss3Factors(const double* p) : b0(p[1]), b1(p[2]), b2(p[3]) {
    for (int m = 0; m < 3; ++m) {
      const double s = p[3 * m + 6];
      amp[m] = p[3 * m + 4] / (s * kSqrt2Pi);
      centre[m] = p[3 * m + 5];
      neg_inv_2s2[m] = -1.0 / (2.0 * s * s);
    }
  }
};

// The baseline chi-square: one pass over the points, the model inline.
struct PlainChisq {
  double operator()(const Problem& pb, const double* p) const {
    const Gauss3Factors g(p);
    const double* x = pb.x.data();
    const double* y = pb.y.data();
    const double* sg = pb.sigma.data();
    const size_t n = pb.x.size();
    double chi = 0.0;
    for (size_t j = 0; j < n; ++j) {
      const double xj = x[j];
      double f = g.b0 + g.b1 * xj + g.b2 * (xj * xj);
      for (int m = 0; m < 3; ++m) {
        const double d = xj - g.centre[m];
        f += g.amp[m] * std::exp(d * d * g.neg_inv_2s2[m]);
      }
      const double r = y[j] - f;
      chi += r * r / (sg[j] * sg[j]);
    }
    return chi;
  }
};

// The program's own two passes (model values of every point into a buffer, then
// the chi-square with the sign test on σ), with the x-independent factors of each
// Gaussian, a/(s·√2π) and 2·s², computed once per evaluation instead of once per
// point. Without Reciprocal the operations and their order are those of the
// program, so the chi-square is the program's to the last bit: this measures
// what hoisting alone would give it. With Reciprocal the exponent is d²·(−1/2s²),
// one multiplication instead of a division per Gaussian and point, which moves
// the last bit of some exponents.
template <bool Reciprocal>
struct HoistedTwoPassChisq {
  mutable std::vector<double> ycalc;

  double operator()(const Problem& pb, const double* p) const {
    const size_t n = pb.x.size();
    ycalc.resize(n);
    double amp[3], centre[3], den[3];
    for (int m = 0; m < 3; ++m) {
      const double s = p[3 * m + 6];
      amp[m] = p[3 * m + 4] / (s * kSqrt2Pi);
      centre[m] = p[3 * m + 5];
      den[m] = Reciprocal ? -1.0 / (2.0 * (s * s)) : 2.0 * (s * s);
    }
    const double b0 = p[1], b1 = p[2], b2 = p[3];
    const double* x = pb.x.data();
    double* yc = ycalc.data();
    for (size_t j = 0; j < n; ++j) {
      const double xj = x[j];
      double sum = b0 + b1 * xj + b2 * (xj * xj);
      for (int m = 0; m < 3; ++m) {
        const double d = xj - centre[m];
        if constexpr (Reciprocal)
          sum = sum + amp[m] * std::exp(d * d * den[m]);
        else
          sum = sum + amp[m] * std::exp(-(d * d) / den[m]);
      }
      yc[j] = sum;
    }
    const double* y = pb.y.data();
    const double* sg = pb.sigma.data();
    double chi = 0.0;
    for (size_t j = 0; j < n; ++j) {
      const double s = sg[j];
      if (s > 0.0) {
        const double d = y[j] - yc[j];
        chi += d * d / (s * s);
      }
    }
    return chi;
  }
};

// ---------------------------------------------------------------------------
// The same chi-square with the exponentials in loops of their own
// ---------------------------------------------------------------------------

// Points are taken in blocks so that the exponent and exponential buffers stay
// in the first-level cache.
constexpr int kBlock = 256;
using ExpArray = void (*)(const double* in, double* out, int n);  // n a multiple of 8

void exp_scalar(const double* in, double* out, int n) {
  for (int j = 0; j < n; ++j) out[j] = std::exp(in[j]);
}

// The maths library's vector exponentials (4 lanes AVX2, 8 lanes AVX-512),
// found in libmvec at run time so that nothing about the build changes.
void* g_vexp4 = nullptr;
void* g_vexp8 = nullptr;

bool load_vector_exp() {
  static const bool ok = [] {
    void* h = dlopen("libmvec.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!h) return false;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) g_vexp4 = dlsym(h, "_ZGVdN4v_exp");
    if (__builtin_cpu_supports("avx512f")) g_vexp8 = dlsym(h, "_ZGVeN8v_exp");
    return true;
  }();
  return ok;
}

__attribute__((target("avx2,fma"))) void exp_mvec4(const double* in, double* out, int n) {
  const auto f = reinterpret_cast<__m256d (*)(__m256d)>(g_vexp4);
  for (int j = 0; j < n; j += 4) _mm256_storeu_pd(out + j, f(_mm256_loadu_pd(in + j)));
}

__attribute__((target("avx512f"))) void exp_mvec8(const double* in, double* out, int n) {
  const auto f = reinterpret_cast<__m512d (*)(__m512d)>(g_vexp8);
  for (int j = 0; j < n; j += 8) _mm512_storeu_pd(out + j, f(_mm512_loadu_pd(in + j)));
}

struct SplitChisq {
  ExpArray exp_array = exp_scalar;

  double operator()(const Problem& pb, const double* p) const {
    const Gauss3Factors g(p);
    const double* x = pb.x.data();
    const double* y = pb.y.data();
    const double* sg = pb.sigma.data();
    const int n = static_cast<int>(pb.x.size());
    alignas(64) double arg[3][kBlock];
    alignas(64) double e[3][kBlock];
    double acc[4] = {0.0, 0.0, 0.0, 0.0};
    for (int j0 = 0; j0 < n; j0 += kBlock) {
      const int nb = std::min(kBlock, n - j0);
      const int nb8 = (nb + 7) & ~7;  // the vector routines take whole lanes; the pad is ignored
      for (int m = 0; m < 3; ++m) {
        const double c = g.centre[m], k = g.neg_inv_2s2[m];
        for (int j = 0; j < nb; ++j) {
          const double d = x[j0 + j] - c;
          arg[m][j] = d * d * k;
        }
        for (int j = nb; j < nb8; ++j) arg[m][j] = 0.0;
        exp_array(arg[m], e[m], nb8);
      }
      // Four partial sums, so that the reduction has no single dependency chain.
      int j = 0;
      for (; j + 4 <= nb; j += 4)
        for (int l = 0; l < 4; ++l) {
          const double xj = x[j0 + j + l];
          const double f = g.b0 + g.b1 * xj + g.b2 * (xj * xj) + g.amp[0] * e[0][j + l] +
                           g.amp[1] * e[1][j + l] + g.amp[2] * e[2][j + l];
          const double r = y[j0 + j + l] - f;
          const double s = sg[j0 + j + l];
          acc[l] += r * r / (s * s);
        }
      for (; j < nb; ++j) {
        const double xj = x[j0 + j];
        const double f = g.b0 + g.b1 * xj + g.b2 * (xj * xj) + g.amp[0] * e[0][j] + g.amp[1] * e[1][j] +
                         g.amp[2] * e[2][j];
        const double r = y[j0 + j] - f;
        acc[0] += r * r / (sg[j0 + j] * sg[j0 + j]);
      }
    }
    return (acc[0] + acc[1]) + (acc[2] + acc[3]);
  }
};


// The program's own tables, read by its readers in a scratch copy of B1.
const ProgramState& program_state() {
  static const ProgramState st = read_program_state("B1", "B1_gauss3");
  return st;
}

// ---------------------------------------------------------------------------
// The agreement check, made once before any timing
// ---------------------------------------------------------------------------

// Relative tolerances. The baseline multiplies by hoisted reciprocals where the
// program divides, so single chi-squares differ by rounding only: about 1e-15
// relative per term, far below 1e-11 after 2000 terms. Along a chain the two
// stay on the same path (an acceptance would only flip if a uniform fell within
// ~1e-12 of its threshold), so the parameters after the check run agree to
// rounding too; 1e-9 leaves room for the error to grow over the steps. The
// generator of the problem computed its chi-square independently: 1e-9.
constexpr double kChiTol = 1e-11;
constexpr double kPathTol = 1e-9;
constexpr double kReferenceTol = 1e-9;
constexpr int kCheckSteps = 3000;

// Empty when everything agrees, else what did not.
const std::string& agreement() {
  static const std::string verdict = []() -> std::string {
    std::string why;
    const Problem* pb = problem(why);
    const ProgramState& ps = program_state();
    if (!pb) return why;
    if (!ps.pristine) return ps.error;
    std::ostringstream msg;
    msg.precision(17);
    ProgramChain prog(*ps.pristine);
    if (prog.npoints() != static_cast<int>(pb->x.size()))
      msg << "points: program " << prog.npoints() << ", baseline " << pb->x.size() << "; ";
    TightChain<Problem, PlainChisq> tight(*pb, PlainChisq{});
    TightChain<Problem, SplitChisq> split(*pb, SplitChisq{});
    TightChain<Problem, HoistedTwoPassChisq<false>> hoisted(*pb, HoistedTwoPassChisq<false>{});
    TightChain<Problem, HoistedTwoPassChisq<true>> recip(*pb, HoistedTwoPassChisq<true>{});
    if (hoisted.chi != prog.chi())
      msg << "start chi-square: program " << prog.chi() << ", hoisted two-pass " << hoisted.chi << "; ";
    if (!within(prog.chi(), tight.chi, kChiTol) || !within(split.chi, tight.chi, kChiTol) ||
        !within(recip.chi, tight.chi, kChiTol))
      msg << "start chi-square: program " << prog.chi() << ", tight " << tight.chi << ", split " << split.chi
          << ", two-pass reciprocal " << recip.chi << "; ";
    if (pb->chi2_reference > 0.0 && !within(pb->chi2_reference, tight.chi, kReferenceTol))
      msg << "start chi-square " << tight.chi << " but the problem says " << pb->chi2_reference << "; ";
    const auto& pool = uniform_pool();
    for (int k = 0; k < kCheckSteps; ++k) {
      prog.step(step_uniforms(pool, k));
      tight.step(step_uniforms(pool, k));
      split.step(step_uniforms(pool, k));
      hoisted.step(step_uniforms(pool, k));
      recip.step(step_uniforms(pool, k));
    }
    if (prog.accepted() != tight.accepted || split.accepted != tight.accepted || recip.accepted != tight.accepted)
      msg << "accepted steps: program " << prog.accepted() << ", tight " << tight.accepted << ", split "
          << split.accepted << ", two-pass reciprocal " << recip.accepted << "; ";
    for (int i = 1; i <= pb->npar; ++i)
      if (!within(prog.run->params.par(i), tight.p[i], kPathTol) || !within(split.p[i], tight.p[i], kPathTol) ||
          !within(recip.p[i], tight.p[i], kPathTol))
        msg << "p" << i << ": program " << prog.run->params.par(i) << ", tight " << tight.p[i] << ", split "
            << split.p[i] << ", two-pass reciprocal " << recip.p[i] << "; ";
    for (int i = 1; i <= pb->npar; ++i)
      if (hoisted.p[i] != prog.run->params.par(i))
        msg << "p" << i << ": program " << prog.run->params.par(i) << ", hoisted two-pass " << hoisted.p[i] << "; ";
    return msg.str();
  }();
  return verdict;
}

bool ready(benchmark::State& state) {
  const std::string& a = agreement();
  if (a.empty()) return true;
  state.SkipWithError(a.c_str());
  return false;
}

// ---------------------------------------------------------------------------
// Benchmarks
// ---------------------------------------------------------------------------

// Times steps of a baseline chain whose chi-square is `chisq`.
template <class Chisq>
void run_chain(benchmark::State& state, const Problem& pb, Chisq chisq) {
  TightChain<Problem, Chisq> chain(pb, std::move(chisq));
  const auto& pool = uniform_pool();
  unsigned k = 0;
  for (auto _ : state) chain.step(step_uniforms(pool, k++));
  benchmark::DoNotOptimize(chain.p.data());
  report(state, pb.x.size(), chain.accepted);
}

const Problem& the_problem() {
  std::string why;
  return *problem(why);  // present once ready() has said so
}

void BM_TightLoop(benchmark::State& state) {
  if (ready(state)) run_chain(state, the_problem(), PlainChisq{});
}
BENCHMARK(BM_TightLoop);

void BM_ProgramStep(benchmark::State& state) {
  if (ready(state)) time_program_step(state, *program_state().pristine);
}
BENCHMARK(BM_ProgramStep);

void BM_ProgramCompara(benchmark::State& state) {
  if (ready(state)) time_program_compara(state, *program_state().pristine);
}
BENCHMARK(BM_ProgramCompara);

void BM_HoistedTwoPass(benchmark::State& state) {
  if (ready(state)) run_chain(state, the_problem(), HoistedTwoPassChisq<false>{});
}
BENCHMARK(BM_HoistedTwoPass);

void BM_HoistedTwoPassReciprocal(benchmark::State& state) {
  if (ready(state)) run_chain(state, the_problem(), HoistedTwoPassChisq<true>{});
}
BENCHMARK(BM_HoistedTwoPassReciprocal);

void BM_TightChisq(benchmark::State& state) {
  if (!ready(state)) return;
  const Problem& pb = the_problem();
  for (auto _ : state) {
    double chi = PlainChisq{}(pb, pb.par.data());
    benchmark::DoNotOptimize(chi);
  }
  report(state, pb.x.size(), -1);
}
BENCHMARK(BM_TightChisq);

// The vector line shapes change the last bits of the exponentials only: the
// start chi-square must stay within 1e-13 of the per-point one.
constexpr double kVectorChiTol = 1e-13;

bool vector_ready(benchmark::State& state, ProgramChain& chain) {
  const double scalar = chain.chi();
  chain.ws->vector_shapes = true;
  compara(chain.run->settings, chain.run->data, chain.run->params, chain.run->chain, *chain.ws);
  state.counters["chi_rel_diff"] = std::fabs(chain.chi() - scalar) / scalar;
  state.counters["exp_lanes"] = exp_array_lanes();
  if (within(chain.chi(), scalar, kVectorChiTol)) return true;
  state.SkipWithError("the vector chi-square differs from the per-point one by more than 1e-13");
  return false;
}

void BM_ProgramComparaVector(benchmark::State& state) {
  if (!ready(state)) return;
  ProgramChain chain(*program_state().pristine);
  if (!vector_ready(state, chain)) return;
  for (auto _ : state) {
    compara(chain.run->settings, chain.run->data, chain.run->params, chain.run->chain, *chain.ws);
    double chi = chain.chi();
    benchmark::DoNotOptimize(chi);
  }
  report(state, static_cast<size_t>(chain.npoints()), -1);
}
BENCHMARK(BM_ProgramComparaVector);

void BM_ProgramStepVector(benchmark::State& state) {
  if (!ready(state)) return;
  ProgramChain chain(*program_state().pristine);
  if (!vector_ready(state, chain)) return;
  const auto& pool = uniform_pool();
  unsigned k = 0;
  for (auto _ : state) {
    chain.step(step_uniforms(pool, k++));
    double chi = chain.chi();
    benchmark::DoNotOptimize(chi);
  }
  report(state, static_cast<size_t>(chain.npoints()), chain.accepted());
}
BENCHMARK(BM_ProgramStepVector);

// Argument: 1 the scalar exp in its own loop, 4 and 8 the vector exp of that width.
void BM_VectorisedExp(benchmark::State& state) {
  if (!ready(state)) return;
  const Problem& pb = the_problem();
  SplitChisq split;
  const int lanes = static_cast<int>(state.range(0));
  if (lanes > 1) {
    load_vector_exp();
    if (!(lanes == 4 ? g_vexp4 : g_vexp8)) {
      state.SkipWithError("this vector exp is not available here (libmvec or CPU)");
      return;
    }
    split.exp_array = lanes == 4 ? exp_mvec4 : exp_mvec8;
  }
  // The vector exp is not bit-identical to the scalar one (up to 3 units in the
  // last place): how far that moves the start chi-square, same summation order.
  const double scalar_chi = SplitChisq{}(pb, pb.par.data());
  state.counters["chi_rel_diff"] = std::fabs(split(pb, pb.par.data()) - scalar_chi) / scalar_chi;
  run_chain(state, pb, split);
}
BENCHMARK(BM_VectorisedExp)->Arg(1)->Arg(4)->Arg(8);

}  // namespace
}  // namespace zorvik

// The timings mean something only for an optimised build of this file.
#ifdef __OPTIMIZE__
constexpr const char* kBuild = "optimised";
#else
#warning "b1_chain_bench built without optimisation: its timings are not representative"
constexpr const char* kBuild = "NOT optimised";
#endif

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The library's own warning about a debug build concerns how the benchmark
  // library was packaged, not this code: say what this code was built as.
  benchmark::AddCustomContext("b1_chain_bench build", kBuild);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
