// gnuplot scripts: one script per kind of plot, written when the parameter file
// asks for it (plt 1) and then shown with gnuplot through the shell.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"

namespace zorvik {

// The kinds of plot, each with its script (plot_script_name).
enum class PlotKind : int {
  none = 0,                // no plot
  result_curve = 1,        // the result file of data set nf ("pf")
  convolved = 2,           // data set 2 convolved (f2.plt)
  convolved_labels = 3,    // the same with the convolution's labels (f2m.plt)
  chisq_trace = 5,         // the chi-square file ("pchi")
  distribution = 6,        // the distribution of parameter ip (0 the chi-square, −1 gchi.dat)
  bin_chisq = 7,           // the mean chi-square per bin of parameter ip
  grid_contour = 10,       // grid contour k of parameters (i, j) ("pc")
  grid_surface = 11,       // the same as a surface ("pcs")
  chain_contour = 12,      // chain contour file cname of (i, j) ("pcg")
  chain_surface = 13,      // the same as a surface ("pcgs")
  getpar = 16,             // getpar.dat against the data sets' z
  peaks_hn_cc1_cc2 = 20,   // the dielectric sums' named terms
  peaks_hn_cc = 21,
  peaks_pl_cc1_cc2 = 22,
  peaks = 100,             // peaks.dat with `components` numbered peaks
};

// One plot request: the kind, and what it plots.
struct PlotRequest {
  PlotKind kind = PlotKind::none;
  int nf = 1;
  int ip = 0;
  int k = 0, i = 0, j = 0;
  int components = 0;  // PlotKind::peaks
  std::string cname;
};

// Writes the script of the request when run.settings.plt is 1 (any other value
// leaves an existing, possibly hand-edited, script as it is), then runs gnuplot
// on it. Uses run.settings.printmode and plotaxes.
void plot(const PlotRequest& request, const Run& run, Console& con);

// The script file a kind uses ("" for a kind without a script).
std::string plot_script_name(PlotKind kind);

}  // namespace zorvik
