// Chain-step speed on the two quasi-elastic reference problems, both convolved
// with a measured resolution ("cf", kernel half-width 80 grid points):
//
//   B2  model 111 (translational diffusion plus a second Lorentzian), five
//       momentum transfers of 400 points, 17 free parameters;
//   B3  model 120 (translational and rotational diffusion in a confining volume,
//       six spherical-Bessel terms), three momentum transfers of 300 points,
//       13 free parameters.
//
// For each problem:
//   BM_<id>_TightLoop       the baseline: a plain C++ transcription of the same
//                           chain (data and kernels in vectors, one full
//                           chi-square per step: the model on the extended grid,
//                           then the kernel sum of every point one after the
//                           other, nothing kept between steps, only the
//                           x-independent factors of a data set computed once
//                           per evaluation).
//   BM_<id>_ProgramStep     the program's own step, changepar, on the tables that
//                           parread and dataread fill from the problem's files.
//   BM_<id>_ProgramCompara  one chi-square of the program, the bulk of a step.
//
// Both chains draw their uniforms from the same pre-generated pool, so they
// visit the same states. Before any timing the two are run side by side from
// the start values and must agree: the same accepted steps and parameters, and
// at every state of the program's chain the baseline's chi-square within a
// stated tolerance of the program's.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include "program_chain.h"
#include "tight_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvik {
namespace {

using namespace bench;

constexpr double kPi = 3.141592653589793;

enum class Model { Dif, Difrotconf };

struct ProblemRef {
  const char* id;      // "B2", "B3"
  const char* folder;  // under the reference-problem root
  Model model;
};

constexpr ProblemRef kB2{"B2", "B2_qens", Model::Dif};
constexpr ProblemRef kB3{"B3", "B3_qens_rot", Model::Difrotconf};

// ---------------------------------------------------------------------------
// The baseline: the problem read straight from its files into vectors
// ---------------------------------------------------------------------------

// One spectrum with its resolution kernel.
struct DataSet {
  double q = 0.0;               // momentum transfer, the second z value
  std::vector<double> x, y, sigma;
  int n = 0;                    // kernel half-width
  std::vector<double> kernel;   // kernel[n + m] = R(m), m = −n … n
  std::vector<double> xgrid;    // the model's grid, point k − n for k = 0 … N + 2n
  double delta = 0.0;           // grid step of the rectangle rule
};

struct Problem : ChainParameters {
  Model model = Model::Dif;
  std::vector<DataSet> sets;
  double chi2_reference = 0.0;            // the generator's mean chi-square at the start values
  size_t npoints = 0;
};

// The resolution file (a header line, then x y) centred on its origin, the last
// line with x ≤ zero, and cut to the half-width the window ±xmax allows on the
// nearer side.
void read_resolution(const fs::path& file, double xmax, double zero, DataSet& ds) {
  if (zero < 0.0) throw std::runtime_error(file.string() + ": origin at the maximum is not handled here");
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  std::vector<double> rx, ry;
  std::string l;
  std::getline(in, l);  // header
  while (std::getline(in, l)) {
    const auto f = tokens_of(l);
    if (f.size() < 2) continue;
    rx.push_back(std::stod(f[0]));
    ry.push_back(std::stod(f[1]));
  }
  const int nr = static_cast<int>(rx.size());
  int origin = -1, ilow = -1, ihigh = -1;
  for (int j = 0; j < nr; ++j) {
    if (origin < 0 && rx[j] > zero) origin = j - 1;
    if (ilow < 0 && rx[j] >= -xmax) ilow = j;
    if (ihigh < 0 && rx[j] >= xmax) ihigh = j;
  }
  if (origin < 0 || ilow < 0 || ihigh < 0) throw std::runtime_error(file.string() + ": window not inside the file");
  ds.n = std::min(std::abs(origin - ihigh), std::abs(origin - ilow));
  ds.kernel.resize(2 * ds.n + 1);
  for (int m = -ds.n; m <= ds.n; ++m) ds.kernel[ds.n + m] = ry.at(origin + m);
}

// A data file: "zvalues nz z1 q …", then x y σ per line. Every point must lie in
// the fit range (the grid starts at the file's first point).
void read_spectrum(const fs::path& file, double xmin, double xmax, DataSet& ds) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot open " + file.string());
  std::string l;
  std::getline(in, l);
  const auto head = tokens_of(l);
  if (head.size() < 4 || head[0] != "zvalues") throw std::runtime_error(file.string() + ": no zvalues header");
  ds.q = std::stod(head[3]);
  while (std::getline(in, l)) {
    const auto f = tokens_of(l);
    if (f.size() < 3 || !is_number(f[0])) continue;
    const double xv = std::stod(f[0]);
    if (xv < xmin || xv > xmax) throw std::runtime_error(file.string() + ": a point outside the fit range");
    ds.x.push_back(xv);
    ds.y.push_back(std::stod(f[1]));
    ds.sigma.push_back(std::stod(f[2]));
  }
  if (ds.x.size() < 2) throw std::runtime_error(file.string() + ": fewer than two points");
}

