// gnuplot scripts: one script per kind of plot, written when the parameter file
// asks for it (plt 1) and then shown with gnuplot through the shell.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"

namespace zorvik {

// One plot request. kind: 1 result file of data set nf; 2, 3 data set 2
// convolved; 5 chi-square trace; 6 distribution of parameter ip (0 the
// chi-square, −1 gchi.dat); 7 mean chi-square per bin of ip; 10, 11 grid contour
// k of parameters (i, j); 12, 13 chain contour file cname of (i, j); 16 getpar.dat;
// 20, 21, 22 dielectric peaks; above 99 peaks.dat with kind − 100 components.
struct PlotRequest {
  int kind = 0;
  int nf = 1;
  int ip = 0;
  int k = 0, i = 0, j = 0;
  std::string cname;
};

// Writes the script of the request when run.settings.plt is 1 (any other value
// leaves an existing, possibly hand-edited, script as it is), then runs gnuplot
// on it. Uses run.settings.printmode and plotaxes.
void plot(const PlotRequest& request, const Run& run, Console& con);

// The script file a kind uses ("" for a kind without a script).
std::string plot_script_name(int kind);

}  // namespace zorvik
