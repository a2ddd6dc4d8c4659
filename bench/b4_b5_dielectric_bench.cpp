// Chain-step speed on the three dielectric reference problems:
//
//   B4a  model 52, the whole loss curve: a Havriliak–Negami α process plus a
//        Cole–Cole β process, fitted as log10 ε'' against log10 f; 120 points,
//        7 free parameters;
//   B4b  model 51, the whole loss curve with the β process from the Williams
//        ansatz: the α loss inverted into its relaxation-time distribution, a
//        Gaussian β distribution in ln τ, and the double integral over both
//        (log scale as B4a); 60 points, 7 free parameters;
//   B5   model 55, HN plus CC with relaxation times following a
//        Vogel–Fulcher–Tammann and an Arrhenius law shared by six temperatures
//        of 80 points each; 35 free parameters.
//
// For each problem:
//   BM_<id>_TightLoop       the baseline: a plain C++ transcription of the same
//                           chain (data in vectors, one full chi-square per
//                           step, nothing kept between steps, only the
//                           x-independent factors computed once per
//                           evaluation). For B4b this includes the
//                           frequency-only tables of the inversion and of the
//                           double integral, which the program keeps between
//                           steps: the baseline builds the inversion kernel
//                           once per evaluation and computes the kernel of the
//                           double integral inside its loops.
//   BM_<id>_ProgramStep     the program's own step, changepar, on the tables that
//                           parread and dataread fill from the problem's files.
//   BM_<id>_ProgramCompara  one chi-square of the program, the bulk of a step.
//
// Both chains draw their uniforms from the same pre-generated pool, so they
// visit the same states. Before any timing the two are run side by side from
// the start values and must agree: the same accepted steps and parameters, and
// at every tenth state of the program's chain the baseline's chi-square within
// 1e-12 relative of the program's. The start chi-squares of program, baseline
// and the problem's generator are printed in the context lines in full.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include "program_chain.h"
#include "tight_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvik {
namespace {

using namespace bench;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// The inversion and the double integral take 2π rounded to single precision.
constexpr double kTwoPiSingle = 6.2831854820251465;
constexpr double kSqrtPi = 1.7724538509055159;
// (ln 10)², turning the double integral over log10 τ into one over ln τ.
constexpr double kLn10Squared = 5.301898;

enum class Model { HnCc, Williams, HnCcT };

struct ProblemRef {
  const char* id;      // "B4a", "B4b", "B5"
  const char* folder;  // under the reference-problem root
  Model model;
  int opfit;           // the model number in bench.par
};

constexpr ProblemRef kB4a{"B4a", "B4a_diel52", Model::HnCc, 52};
constexpr ProblemRef kB4b{"B4b", "B4b_diel51", Model::Williams, 51};
constexpr ProblemRef kB5{"B5", "B5_diel_T", Model::HnCcT, 55};

// ---------------------------------------------------------------------------
// The baseline: the problem read straight from its files into vectors
// ---------------------------------------------------------------------------

struct DataSet {
  double temperature = 0.0;        // the first z value, in kelvin
  std::vector<double> x, y, sigma;  // the fit range; whole-curve models: log10 f, log10 ε''
};

struct Problem : ChainParameters {
  Model model = Model::HnCc;
  std::vector<DataSet> sets;
  double chi2_reference = 0.0;  // the generator's mean chi-square at the start values
  size_t npoints = 0;
};

// A data file: an optional first line (a text header, or "zvalues nz z1 …"),
// then "x y" (error option s0 > 0, every σ = s0) or "x y σ" (s0 = 0) per line.
// The fit range is xmin < x ≤ xmax; reading ends at the first x beyond it.
void read_data(const fs::path& file, double xmin, double xmax, double s0, DataSet& ds) {
  if (s0 < 0.0) throw std::runtime_error(file.string() + ": counting statistics are not handled here");
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  const size_t columns = s0 > 0.0 ? 2 : 3;
  bool first = true;
  for (std::string l; std::getline(in, l);) {
    const auto f = tokens_of(l);
    if (first && !f.empty() && !is_number(f[0])) {
      if (f[0] == "zvalues" && f.size() >= 3) ds.temperature = std::stod(f[2]);
      first = false;
      continue;
    }
    first = false;
    if (f.size() < columns) throw std::runtime_error(file.string() + ": a line with too few columns");
    const double xv = std::stod(f[0]);
    if (xv > xmax) break;
    if (xv <= xmin) continue;
    ds.x.push_back(xv);
    ds.y.push_back(std::stod(f[1]));
    ds.sigma.push_back(s0 > 0.0 ? s0 : std::stod(f[2]));
  }
  if (ds.x.size() < 3) throw std::runtime_error(file.string() + ": fewer than three points in the fit range");
}

Problem read_problem(const ProblemRef& ref) {
  const fs::path dir = kBenchRoot / ref.folder;
  Problem pb;
  pb.model = ref.model;
  const std::vector<std::string> lines = read_lines(dir / "bench.par");

  // The error options, one per data set, on the line after the temperature.
  const auto s0 = tokens_of(lines.at(line_with(lines, "!Temperature") + 1));
  // Data-set lines: name option Nint nomout xmin xmax model "! fitting…".
  for (const std::string& l : lines) {
    if (l.find("! fitting") == std::string::npos) continue;
    const auto f = tokens_of(l);
    if (f.size() < 7 || f[1] != "n" || std::stoi(f[6]) != ref.opfit)
      throw std::runtime_error("bench.par: data-set line not understood: " + l);
    DataSet ds;
    read_data(dir / f[0], std::stod(f[4]), std::stod(f[5]), std::stod(s0.at(pb.sets.size())), ds);
    if (ref.model != Model::HnCcT) {
      // The whole-curve models are fitted on decimal-logarithm scales.
      for (double& v : ds.x) v = std::log10(v);
      for (double& v : ds.y) v = std::log10(v);
    }
    pb.npoints += ds.x.size();
    pb.sets.push_back(std::move(ds));
  }
  if (pb.sets.empty()) throw std::runtime_error("bench.par: no data set");
  if (ref.model != Model::HnCcT && pb.sets.size() != 1)
    throw std::runtime_error("bench.par: a whole-curve model on more than one data set");
  if (pb.sets.size() > 10) throw std::runtime_error("bench.par: more data sets than the model's parameter blocks");

  read_chain_parameters(lines, pb);
  pb.chi2_reference = generator_chi2_start(dir);
  return pb;
}

template <const ProblemRef& Ref>
const Problem* problem(std::string& why) {
  static std::string error;
  static const std::optional<Problem> pb = []() -> std::optional<Problem> {
    if (!fs::exists(kBenchRoot / Ref.folder / "bench.par")) {
      error = std::string("reference problem not found at ") + (kBenchRoot / Ref.folder).string() + "; skipped";
      return std::nullopt;
    }
    try {
      return read_problem(Ref);
    } catch (const std::exception& e) {
      error = e.what();
      return std::nullopt;
    }
  }();
  why = error;
  return pb ? &*pb : nullptr;
}

// ---- the loss shapes, from ωτ ----------------------------------------------

// Width exponent a: s = sin(aπ/2), c = cos(aπ/2), and the power 1 − a.
struct Width {
  double s, c, e;
  explicit Width(double a) : s(std::sin(a * kPi / 2.0)), c(std::cos(a * kPi / 2.0)), e(1.0 - a) {}
};

// Cole–Cole: c·u / (1 + 2us + u²), u = (ωτ)^(1−a).
inline double cole_cole(double wt, const Width& w) {
  const double u = std::pow(wt, w.e);
  return w.c * u / (1.0 + 2.0 * u * w.s + u * u);
}

// Havriliak–Negami: sin(b·φ) / (1 + 2us + u²)^(b/2), φ = atan(c·u / (1 + s·u)).
inline double havriliak_negami(double wt, const Width& w, double b) {
  const double u = std::pow(wt, w.e);
  const double phi = std::atan(w.c * u / (1.0 + w.s * u));
  return std::sin(b * phi) / std::pow(1.0 + 2.0 * u * w.s + u * u, b / 2.0);
}

// ---- model 52 ---------------------------------------------------------------

// ε'' = Δε·(λ·HN(τα = 10^p1, a = p7, b = p8) + (1 − λ)·CC(τβ = 10^p2, a = p9)),
// Δε = p4, λ = p5, at f = 10^x; the residual is taken in log10 ε''.
double hn_cc_chisq(const DataSet& ds, const double* p) {
  const double ta = std::pow(10.0, p[1]), tb = std::pow(10.0, p[2]);
  const Width wa(p[7]), wb(p[9]);
  const double b = p[8], deps = p[4], lambda = p[5];
  double chi = 0.0;
  for (size_t k = 0; k < ds.x.size(); ++k) {
    const double w = kTwoPi * std::pow(10.0, ds.x[k]);
    const double eps = (lambda * havriliak_negami(w * ta, wa, b) + (1.0 - lambda) * cole_cole(w * tb, wb)) * deps;
    const double r = ds.y[k] - std::log10(eps);
    chi += r * r / (ds.sigma[k] * ds.sigma[k]);
  }
  return chi;
}

// ---- model 51 ---------------------------------------------------------------

// The work arrays of one evaluation (sized once, refilled every time).
struct WilliamsScratch {
  std::vector<double> omega, tau, alpha, gbeta, galpha, kernel, delta, beta, inv_tau, wa, wb;
};

// ε'' = Δε·(λ·α loss + (1 − λ)·β loss) at f = 10^x, everything computed anew:
//   α loss  HN(τα = 10^p1, a = p7, b = p8);
//   gβ      exp(−((ln τj − ln τβ)/σ)²)/(σ√π) on τj = 1/(2π fj), τβ = 10^p2, σ = p9;
//   gα      the α loss inverted on the grid τj = 1/(2π fj) (2π in single
//           precision): 100 relaxed sweeps g ← g + 0.3·(ε'' − W·K·g) from
//           g = 0.29·ε'', K_ij = ωi τj/(1 + (ωi τj)²), W = 10^h − 10^−h with h half
//           the step in log10 f, a step that would make g negative not taken;
//   β loss  the Williams double integral over log10 τα and log10 τβ by the
//           trapezoid rule, on the grid extended by one node beyond each end
//           (both distributions extrapolated linearly there):
//           (ln 10)²·(h/2)²·Σ_k wα_k Σ_j wβ_j·ω τeff/(1 + (ω τeff)²),
//           1/τeff = 1/τα,k + 1/τβ,j, h the step in log10 τ.
double williams_chisq(const DataSet& ds, const double* p, WilliamsScratch& s) {
  const int n = static_cast<int>(ds.x.size());
  const size_t m = static_cast<size_t>(n), m2 = m + 2;
  s.omega.resize(m);
  s.tau.resize(m);
  s.alpha.resize(m);
  s.gbeta.resize(m);
  s.galpha.resize(m);
  s.kernel.resize(m * m);
  s.delta.resize(m);
  s.beta.resize(m);
  s.inv_tau.resize(m2);
  s.wa.resize(m2);
  s.wb.resize(m2);

  const double ta = std::pow(10.0, p[1]), lntb = std::log(std::pow(10.0, p[2]));
  const Width wa(p[7]);
  const double b = p[8], width = p[9], deps = p[4], lambda = p[5];
  for (size_t k = 0; k < m; ++k) {
    const double f = std::pow(10.0, ds.x[k]);
    s.alpha[k] = havriliak_negami(kTwoPi * f * ta, wa, b);
    const double r = (std::log(1.0 / (kTwoPi * f)) - lntb) / width;
    s.gbeta[k] = std::exp(-(r * r)) / (width * kSqrtPi);
    s.omega[k] = kTwoPiSingle * f;
    s.tau[k] = 1.0 / (kTwoPiSingle * f);
  }

  // Inversion of the α loss.
  const double h = std::fabs(ds.x[2] - ds.x[1]) / 2.0;
  const double weight = std::pow(10.0, h) - std::pow(10.0, -h);
  for (size_t i = 0; i < m; ++i)
    for (size_t j = 0; j < m; ++j) {
      const double wt = s.omega[i] * s.tau[j];
      s.kernel[i * m + j] = wt / (1.0 + wt * wt);
    }
  double* g = s.galpha.data();
  for (size_t j = 0; j < m; ++j) g[j] = 0.29 * s.alpha[j];
  for (int sweep = 0; sweep < 100; ++sweep) {
    for (size_t i = 0; i < m; ++i) {
      const double* row = s.kernel.data() + i * m;
      double sum = 0.0;
      for (size_t j = 0; j < m; ++j) sum += row[j] * g[j];
      s.delta[i] = 0.3 * (s.alpha[i] - weight * sum);
    }
    for (size_t j = 0; j < m; ++j)
      if (g[j] + s.delta[j] >= 0.0) g[j] += s.delta[j];
  }

  // The Williams double integral on the extended grid.
  const double lgt0 = std::log10(s.tau[0]), lgt1 = std::log10(s.tau[1]);
  const double lgtn = std::log10(s.tau[m - 1]), lgtn1 = std::log10(s.tau[m - 2]);
  const double step = std::fabs(lgt0 - lgt1);
  s.inv_tau[0] = 1.0 / std::pow(10.0, 2.0 * lgt0 - lgt1);
  for (size_t j = 0; j < m; ++j) s.inv_tau[j + 1] = 1.0 / s.tau[j];
  s.inv_tau[m + 1] = 1.0 / std::pow(10.0, 2.0 * lgtn - lgtn1);
  auto trapezoid = [m](const std::vector<double>& dist, std::vector<double>& w) {
    w[0] = 2.0 * dist[0] - dist[1];
    for (size_t j = 0; j < m; ++j) w[j + 1] = 2.0 * dist[j];
    w[m + 1] = 2.0 * dist[m - 1] - dist[m - 2];
  };
  trapezoid(s.galpha, s.wa);
  trapezoid(s.gbeta, s.wb);
  const double scale = kLn10Squared * (step / 2.0) * (step / 2.0);
  for (size_t i = 0; i < m; ++i) {
    const double w = s.omega[i], w2 = w * w;
    double outer = 0.0;
    for (size_t k = 0; k < m2; ++k) {
      double inner = 0.0;
      for (size_t j = 0; j < m2; ++j) {
        // ω τeff/(1 + (ω τeff)²) with 1/τeff = S: ω S/(S² + ω²).
        const double sum_inv = s.inv_tau[k] + s.inv_tau[j];
        inner += s.wb[j] * (w * sum_inv / (sum_inv * sum_inv + w2));
      }
      outer += s.wa[k] * inner;
    }
    s.beta[i] = scale * outer;
  }

  double chi = 0.0;
  for (size_t k = 0; k < m; ++k) {
    const double eps = (lambda * s.alpha[k] + (1.0 - lambda) * s.beta[k]) * deps;
    const double r = ds.y[k] - std::log10(eps);
    chi += r * r / (ds.sigma[k] * ds.sigma[k]);
  }
  return chi;
}

// ---- model 55 ---------------------------------------------------------------

// Data set i at temperature T: p(5+i)·HN(τHN, p(25+i), p(35+i)) + p(15+i)·CC(τCC, p(45+i)),
// τHN = 10^p1·exp(p3·p2/(T − p2)), τCC = 10^p4·exp(p5/T).
double hn_cc_t_chisq(const DataSet& ds, int i, const double* p) {
  const double t = ds.temperature;
  const double thn = std::pow(10.0, p[1]) * std::exp(p[3] * p[2] / (t - p[2]));
  const double tcc = std::pow(10.0, p[4]) * std::exp(p[5] / t);
  const Width whn(p[25 + i]), wcc(p[45 + i]);
  const double ahn = p[5 + i], acc = p[15 + i], b = p[35 + i];
  double chi = 0.0;
  for (size_t k = 0; k < ds.x.size(); ++k) {
    const double w = kTwoPi * ds.x[k];
    const double r = ds.y[k] - (ahn * havriliak_negami(w * thn, whn, b) + acc * cole_cole(w * tcc, wcc));
    chi += r * r / (ds.sigma[k] * ds.sigma[k]);
  }
  return chi;
}

// The mean chi-square over the data sets, as the chain compares it.
struct PlainChisq {
  mutable WilliamsScratch scratch;
  double operator()(const Problem& pb, const double* p) const {
    double total = 0.0;
    for (size_t s = 0; s < pb.sets.size(); ++s) {
      const DataSet& ds = pb.sets[s];
      switch (pb.model) {
        case Model::HnCc: total += hn_cc_chisq(ds, p); break;
        case Model::Williams: total += williams_chisq(ds, p, scratch); break;
        case Model::HnCcT: total += hn_cc_t_chisq(ds, static_cast<int>(s) + 1, p); break;
      }
    }
    return total / static_cast<double>(pb.sets.size());
  }
};

// ---------------------------------------------------------------------------
// The agreement check, made once per problem before any timing
// ---------------------------------------------------------------------------

// Relative tolerances on the mean chi-square.
// Program and baseline compute the same quantities in double precision, from
// the same data values, with the same constants (2π in double for the shapes
// and the Gaussian, in single precision for the inversion and the double
// integral); they differ in how the expressions are written (the shapes from
// (ωτ)^(1−a) here and from exp((1−a)·ln ωτ) in the program, the
// effective-time kernel as ωS/(S² + ω²), plain sums here against four partial
// sums), i.e. by rounding: a few units of 1e-16 in each model value. A relative
// error δ of a model value moves its residual by δ/(σ ln 10) on the log scale
// of B4 (σ = 0.01: 43·δ) and by δ·|y|/σ in B5 (|y|/σ ≲ 60), so each point's
// term by ≲ 100·δ·|r|; summed over the points with residuals of random sign,
// and the chi-square being about one per point, the total moves by far less
// than 1e-12 of itself. The inversion's sweeps g ← g + 0.3·(ε'' − W·K·g) do not
// amplify rounding: K_ij = 1/(2·cosh(ln fi − ln fj)) is symmetric and positive
// definite (the Fourier transform of 1/cosh is positive), and its largest
// eigenvalue is below the largest row sum of 0.3·W·K, 0.47 on B4b, so every
// error mode shrinks or stays; the undone negative steps depend on the sign of
// g + d, which rounding flips only when it is zero to 1e-16.
// (Seen: below 1e-13 on all three problems.)
// The generator computed its chi-square on its own, in double: 1e-9.
// Along the chains the parameters stay identical as long as no acceptance flips
// (a flip needs a uniform within ~1e-12 of its threshold); 1e-12 then checks
// that the two chains made the same moves.
constexpr Tolerances kTol{1e-12, 1e-9};

template <const ProblemRef& Ref>
const Agreement& agreement() {
  static const Agreement result = [] {
    std::string why;
    const Problem* pb = problem<Ref>(why);
    const ProgramState& ps = program_state<Ref>();
    Agreement a;
    if (!pb)
      a.verdict = why;
    else if (!ps.pristine)
      a.verdict = ps.error;
    else
      a = check_agreement<PlainChisq>(*pb, *ps.pristine, kTol);
    return a;
  }();
  return result;
}

template <const ProblemRef& Ref>
bool ready(benchmark::State& state) {
  const Agreement& a = agreement<Ref>();
  if (a.verdict.empty()) return true;
  state.SkipWithError(a.verdict.c_str());
  return false;
}

// The start chi-squares in full, for the context lines of the output.
template <const ProblemRef& Ref>
std::string agreement_summary() {
  const Agreement& a = agreement<Ref>();
  char line[400];
  std::snprintf(line, sizeof line,
                "start chi2 program %.17g, tight %.17g, generator %.17g; rel. diff tight-generator %.3e, "
                "max rel. diff program-tight %.3e; %s",
                a.program_start, a.tight_start, a.generator_start, a.generator_rel_diff, a.max_rel_diff,
                a.verdict.empty() ? "agree" : "DISAGREE");
  return line;
}

// ---------------------------------------------------------------------------
// Benchmarks
// ---------------------------------------------------------------------------

template <const ProblemRef& Ref>
void tight_loop(benchmark::State& state) {
  if (!ready<Ref>(state)) return;
  std::string why;
  time_tight_loop<PlainChisq>(state, *problem<Ref>(why), agreement<Ref>());
}

template <const ProblemRef& Ref>
void program_step(benchmark::State& state) {
  if (ready<Ref>(state)) time_program_step(state, *program_state<Ref>().pristine);
}

template <const ProblemRef& Ref>
void program_compara(benchmark::State& state) {
  if (ready<Ref>(state)) time_program_compara(state, *program_state<Ref>().pristine);
}

BENCHMARK(tight_loop<kB4a>)->Name("BM_B4a_TightLoop");
BENCHMARK(program_step<kB4a>)->Name("BM_B4a_ProgramStep");
BENCHMARK(program_compara<kB4a>)->Name("BM_B4a_ProgramCompara");
BENCHMARK(tight_loop<kB4b>)->Name("BM_B4b_TightLoop");
BENCHMARK(program_step<kB4b>)->Name("BM_B4b_ProgramStep");
BENCHMARK(program_compara<kB4b>)->Name("BM_B4b_ProgramCompara");
BENCHMARK(tight_loop<kB5>)->Name("BM_B5_TightLoop");
BENCHMARK(program_step<kB5>)->Name("BM_B5_ProgramStep");
BENCHMARK(program_compara<kB5>)->Name("BM_B5_ProgramCompara");

}  // namespace
}  // namespace zorvik

// The timings mean something only for an optimised build of this file.
#ifdef __OPTIMIZE__
constexpr const char* kBuild = "optimised";
#else
#warning "b4_b5_dielectric_bench built without optimisation: its timings are not representative"
constexpr const char* kBuild = "NOT optimised";
#endif

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("b4_b5_dielectric_bench build", kBuild);
  benchmark::AddCustomContext("B4a check", zorvik::agreement_summary<zorvik::kB4a>());
  benchmark::AddCustomContext("B4b check", zorvik::agreement_summary<zorvik::kB4b>());
  benchmark::AddCustomContext("B5 check", zorvik::agreement_summary<zorvik::kB5>());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