Problem read_problem(const ProblemRef& ref) {
  const fs::path dir = kBenchRoot / ref.folder;
  Problem pb;
  pb.model = ref.model;
  const std::vector<std::string> lines = read_lines(dir / "bench.par");

  // Data-set lines: name cf Nint nomout xmin xmax model, then the resolution line.
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const auto f = tokens_of(lines[i]);
    if (f.size() < 7 || f[1] != "cf") continue;
    DataSet ds;
    read_spectrum(dir / f[0], std::stod(f[4]), std::stod(f[5]), ds);
    const auto r = tokens_of(lines[i + 1]);
    read_resolution(dir / r.at(0), std::stod(r.at(1)), std::stod(r.at(2)), ds);
    // The grid continues the data's step n points beyond either end.
    const int npts = static_cast<int>(ds.x.size());
    const double x1 = ds.x[0];
    const double dx = std::fabs(ds.x[1] - x1);
    for (int k = -ds.n; k <= npts + ds.n; ++k) ds.xgrid.push_back(x1 + (k - 1) * dx);
    ds.delta = std::fabs((x1 + dx) - x1);
    pb.npoints += ds.x.size();
    pb.sets.push_back(std::move(ds));
  }
  if (pb.sets.empty()) throw std::runtime_error("bench.par: no convolved data set");

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

// ---- the two models, x-independent factors first ---------------------------

inline double lorentz(double d2, double w) { return w / (d2 + w * w); }

// [111] on data set i: background + (A/π)·[f·L(D·q²) + (1 − f)·L(Γ0)].
struct DifFactors {
  double b0, b1, b2, c, api, f, g, wd, w0;
  DifFactors(const double* p, int i, double q)
      : b0(p[1]), b1(p[2]), b2(p[3]), c(p[23 + i]), api(p[5 + i] / kPi), f(p[14 + i]), g(1.0 - p[14 + i]),
        wd(p[5] * (q * q)), w0(p[4]) {}
  double operator()(double x) const {
    const double d = x - c;
    const double d2 = d * d;
    return b0 + b1 * x + b2 * (x * x) + api * (f * lorentz(d2, wd) + g * lorentz(d2, w0));
  }
};

// [120] on data set i: background + (A/π)·[j0²·(f·L(Γ_D) + (1−f)·L(Γ_D+Γc))
//   + Σ_{l=1…6} (2l+1)·j_l²(qR)·(f·L(W_l) + (1−f)·L(W_l+Γc))], W_l = l(l+1)·Dr + Γ_D.
struct DifrotconfFactors {
  double b0, b1, b2, c, api, f, g, el, gd, gdc;
  double wl[7], width[7], widthc[7];
  DifrotconfFactors(const double* p, int i, double q)
      : b0(p[1]), b1(p[2]), b2(p[3]), c(p[25 + i]), api(p[7 + i] / kPi), f(p[16 + i]), g(1.0 - p[16 + i]) {
    const double s = q * p[4];
    const double dr = p[5], gc = p[6];
    gd = p[7] * (q * q);
    gdc = gd + gc;
    const double j0 = std::sph_bessel(0u, s);
    el = j0 * j0;
    for (unsigned l = 1; l <= 6; ++l) {
      const double jl = std::sph_bessel(l, s);
      wl[l] = (2 * l + 1) * (jl * jl);
      width[l] = l * (l + 1) * dr + gd;
      widthc[l] = width[l] + gc;
    }
  }
  double operator()(double x) const {
    const double d = x - c;
    const double d2 = d * d;
    double rot = 0.0;
    for (int l = 1; l <= 6; ++l) rot += wl[l] * (f * lorentz(d2, width[l]) + g * lorentz(d2, widthc[l]));
    const double elastic = el * (f * lorentz(d2, gd) + g * lorentz(d2, gdc));
    return b0 + b1 * x + b2 * (x * x) + api * (elastic + rot);
  }
};

