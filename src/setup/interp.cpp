// Resampling of a data set onto a uniform x grid by linear interpolation,
// before the chain starts: models whose cost grows with the number of points
// (the whole-curve dielectric fits above all) then run on a chosen grid.
//
// The grid starts at the first point read, x_1, and has ninterp points with the
// step (x_N - x_1) / ninterp, N the last point in range: its last point lies one
// step short of x_N. Between the data points x0 < xk < x1 the value is
//     y(xk) = xk (y1 - y0)/(x1 - x0) + (x1 y0 - x0 y1)/(x1 - x0),
// the straight line through both points. The sigmas are not resampled: grid
// point k keeps the sigma of the k-th point read.
#include "setup/interp.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/table.h"

namespace zorvik {

namespace {

// Fewer grid points than this, or fewer points in range, leave a data set as it is.
constexpr int kMinInterpPoints = 3;

bool qualifies(const FitFunctions& d, int i) {
  return d.ninterp(i) >= kMinInterpPoints && d.ndatin(i) > kMinInterpPoints - 1;
}

// Resamples data set i in place (xi, yi for k = 1 ... ninterp).
//
// The third column is left alone. With option "c" it has already been turned
// into the centred resolution kernel (indices -imaxconv ... imaxconv) on the
// original step, which the convolution uses as it is; interpolating it as a data
// column would destroy the kernel.
void interpolate_data_set(FitFunctions& d, int i, const RunSettings& settings, Console& con) {
  con.line("*** Interpolating function: ", i);
  const int n = d.ninterp(i);
  const double xin = d.xi(i, 1);  // the first point read, possibly below the range
  const int imax = d.imin(i) + d.ndatin(i) - 1;
  const double xfin = d.xi(i, imax);
  con.line("iff,imax", i, d.ndatin(i));
  con.line("xin,xfin", xin, xfin);
  // A grid needs a span: equal end points would give a zero step and a grid of
  // one repeated x, which the message below already rules out.
  if (xin >= xfin) {
    con.line("ERROR INTERPOLATING");
    con.line("max x must be greater that min x in file");
    throw ProgramStop(1);
  }
  const double incx = std::abs(xfin - xin) / n;
  con.line("incx=", incx);
  // The grid size is the data set's Nint in the parameter file.
  check_index_at(settings.parfile.str(), d.parline(i), "xext", 1, 1, kMaxPoints, n);

  const double* xi = d.xi.row(i);
  const double* yi = d.yi.row(i);
  std::vector<double> xext(static_cast<size_t>(n) + 1), yext(static_cast<size_t>(n) + 1);
  xext[1] = xi[1];
  yext[1] = yi[1];
  for (int k = 2; k <= n; ++k) {
    const double xk = (k - 1) * incx + xin;
    // The first data point beyond xk, by a scan from the start. Since
    // xi[1] <= xk < xfin = xi[imax] (the grid ends a step short of xfin), it
    // exists and 2 <= j <= imax; the guard only keeps a rounding accident on
    // the last interval of the range.
    int j = 1;
    while (j <= imax && !(xi[j] > xk)) ++j;
    if (j > imax) j = imax;
    const double x0 = xi[j - 1], y0 = yi[j - 1], x1 = xi[j], y1 = yi[j];
    xext[static_cast<size_t>(k)] = xk;
    yext[static_cast<size_t>(k)] = xk * (y1 - y0) / (x1 - x0) + (x1 * y0 - x0 * y1) / (x1 - x0);
  }
  double* xo = d.xi.row(i);
  double* yo = d.yi.row(i);
  for (int k = 1; k <= n; ++k) {
    xo[k] = xext[static_cast<size_t>(k)];
    yo[k] = yext[static_cast<size_t>(k)];
  }
}

// The fit range on the new grid: from the first grid point above kin (searched
// among the first ndatin points, the count before resampling) to the point one
// short of the grid's end; kfin is not applied again.
void refit_range(FitFunctions& d, int i, Console& con) {
  const int old_count = d.ndatin(i);
  for (int k = 1; k <= old_count; ++k) {
    if (d.xi(i, k) > d.kin(i)) {
      d.imin(i) = k;
      break;
    }
  }
  d.ndatin(i) = d.ninterp(i) - d.imin(i);
  con.line("func,imin,ndatin", i, d.imin(i), d.ndatin(i));
  if (d.ndatin(i) <= 0)
    throw FatalError("Interpolation of data set " + std::to_string(i) + " onto " + std::to_string(d.ninterp(i)) +
                     " points leaves no point in its fit range (imin = " + std::to_string(d.imin(i)) +
                     "): more grid points are needed");
  con.line("***** END OF INTERPOLATION *****");
  con.empty_line();
}

}  // namespace

void interp(FitFunctions& data, const RunSettings& settings, Console& con) {
  const int nfunc = settings.nfunc;
  for (int i = 1; i <= nfunc; ++i) {
    if (data.ninterp(i) != 0)
      con.record("(a,i5,a,i5,a)", "Interpolating function: ", i, " in a grid with ", data.ninterp(i), "  points");
    if (qualifies(data, i)) interpolate_data_set(data, i, settings, con);
  }
  for (int i = 1; i <= nfunc; ++i)
    if (qualifies(data, i)) refit_range(data, i, con);
}

}  // namespace zorvik
