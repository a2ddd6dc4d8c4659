// gnuplot scripts for the figures of a fit: result curves, the chi-square trace,
// parameter distributions, contour maps and the dielectric peak decomposition.
//
// Every script line is a free-format record, so the file shows one blank before
// each text; a text that itself starts with a blank (the labels, the axis lines,
// several continuation lines) stands two columns in. The titles of the
// distribution and contour plots are fixed-column records (a11,a21,a2): the
// name is right-justified in 21 columns and the line has no leading blank.
// Continuation lines end in a backslash, so their exact trailing characters
// matter to gnuplot and are kept as they are.
#include "output/plot_scripts.h"

#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "core/record_format.h"
#include "models/catalogue.h"
#include "output/shell_commands.h"

namespace zorvik {

namespace {

// A negative first parameter of a contour pair only asks for a map without
// empty lines between its rows; the axis is labelled with the parameter itself.
const Name15& pair_name(const Run& run, int i) { return run.params.namepar(i < 0 ? -i : i); }

// The record of the distribution and contour titles.
constexpr std::string_view kTitleRecord = "(a11,a21,a2)";

void line(std::ostream& s, std::string_view text) { write_free(s, text); }

// "set title "  +  name right-justified in 21 columns  +  " "".
void title_record(std::ostream& s, std::string_view name) {
  write_record(s, kTitleRecord, "set title \"", name, " \"");
}

// In print mode the figure goes to the encapsulated PostScript file
// <eps_stem>.eps instead of the screen.
void print_head(std::ostream& s, const RunSettings& st, std::string_view eps_stem) {
  if (st.printmode != 1) return;
  line(s, "set term post eps color");
  write_free(s, "set output \"", eps_stem, ".eps\"");
}

// The axis mode: first letter "l" a logarithmic x axis, second letter "l" a
// logarithmic y axis.
void axis_lines(std::ostream& s, const RunSettings& st) {
  if (st.plotaxes[0] == 'l') line(s, " set logscale x 10");
  if (st.plotaxes[1] == 'l') line(s, " set logscale y 10");
}

// The data file of a distribution plot, read where the distribution writer put
// it: the Gp file of parameter ip (in a "t" output folder), the chi-square
// distribution Glk.dat for 0 (in any output folder); gchi.dat for -1, which no
// routine writes, from the working directory. Nothing for other ip.
std::optional<std::string> distribution_file(int ip, const Name15& folder) {
  if (ip >= 1) return distribution_path(folder, ip);
  if (ip == 0) return likelihood_distribution_path(folder);
  if (ip == -1) return std::string("gchi.dat");
  return std::nullopt;
}

// The peak decomposition, where the peak writer put it (in a "t" output folder).
std::string peaks_file(const Run& run) { return peaks_path(run.settings.folder); }

// Kind 1: calculated, initial and measured curve of data set nf.
void result_script(std::ostream& s, const Run& run, int nf) {
  const std::string out(run.data.nomout(nf).trimmed());
  const std::string initial = initial_curve_path(nf);
  print_head(s, run.settings, "f");
  line(s, " set title \"RESULTS ON F\"");
  line(s, " set ylabel \"F\"");
  line(s, " set xlabel \"x\"");
  axis_lines(s, run.settings);
  write_free(s, "plot \"", out, "\" using 1:3 with lines  \\");
  line(s, "title \"Calculated\" , \\");
  write_free(s, "\"", initial, "\" using 1:3 with lines \\");
  line(s, " title \"Initial\", \\");
  write_free(s, "\"", out, "\" using 1:2  \\");
  line(s, " title \"Experimental\"  ");
  line(s, "pause -1");
}

// Kinds 2 and 3: data set 2 of a convolved fit; the molecular-structure models
// (1 to 9) also carry a background in the fourth column.
void convolved_script(std::ostream& s, const Run& run, bool convoluted_labels) {
  const std::string out(run.data.nomout(2).trimmed());
  if (convoluted_labels) {
    print_head(s, run.settings, "f2m");
    line(s, " set title \"RESULTS ON F2 (with convolution)\"");
    line(s, " set ylabel \"F2 (convoluted)\"");
    line(s, " set xlabel \"r(A)\"");
    line(s, " plot \"inicif2m.dat\" using 1:3 with lines \\");
  } else {
    print_head(s, run.settings, "f2");
    line(s, " set title \"RESULTS ON F2\"");
    line(s, " set ylabel \"y\"");
    line(s, " set xlabel \"x\"");
    axis_lines(s, run.settings);
    line(s, " plot \"inicif2.dat\" using 1:3 with lines \\");
  }
  line(s, " title \"Initial\", \\");
  write_free(s, "\"", out, "\" using 1:3 with lines  \\");
  line(s, "title \"Calculated\" , \\");
  write_free(s, "\"", out, "\" using 1:2 with lines  \\");
  // A molecule's radial distribution convolved in data set 2 adds a fourth column.
  const ModelInfo* model = find_model(run.data.opfit(2));
  if (model && model->family == ModelFamily::molecular && model->convolvable_in(2)) {
    line(s, " title \"Experimental (with convolution)\" , \\");
    write_free(s, "\"", out, "\" using 1:4 with lines  \\");
    line(s, " title \"Background\"");
  } else {
    line(s, " title \"Experimental (with convolution)\"");
  }
  line(s, "pause -1");
}

// Kind 5: the chi-square trace of the chain.
void chi_script(std::ostream& s, const Run& run) {
  print_head(s, run.settings, "chi");
  line(s, " set title \"Chi square evolution\"");
  line(s, " set ylabel \"chi square\"");
  line(s, " set xlabel \"steps\"");
  line(s, "plot \"chi.dat\" using 1:2 with linespoints  \\");
  line(s, "title \"Chi total\"");
  line(s, "pause -1");
}

// The distribution: probability (column 2); the mean chi-square per bin
// (column 3), without print lines.
void distribution_script(std::ostream& s, const Run& run, int ip, const std::string& file, bool chi_per_bin) {
  const Name15 title = ip >= 1 ? run.params.namepar(ip) : Name15(ip == 0 ? "likelihood" : "reduced chisqua");
  if (!chi_per_bin) print_head(s, run.settings, "gpar");
  title_record(s, title.padded());
  line(s, chi_per_bin ? " set ylabel \"chi\"" : " set ylabel \"g(par)\"");
  line(s, " set xlabel \"par\"");
  write_free(s, "plot \"", file, chi_per_bin ? "\" using 1:3 with linespoints" : "\" using 1:2 with linespoints");
  line(s, "pause -1");
}

// The contour options shared by the grid and chain contours; `flat` looks at the
// map from above without the surface.
void contour_options(std::ostream& s, bool flat) {
  line(s, "set contour");
  line(s, "set cntrparam levels auto 20");
  if (flat) {
    line(s, "unset surface");
    line(s, "set view 0,0,1");
  }
}

// Kinds 10 and 11: the chi-square map of contour request k. The flat view
// labels its axes with the trimmed names, the surface view with all 15
// characters.
void grid_contour_script(std::ostream& s, const Run& run, const PlotRequest& r, bool flat) {
  const Name15& xname = pair_name(run, r.i);
  const Name15& yname = pair_name(run, r.j);
  // (a24,2a5) of the heading and the first five letters of both names; the
  // title record keeps only its first 21 characters, "Contour of parameters".
  const std::string heading = format_record("(a24,2a5)", {"Contour of parameters:  ", xname.first(5), yname.first(5)});
  print_head(s, run.settings, flat ? "ct" : "cts");
  title_record(s, heading);
  contour_options(s, flat);
  const std::string_view xl = flat ? xname.trimmed() : xname.padded();
  const std::string_view yl = flat ? yname.trimmed() : yname.padded();
  write_free(s, " set xlabel  \"", xl, "\"");
  write_free(s, " set ylabel \"", yl, "\"");
  write_free(s, "splot \"", run.params.namecont(r.k), "\" with lines");
  line(s, "pause -1");
}

// Kinds 12 and 13: a probability map built from the chain, in the file cname;
// the axes are labelled with all 15 characters of the names.
void chain_contour_script(std::ostream& s, const Run& run, const PlotRequest& r, const Name15& cname, bool flat) {
  print_head(s, run.settings, "ct");
  title_record(s, cname.padded());
  contour_options(s, flat);
  write_free(s, " set xlabel  \"", pair_name(run, r.i).padded(), "\"");
  write_free(s, " set ylabel \"", pair_name(run, r.j).padded(), "\"");
  write_free(s, "splot \"", cname, "\" with lines");
  line(s, "pause -1");
}

// Kind 16: the parameters extracted by "getpar" against the first z value of
// their data sets (getpar.dat: z in column 1, the parameter in column 2). The
// script is f.plt, but the printed figure is phncc.eps.
void getpar_script(std::ostream& s, const Run& run) {
  print_head(s, run.settings, "phncc");
  line(s, " set title \"PARAMETERS vs z\"");
  line(s, " set ylabel \"par\"");
  line(s, " set xlabel \"z\"");
  axis_lines(s, run.settings);
  line(s, "plot \"getpar.dat\" using 1:2 with linespoints");
  line(s, "pause -1");
}

// The head shared by the dielectric peak plots: labels, axes, measured curve
// and fit (peaks.dat columns 2 and 3).
void peaks_head(std::ostream& s) {
  line(s, " set title \"RESULTS ON F\"");
  line(s, " set ylabel \"F\"");
  line(s, " set xlabel \"x\"");
}

// `more`: components follow, so the fit's title continues the plot command;
// otherwise it ends it (a continuation into "pause -1" is a gnuplot error).
void peaks_measured_and_fit(std::ostream& s, const std::string& file, bool more) {
  write_free(s, "plot \"", file, "\" using 1:2 \\");
  line(s, " title \"experimental\", \\");
  write_free(s, "\"", file, "\" using 1:3  with lines  \\");
  line(s, more ? " title \"fit\", \\" : " title \"fit\"");
}

// One component line: the peak file, column `column`, and the ending
// ("  \\" or " \\") that the script has always had there.
void component(std::ostream& s, const std::string& file, int column, std::string_view ending) {
  write_free(s, "\"", file, "\" using 1:" + std::to_string(column) + "  with lines" + std::string(ending));
}

// The named components of the dielectric models in columns 4 to 6, always on
// logarithmic axes. HN + CC has two components, PL + CC1 + CC2 a power law in
// place of the Havriliak-Negami term.
void dielectric_script(std::ostream& s, const Run& run, PlotKind kind) {
  print_head(s, run.settings, kind == PlotKind::peaks_hn_cc1_cc2 ? "f" : kind == PlotKind::peaks_hn_cc ? "phncc" : "p2cc");
  peaks_head(s);
  line(s, " set logscale x 10");
  line(s, " set logscale y 10");
  const std::string file = peaks_file(run);
  peaks_measured_and_fit(s, file, true);
  component(s, file, 4, "  \\");
  line(s, kind == PlotKind::peaks_pl_cc1_cc2 ? " title \"PL\", \\" : " title \"HN\", \\");
  component(s, file, 5, "  \\");
  if (kind == PlotKind::peaks_hn_cc) {
    line(s, " title \"CC1\"");
  } else {
    line(s, " title \"CC1\", \\");
    component(s, file, 6, " \\");
    line(s, " title \"CC2\"");
  }
  line(s, "pause -1");
}

// Kinds above 99: npeaks components P1 … P5 in columns 4 to 8.
// Without components (no peak, or more than five) the script shows the data
// and the fit alone.
void peaks_script(std::ostream& s, const Run& run, int npeaks, Console& con) {
  // Two blanks before the backslash for the first three components, one for the last two.
  static constexpr std::string_view kEnding[5] = {"  \\", "  \\", "  \\", " \\", " \\"};
  const std::string file = peaks_file(run);
  const bool components = npeaks >= 1 && npeaks <= 5;
  print_head(s, run.settings, "pk");
  peaks_head(s);
  axis_lines(s, run.settings);
  peaks_measured_and_fit(s, file, components);
  if (npeaks > 5) {
    con.line("Not able to plot more than 5 peaks");
    con.line("Change plt file by hand.");
  } else {
    for (int m = 1; m <= npeaks; ++m) {
      component(s, file, m + 3, kEnding[m - 1]);
      const std::string title = " title \"P" + std::to_string(m) + "\"";
      line(s, m < npeaks ? title + ", \\" : title);
    }
  }
  line(s, "pause -1");
}

}  // namespace

std::string plot_script_name(PlotKind kind) {
  switch (kind) {
    case PlotKind::result_curve: return "f.plt";
    case PlotKind::convolved: return "f2.plt";
    case PlotKind::convolved_labels: return "f2m.plt";
    case PlotKind::chisq_trace: return "chi.plt";
    case PlotKind::distribution:
    case PlotKind::bin_chisq: return "gpar.plt";
    case PlotKind::grid_contour:
    case PlotKind::chain_contour:
    case PlotKind::chain_surface: return "ct.plt";
    case PlotKind::grid_surface: return "cts.plt";
    // The parameters extracted by "getpar" are drawn with the result-curve script.
    case PlotKind::getpar: return "f.plt";
    case PlotKind::peaks_hn_cc1_cc2: return "f.plt";
    case PlotKind::peaks_hn_cc: return "phncc.plt";
    case PlotKind::peaks_pl_cc1_cc2: return "p2cc.plt";
    case PlotKind::peaks: return "pk.plt";
    default: return "";
  }
}

void plot(const PlotRequest& r, const Run& run, Console& con) {
  const std::string name = plot_script_name(r.kind);
  if (name.empty()) return;
  const RunSettings& st = run.settings;
  const bool write = st.plt == 1;
  const Name15 cname(r.cname);  // a chain-contour file name has 15 characters

  // What is being plotted is shown first, whether or not the script is rewritten.
  std::optional<std::string> data_file;
  if (r.kind == PlotKind::distribution || (r.kind == PlotKind::bin_chisq && r.ip >= 1)) {
    data_file = distribution_file(r.ip, st.folder);
    if (data_file) con.line("Opening : ", *data_file);
  } else if (r.kind == PlotKind::grid_contour || r.kind == PlotKind::grid_surface) {
    con.line("Plotting contour:  ", run.params.namecont(r.k));
  } else if (r.kind == PlotKind::chain_contour || r.kind == PlotKind::chain_surface) {
    con.line("Plotting contour:  ", cname);
  }

  if (write) {
    std::ostringstream s;
    bool has_script = true;
    switch (r.kind) {
      case PlotKind::result_curve: result_script(s, run, r.nf); break;
      case PlotKind::convolved: convolved_script(s, run, false); break;
      case PlotKind::convolved_labels: convolved_script(s, run, true); break;
      case PlotKind::chisq_trace: chi_script(s, run); break;
      case PlotKind::distribution:
      case PlotKind::bin_chisq:
        // Without a data file (kind 7 below 1, kind 6 below -1) the existing
        // script is shown as it is.
        if (data_file)
          distribution_script(s, run, r.ip, *data_file, r.kind == PlotKind::bin_chisq);
        else
          has_script = false;
        break;
      case PlotKind::grid_contour: grid_contour_script(s, run, r, true); break;
      case PlotKind::grid_surface: grid_contour_script(s, run, r, false); break;
      case PlotKind::chain_contour: chain_contour_script(s, run, r, cname, true); break;
      case PlotKind::chain_surface: chain_contour_script(s, run, r, cname, false); break;
      case PlotKind::getpar: getpar_script(s, run); break;
      case PlotKind::peaks_hn_cc1_cc2:
      case PlotKind::peaks_hn_cc:
      case PlotKind::peaks_pl_cc1_cc2: dielectric_script(s, run, r.kind); break;
      default: peaks_script(s, run, r.components, con); break;
    }
    if (has_script) {
      AtomicFile file(name);
      file.stream() << s.str();
      file.commit();
    }
  }
  gnuplot(con, name);
}

}  // namespace zorvik
