// The figures of the report folder: for each fitted data set the data with the
// best fit, its posterior-predictive band and the residuals; the corner plot of
// the free parameters; the traces of the chain; the evidence ladder. Each figure
// is a plain data file (a "#" header naming the columns) and one gnuplot script
// that reads it and draws a PNG (pngcairo) and an SVG; gnuplot runs once,
// headless, on all the scripts.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/console.h"
#include "core/run_report.h"

namespace zorvik {

// One fitted data set, ready to draw: its points in the fit range, the model
// at the best state, and the 2.5, 16, 50, 84 and 97.5 % points of the model
// curve over states drawn from the retained chain, all on the data's x grid.
struct FigureSet {
  int number = 0;
  std::string file;  // the data file's name, the legend
  int model = 0;
  bool log_axes = false;        // the dielectric spectra: log-log, as on a loss plot
  std::string x_title, y_title; // the meaning of the columns
  std::vector<double> x, y, sigma, best;
  std::array<std::vector<double>, 5> band;
  int states = 0;               // states the band was drawn from
};

// The recorded chain(s): column 0 the chi-square, then the free parameters in
// the order of RunReport::parameters. For pooled chains one entry per chain.
struct FigureChain {
  std::vector<long long> step;               // the step after which each state was taken
  std::vector<std::vector<double>> columns;  // [column][state]
};

struct FigureInput {
  std::vector<FigureSet> sets;
  std::vector<FigureChain> chains;
  long long burn_in = 0;  // steps before the retained chain (shaded in the traces)
};

// The name as a gnuplot single-quoted string: control bytes and bytes outside
// valid UTF-8 shown escaped as visible text (a newline as \n), a quote doubled
// (the one escape of gnuplot's single quotes, which take backslashes and "@" as
// they are). The scripts switch enhanced text off, so no other byte is special.
std::string gnuplot_string(std::string_view name);

// The axis titles and scales of a model family (log-log for the dielectric loss
// spectra in Hz; the whole-curve models' data are decimal logarithms already).
void choose_axes(FigureSet& set, int slot);

// Writes the data files and scripts of every figure into `folder` (created if
// needed) and runs gnuplot on them. Adds the names of the files that index.html
// shows to report.figures. Returns "" or, when gnuplot could not run or
// complained, one line for the console saying so.
std::string write_report_figures(const std::string& folder, const FigureInput& in, RunReport& report);

}  // namespace zorvik