// The chi-square of one data set: the model on the grid, then every point's
// kernel sum Δ·Σ_k f(x_k)·R(j − k), then the squared residual.
template <class Factors>
double set_chisq(const DataSet& ds, const Factors& model, std::vector<double>& grid) {
  const size_t ng = ds.xgrid.size();
  grid.resize(ng);
  for (size_t k = 0; k < ng; ++k) grid[k] = model(ds.xgrid[k]);
  const int n = ds.n, len = 2 * n + 1;
  const double* w = ds.kernel.data() + 2 * n;  // w[−t] = R(n − t)
  double chi = 0.0;
  for (size_t j = 0; j < ds.x.size(); ++j) {
    // Point j (grid index j + 1) sums the grid from index j + 1 − n, i.e. from grid[j + 1].
    const double* gj = grid.data() + j + 1;
    double s = 0.0;
    for (int t = 0; t < len; ++t) s += gj[t] * w[-t];
    const double r = ds.y[j] - ds.delta * s;
    chi += r * r / (ds.sigma[j] * ds.sigma[j]);
  }
  return chi;
}

// The mean chi-square over the data sets, as the chain compares it.
struct PlainChisq {
  mutable std::vector<double> grid;
  double operator()(const Problem& pb, const double* p) const {
    double total = 0.0;
    for (size_t s = 0; s < pb.sets.size(); ++s) {
      const DataSet& ds = pb.sets[s];
      const int i = static_cast<int>(s) + 1;
      total += pb.model == Model::Dif ? set_chisq(ds, DifFactors(p, i, ds.q), grid)
                                      : set_chisq(ds, DifrotconfFactors(p, i, ds.q), grid);
    }
    return total / static_cast<double>(pb.sets.size());
  }
};


// ---------------------------------------------------------------------------
// The agreement check, made once per problem before any timing
// ---------------------------------------------------------------------------

// Relative tolerances on the mean chi-square.
// B2: the baseline evaluates the same expressions in the same order as the
// program (grid values, then each point's kernel sum in increasing index), so
// the two differ at most by rounding: about 1e-16 relative per term, far below
// 1e-11 after 2000 points.
// B3: the program computes the Bessel argument q·R and the values j_l(q·R) in
// single precision (good to a few parts in 1e7), the baseline in double with
// std::sph_bessel. A relative change ε of the line weights moves each model
// value by at most ~ε·|y|, and that point's term of the chi-square by
// ≲ 2·|r/σ|·ε·|y|/σ. With |y|/σ at most 90 on these spectra, |r/σ| ~ 1 and
// ε ~ 3e-7 that is ≲ 5e-5 per point, and since the chi-square is about one per
// point, ≲ 5e-5 of it even if every point erred the same way at its worst:
// 1e-4 relative. (Seen in practice: below 1e-6.)
// The generator of each problem computed its chi-square independently, in
// double: 1e-9 for B2; for B3 the program's single-precision weights do not
// enter the baseline, but the same 1e-4 is kept.
// Along the chains the parameters stay identical as long as no acceptance flips
// (a flip needs a uniform within ~1e-5 of its threshold); 1e-12 then checks
// that the two chains made the same moves.
constexpr Tolerances kTolB2{1e-11, 1e-9};
constexpr Tolerances kTolB3{1e-4, 1e-4};

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
      a = check_agreement<PlainChisq>(*pb, *ps.pristine, Ref.model == Model::Dif ? kTolB2 : kTolB3);
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

BENCHMARK(tight_loop<kB2>)->Name("BM_B2_TightLoop");
BENCHMARK(program_step<kB2>)->Name("BM_B2_ProgramStep");
BENCHMARK(program_compara<kB2>)->Name("BM_B2_ProgramCompara");
BENCHMARK(tight_loop<kB3>)->Name("BM_B3_TightLoop");
BENCHMARK(program_step<kB3>)->Name("BM_B3_ProgramStep");
BENCHMARK(program_compara<kB3>)->Name("BM_B3_ProgramCompara");

}  // namespace
}  // namespace zorvik

// The timings mean something only for an optimised build of this file.
#ifdef __OPTIMIZE__
constexpr const char* kBuild = "optimised";
#else
#warning "b2_b3_qens_bench built without optimisation: its timings are not representative"
constexpr const char* kBuild = "NOT optimised";
#endif

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("b2_b3_qens_bench build", kBuild);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
