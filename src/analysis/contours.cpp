#include "analysis/contours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "analysis/chain_file.h"
#include "analysis/distributions.h"
#include "core/files.h"
#include "core/output_paths.h"
#include "core/table.h"
#include "output/map_files.h"

namespace zorvik {

namespace {

// Bins per axis of the bivariate histogram.
constexpr int kPairBins = 5000;
// The bin numbers the chain test admits (those of the chi-square histogram);
// bins above kPairBins are counted in the normalisation but have no counter of
// their own (see contornmcmc).
constexpr int kPairBinTest = kMaxBins - 1;
// At most this many chain records are binned.
constexpr long long kMaxPairRecords = 1000000000LL;

// The bivariate histogram gparpar, 5000 x 5000 32-bit counters. A chain covers
// a small patch of that square (its bins start at the lowest filled bin of each
// parameter's own histogram), so a row of counters is allocated only when a
// sample first falls in it; the full 100 MB exist only for a chain that spans
// every row. Each map owns its histogram for the length of its calculation.
class PairHistogram {
 public:
  // 1 ≤ a, b ≤ kPairBins.
  void add(int a, int b) {
    std::unique_ptr<std::int32_t[]>& row = rows_[a - 1];
    if (!row) row = std::make_unique<std::int32_t[]>(kPairBins);  // zero-initialised
    ++row[b - 1];
  }
  std::int32_t count(int a, int b) const { return rows_[a - 1] ? rows_[a - 1][b - 1] : 0; }

 private:
  std::array<std::unique_ptr<std::int32_t[]>, kPairBins> rows_;
};

// The bin of a sample at q = (value − origin)/width: trunc(q) + 1 (truncation
// toward zero, so a sample less than one bin below the origin still lands in
// bin 1), or 0 outside 1 … 9999. Testing q before the conversion keeps a NaN or
// an infinite quotient (a zero bin width) out of it.
int pair_bin(double q) { return (q > -1.0 && q < kPairBinTest) ? static_cast<int>(q) + 1 : 0; }

// The number of grid intervals between two contour limits for the requested
// step, rounded to the nearest integer (halves away from zero). A step larger
// than twice the range rounds to no interval; the grid then takes only the two
// limits, as does a step of zero or one too small for a 32-bit count.
int grid_intervals(double lo, double hi, double step, bool& unusable) {
  const double q = (hi - lo) / step;
  if (!(std::abs(q) < 2147483647.0)) {
    unusable = true;
    return 1;
  }
  const long n = std::lround(q);
  if (n == 0) {
    unusable = true;
    return 1;
  }
  return static_cast<int>(n);
}

}  // namespace

namespace {

// The samples of the chain file binned on the grid of parameters (i, j), and
// the range of bins they fill.
struct PairCounts {
  PairHistogram table;
  int igmin = kPairBins, igmax = 1, jgmin = kPairBins, jgmax = 1;
  long long ncount = 0;  // samples admitted by the bin test (the normalisation)
  long long beyond = 0;  // of those, samples beyond the table
};

// Bins the first kMaxPairRecords records of the chain file; the grid origin is
// (x0, y0), the bin widths dx, dy.
void bin_chain(const std::string& chain, int npar, int i, int j, double x0, double y0, double dx, double dy,
               PairCounts& pc, Console& con) {
  ChainFileReader reader(chain, npar + 2);
  double v[kMaxPar + 2];
  long long nread = 0;
  bool ended = false;
  while (nread < kMaxPairRecords) {
    if (!reader.next(v)) {
      ended = true;
      break;
    }
    ++nread;
    const int a = pair_bin((v[1 + i] - x0) / dx);
    const int b = pair_bin((v[1 + j] - y0) / dy);
    if (a == 0 || b == 0) continue;
    ++pc.ncount;
    if (a > kPairBins || b > kPairBins) {
      // Admitted by the bin test but beyond the table: part of the
      // normalisation, not of the map.
      ++pc.beyond;
      continue;
    }
    pc.table.add(a, b);
    pc.igmin = std::min(pc.igmin, a);
    pc.igmax = std::max(pc.igmax, a);
    pc.jgmin = std::min(pc.jgmin, b);
    pc.jgmax = std::max(pc.jgmax, b);
  }
  if (!ended) {
    con.line("End of file found");
    con.line("Calculation made with the first 10000000000 points...");
  }
}

}  // namespace

void contornmcmc(int& i, int j, const Run& run, Console& con) {
  // A negative first parameter asks for the map without empty lines between
  // its rows (one block for gnuplot's splot instead of a grid of lines).
  const bool rowbreaks = i >= 0;
  if (i < 0) i = -i;
  const int npar = run.settings.npar;
  // A chain record holds parameters 1 … npar only.
  check_index("par", 1, 1, npar, i);
  check_index("par", 1, 1, npar, j);

  // The grid starts at the centre of the lowest filled bin of each parameter's
  // own histogram, with that histogram's bin widths.
  const FitParameters& fp = run.params;
  const double dx = fp.incgg(i), dy = fp.incgg(j);
  const double x0 = fp.parmin(i) + (run.hist.minigpar(i) - 1 + 0.5) * dx;
  const double y0 = fp.parmin(j) + (run.hist.minigpar(j) - 1 + 0.5) * dy;

  const std::string chain = chain_trace_path(run.settings.folder);
  if (!file_exists(chain)) {
    con.line("MMchain not generated: no file found");
    return;
  }
  con.line("incgi,incgj", dx, dy);

  const auto counts = std::make_unique<PairCounts>();  // 40 kB of row pointers: on the heap
  PairCounts& pc = *counts;
  bin_chain(chain, npar, i, j, x0, y0, dx, dy, pc, con);
  con.line("igmin,igmax,jgmin,jgmax", pc.igmin, pc.igmax, pc.jgmin, pc.jgmax);
  if (pc.beyond > 0) con.line("Samples beyond bin 5000, left out of the map:", pc.beyond);

  con.line("writing bivariate");
  con.line("igmin,igmax,jgmin,jgmax", pc.igmin, pc.igmax, pc.jgmin, pc.jgmax);

  // Probability density: the fraction of the binned samples in a bin over the
  // bin's area.
  PairMap map;
  map.rowbreaks = rowbreaks;
  for (int a = pc.igmin; a <= pc.igmax; ++a) map.x.push_back(x0 + (a - 1 + 0.5) * dx);
  for (int b = pc.jgmin; b <= pc.jgmax; ++b) map.y.push_back(y0 + (b - 1 + 0.5) * dy);
  map.z.reserve(map.x.size() * map.y.size());
  const double norm = static_cast<double>(pc.ncount);
  const double area = dx * dy;
  for (int a = pc.igmin; a <= pc.igmax; ++a)
    for (int b = pc.jgmin; b <= pc.jgmax; ++b) map.z.push_back(static_cast<double>(pc.table.count(a, b)) / norm / area);
  write_probability_map(bivariate_path(i, j), i, j, map);
}

void contorn(int k, const RunSettings& settings, const FitFunctions& data, FitParameters& fp, const ChainState& ch,
             ModelWorkspace& ws, Console& con) {
  const int npar = settings.npar;

  // The other parameters stay at the best state found (before any run since
  // the parameter file was read there is none: the current one stands in).
  double parc[kMaxPar + 1];
  const bool have_minimum = ch.has_minimum();
  for (int p = 1; p <= npar; ++p) parc[p] = have_minimum ? ch.parchimin(p) : fp.par(p);

  int i = fp.contpar(k, 1);
  const int j = fp.contpar(k, 2);
  const bool rowbreaks = i >= 0;
  i = std::abs(i);
  check_index("par", 1, 1, npar, i);
  check_index("par", 1, 1, npar, j);

  // A grid that ends exactly on the upper limits: the step becomes the range
  // over the nearest whole number of steps, and is kept for the parameter file.
  bool unusable = false;
  const int nx = grid_intervals(fp.ctminx(k), fp.ctmaxx(k), fp.ctdx(k), unusable);
  const int ny = grid_intervals(fp.ctminy(k), fp.ctmaxy(k), fp.ctdy(k), unusable);
  fp.ctdx(k) = (fp.ctmaxx(k) - fp.ctminx(k)) / nx;
  fp.ctdy(k) = (fp.ctmaxy(k) - fp.ctminy(k)) / ny;
  if (unusable) con.line("Contour", k, ": a step does not fit its range; that axis takes only its two limits");

  const TotalChisqAt chi_at = compara_total(settings, data, fp, ws);
  const double xlo = fp.ctminx(k), ylo = fp.ctminy(k), ddx = fp.ctdx(k), ddy = fp.ctdy(k);
  PairMap map;
  map.rowbreaks = rowbreaks;
  for (int a = 0; a <= nx; ++a) map.x.push_back(xlo + a * ddx);
  for (int b = 0; b <= ny; ++b) map.y.push_back(ylo + b * ddy);
  map.z.reserve(map.x.size() * map.y.size());
  for (const double x : map.x) {
    parc[i] = x;
    for (const double y : map.y) {
      parc[j] = y;
      map.z.push_back(chi_at(parc));
    }
  }
  write_chisq_map(fp.namecont(k).str(), fp.namepar(i), fp.namepar(j), map);
}

}  // namespace zorvik
