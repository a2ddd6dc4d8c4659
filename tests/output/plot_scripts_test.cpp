// The gnuplot scripts, compared byte for byte with texts typed from the
// program's documented line tables, and the command line that shows them
// (recorded by the gnuplot stand-in of tests/fakebin). A last test hands every
// script, in print mode, to a real gnuplot when one is installed.
#include "output/plot_scripts.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::source_path;
using testing_support::write_text;

// Expected scripts are typed between R"( and )" with a '|' closing every line,
// so that the leading blanks and the blanks before a line end stay visible.
std::string typed(std::string_view text) {
  std::string out;
  bool first = true;
  for (const std::string& l : lines_of(std::string(text))) {
    if (first && l.empty()) {
      first = false;
      continue;
    }
    first = false;
    EXPECT_FALSE(l.empty() || l.back() != '|') << "typed line without its closing bar: [" << l << "]";
    out += l.substr(0, l.size() - 1) + "\n";
  }
  return out;
}

class PlotScripts : public testing::Test {
 protected:
  PlotScripts() {
    RunSettings& st = run_->settings;
    st.plt = 1;
    st.printmode = 0;
    st.plotaxes = "nn ";
    FitFunctions& d = run_->data;
    d.nomout(1) = "fit1.dat";
    d.nomout(2) = "fit2.dat";
    d.nomout(12) = "fit12.dat";
    d.opfit(1) = 101;
    d.opfit(2) = 101;
    FitParameters& p = run_->params;
    p.namepar(1) = "amplitude";
    p.namepar(3) = "center";
    p.namepar(12) = "width2";
    p.namecont(2) = "ctab.dat";
  }

  // Plots the request and returns its script (empty when none was written).
  std::string script(const PlotRequest& r) {
    plot(r, *run_, con_);
    const std::string name = plot_script_name(r.kind);
    return file_exists(name) ? read_text(name) : std::string();
  }
  static PlotRequest kind(int k) {
    PlotRequest r;
    r.kind = k;
    return r;
  }
  std::vector<std::string> gnuplot_calls() const { return lines_of(dir_.fake_log()); }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::istringstream in_;
  std::ostringstream out_;
  Console con_{in_, out_};
};

TEST_F(PlotScripts, ResultOfADataSetWithEachAxisMode) {
  PlotRequest r = kind(1);
  r.nf = 1;
  EXPECT_EQ(script(r), typed(R"x(
  set title "RESULTS ON F"|
  set ylabel "F"|
  set xlabel "x"|
 plot "fit1.dat" using 1:3 with lines  \|
 title "Calculated" , \|
 "inicif1.dat" using 1:3 with lines \|
  title "Initial", \|
 "fit1.dat" using 1:2  \|
  title "Experimental"  |
 pause -1|
)x"));

  // A two-digit data set names its initial curve with two digits.
  r.nf = 12;
  const std::vector<std::string> twelve = lines_of(script(r));
  ASSERT_EQ(twelve.size(), 10u);
  EXPECT_EQ(twelve[3], R"( plot "fit12.dat" using 1:3 with lines  \)");
  EXPECT_EQ(twelve[5], R"( "inicif12.dat" using 1:3 with lines \)");

  // The axis lines come after the labels, x before y.
  r.nf = 1;
  const struct {
    const char* axes;
    std::vector<std::string> lines;
  } modes[] = {{"ln ", {"  set logscale x 10"}},
               {"nl ", {"  set logscale y 10"}},
               {"ll ", {"  set logscale x 10", "  set logscale y 10"}}};
  for (const auto& m : modes) {
    run_->settings.plotaxes = m.axes;
    const std::vector<std::string> l = lines_of(script(r));
    ASSERT_EQ(l.size(), 10 + m.lines.size()) << m.axes;
    EXPECT_EQ(l[2], R"(  set xlabel "x")") << m.axes;
    EXPECT_EQ(std::vector<std::string>(l.begin() + 3, l.begin() + 3 + long(m.lines.size())), m.lines) << m.axes;
    EXPECT_EQ(l[3 + m.lines.size()], R"( plot "fit1.dat" using 1:3 with lines  \)") << m.axes;
  }
  EXPECT_EQ(out_.str(), "");
}

TEST_F(PlotScripts, ConvolvedDataSetShowsABackgroundOnlyForTheStructureModels) {
  run_->data.opfit(2) = 3;
  run_->settings.plotaxes = "nl ";
  EXPECT_EQ(script(kind(2)), typed(R"x(
  set title "RESULTS ON F2"|
  set ylabel "y"|
  set xlabel "x"|
  set logscale y 10|
  plot "inicif2.dat" using 1:3 with lines \|
  title "Initial", \|
 "fit2.dat" using 1:3 with lines  \|
 title "Calculated" , \|
 "fit2.dat" using 1:2 with lines  \|
  title "Experimental (with convolution)" , \|
 "fit2.dat" using 1:4 with lines  \|
  title "Background"|
 pause -1|
)x"));

  // f2m.plt: other labels, never axis lines; model 101 has no background.
  run_->data.opfit(2) = 101;
  run_->settings.plotaxes = "ll ";
  EXPECT_EQ(script(kind(3)), typed(R"x(
  set title "RESULTS ON F2 (with convolution)"|
  set ylabel "F2 (convoluted)"|
  set xlabel "r(A)"|
  plot "inicif2m.dat" using 1:3 with lines \|
  title "Initial", \|
 "fit2.dat" using 1:3 with lines  \|
 title "Calculated" , \|
 "fit2.dat" using 1:2 with lines  \|
  title "Experimental (with convolution)"|
 pause -1|
)x"));
  // The edges of the structure-model range.
  run_->settings.plotaxes = "nn ";
  for (int model : {1, 9, 10, 0}) {
    run_->data.opfit(2) = model;
    const bool background = model >= 1 && model <= 9;
    EXPECT_EQ(lines_of(script(kind(2))).size(), background ? 12u : 10u) << model;
  }
}

TEST_F(PlotScripts, ChiSquareTraceOnScreenAndInPrint) {
  run_->settings.plotaxes = "ll ";  // the trace has no axis choice
  const std::string body = typed(R"x(
  set title "Chi square evolution"|
  set ylabel "chi square"|
  set xlabel "steps"|
 plot "chi.dat" using 1:2 with linespoints  \|
 title "Chi total"|
 pause -1|
)x");
  EXPECT_EQ(script(kind(5)), body);
  run_->settings.printmode = 1;
  EXPECT_EQ(script(kind(5)), " set term post eps color\n set output \"chi.eps\"\n" + body);
}

TEST_F(PlotScripts, DistributionOfAParameterOfTheChiSquareAndOfGchi) {
  run_->settings.plotaxes = "ll ";
  PlotRequest r = kind(6);
  r.ip = 12;
  EXPECT_EQ(script(r), typed(R"x(
set title "      width2          "|
  set ylabel "g(par)"|
  set xlabel "par"|
 plot "Gp12.dat" using 1:2 with linespoints|
 pause -1|
)x"));
  r.ip = 0;
  EXPECT_EQ(script(r), typed(R"x(
set title "      likelihood      "|
  set ylabel "g(par)"|
  set xlabel "par"|
 plot "Glk.dat" using 1:2 with linespoints|
 pause -1|
)x"));
  // The files are read from the working directory whatever the output folder.
  run_->settings.folder = "t123";
  run_->settings.printmode = 1;
  r.ip = -1;
  EXPECT_EQ(script(r), typed(R"x(
 set term post eps color|
 set output "gpar.eps"|
set title "      reduced chisqua "|
  set ylabel "g(par)"|
  set xlabel "par"|
 plot "gchi.dat" using 1:2 with linespoints|
 pause -1|
)x"));
  EXPECT_EQ(out_.str(), " Opening : Gp12.dat\n Opening : Glk.dat\n Opening : gchi.dat\n");
}

TEST_F(PlotScripts, MeanChiSquarePerBinHasNoPrintLines) {
  run_->settings.printmode = 1;
  PlotRequest r = kind(7);
  r.ip = 3;
  const std::string expected = typed(R"x(
set title "      center          "|
  set ylabel "chi"|
  set xlabel "par"|
 plot "Gp3.dat" using 1:3 with linespoints|
 pause -1|
)x");
  EXPECT_EQ(script(r), expected);
  EXPECT_EQ(out_.str(), " Opening : Gp3.dat\n");

  // Kind 7 below parameter 1, and kind 6 below -1, leave the script as it is
  // and show it all the same.
  r.ip = 0;
  EXPECT_EQ(script(r), expected);
  PlotRequest six = kind(6);
  six.ip = -2;
  EXPECT_EQ(script(six), expected);
  EXPECT_EQ(out_.str(), " Opening : Gp3.dat\n");
  EXPECT_EQ(gnuplot_calls(), std::vector<std::string>(3, "gnuplot -display :0.0 gpar.plt"));
}

TEST_F(PlotScripts, GridContourFromAboveAndAsASurface) {
  PlotRequest r = kind(10);
  r.k = 2;
  r.i = 1;
  r.j = 3;
  // The title keeps the first 21 characters of "Contour of parameters:  " and
  // the two five-letter names; the flat view trims the axis names.
  EXPECT_EQ(script(r), typed(R"x(
set title "Contour of parameters "|
 set contour|
 set cntrparam levels auto 20|
 unset surface|
 set view 0,0,1|
  set xlabel  "amplitude"|
  set ylabel "center"|
 splot "ctab.dat" with lines|
 pause -1|
)x"));
  r.kind = 11;
  run_->settings.printmode = 1;
  run_->settings.plotaxes = "ll ";
  EXPECT_EQ(script(r), typed(R"x(
 set term post eps color|
 set output "cts.eps"|
set title "Contour of parameters "|
 set contour|
 set cntrparam levels auto 20|
  set xlabel  "amplitude      "|
  set ylabel "center         "|
 splot "ctab.dat" with lines|
 pause -1|
)x"));
  // A negative first parameter (a map without empty lines between its rows)
  // still labels its axis with that parameter.
  r.i = -1;
  EXPECT_EQ(lines_of(script(r))[5], R"(  set xlabel  "amplitude      ")");
  r.kind = 12;
  r.cname = "gparpar 1 3.dat";
  EXPECT_EQ(lines_of(script(r))[7], R"(  set xlabel  "amplitude      ")");
  EXPECT_EQ(out_.str(), " Plotting contour:  ctab.dat\n Plotting contour:  ctab.dat\n Plotting contour:  ctab.dat\n"
                        " Plotting contour:  gparpar 1 3.dat\n");
  EXPECT_EQ(gnuplot_calls(), (std::vector<std::string>{"gnuplot -display :0.0 ct.plt", "gnuplot -display :0.0 cts.plt",
                                                       "gnuplot -display :0.0 cts.plt", "gnuplot -display :0.0 ct.plt"}));
}

TEST_F(PlotScripts, ChainContourNamedByItsFile) {
  // Pair files of parameters below 10 carry blanks inside their name.
  PlotRequest r = kind(12);
  r.i = 1;
  r.j = 3;
  r.cname = "gparpar 1 3.dat";
  EXPECT_EQ(script(r), typed(R"x(
set title "      gparpar 1 3.dat "|
 set contour|
 set cntrparam levels auto 20|
 unset surface|
 set view 0,0,1|
  set xlabel  "amplitude      "|
  set ylabel "center         "|
 splot "gparpar 1 3.dat" with lines|
 pause -1|
)x"));
  r.kind = 13;
  r.cname = "gparpar0312.dat";
  r.i = 3;
  r.j = 12;
  run_->settings.printmode = 1;
  EXPECT_EQ(script(r), typed(R"x(
 set term post eps color|
 set output "ct.eps"|
set title "      gparpar0312.dat "|
 set contour|
 set cntrparam levels auto 20|
  set xlabel  "center         "|
  set ylabel "width2         "|
 splot "gparpar0312.dat" with lines|
 pause -1|
)x"));
  EXPECT_EQ(out_.str(), " Plotting contour:  gparpar 1 3.dat\n Plotting contour:  gparpar0312.dat\n");
  EXPECT_EQ(gnuplot_calls(), std::vector<std::string>(2, "gnuplot -display :0.0 ct.plt"));
}

TEST_F(PlotScripts, ExtractedParametersAgainstZ) {
  run_->settings.plotaxes = "ln ";
  EXPECT_EQ(script(kind(16)), typed(R"x(
  set title "PARAMETERS vs z"|
  set ylabel "par"|
  set xlabel "z"|
  set logscale x 10|
 plot "getpar.dat" using 1:2 with linespoints|
 pause -1|
)x"));
  EXPECT_EQ(gnuplot_calls(), std::vector<std::string>{"gnuplot -display :0.0 f.plt"});
}

TEST_F(PlotScripts, DielectricComponentsAlwaysOnLogarithmicAxes) {
  run_->settings.plotaxes = "nn ";
  const std::string head = typed(R"x(
  set title "RESULTS ON F"|
  set ylabel "F"|
  set xlabel "x"|
  set logscale x 10|
  set logscale y 10|
 plot "peaks.dat" using 1:2 \|
  title "experimental", \|
 "peaks.dat" using 1:3  with lines  \|
  title "fit", \|
 "peaks.dat" using 1:4  with lines  \|
)x");
  EXPECT_EQ(script(kind(20)), head + typed(R"x(
  title "HN", \|
 "peaks.dat" using 1:5  with lines  \|
  title "CC1", \|
 "peaks.dat" using 1:6  with lines \|
  title "CC2"|
 pause -1|
)x"));
  EXPECT_EQ(script(kind(21)), head + typed(R"x(
  title "HN", \|
 "peaks.dat" using 1:5  with lines  \|
  title "CC1"|
 pause -1|
)x"));
  run_->settings.printmode = 1;
  EXPECT_EQ(script(kind(22)), " set term post eps color\n set output \"p2cc.eps\"\n" + head + typed(R"x(
  title "PL", \|
 "peaks.dat" using 1:5  with lines  \|
  title "CC1", \|
 "peaks.dat" using 1:6  with lines \|
  title "CC2"|
 pause -1|
)x"));
  EXPECT_EQ(gnuplot_calls(), (std::vector<std::string>{"gnuplot -display :0.0 f.plt",
                                                       "gnuplot -display :0.0 phncc.plt",
                                                       "gnuplot -display :0.0 p2cc.plt"}));
}

TEST_F(PlotScripts, PeakComponentsUpToFive) {
  run_->settings.plotaxes = "ln ";
  const std::string head = typed(R"x(
  set title "RESULTS ON F"|
  set ylabel "F"|
  set xlabel "x"|
  set logscale x 10|
 plot "peaks.dat" using 1:2 \|
  title "experimental", \|
 "peaks.dat" using 1:3  with lines  \|
  title "fit", \|
)x");
  EXPECT_EQ(script(kind(103)), head + typed(R"x(
 "peaks.dat" using 1:4  with lines  \|
  title "P1", \|
 "peaks.dat" using 1:5  with lines  \|
  title "P2", \|
 "peaks.dat" using 1:6  with lines  \|
  title "P3"|
 pause -1|
)x"));
  EXPECT_EQ(script(kind(105)), head + typed(R"x(
 "peaks.dat" using 1:4  with lines  \|
  title "P1", \|
 "peaks.dat" using 1:5  with lines  \|
  title "P2", \|
 "peaks.dat" using 1:6  with lines  \|
  title "P3", \|
 "peaks.dat" using 1:7  with lines \|
  title "P4", \|
 "peaks.dat" using 1:8  with lines \|
  title "P5"|
 pause -1|
)x"));
  EXPECT_EQ(script(kind(101)), head + typed(R"x(
 "peaks.dat" using 1:4  with lines  \|
  title "P1"|
 pause -1|
)x"));
  EXPECT_EQ(out_.str(), "");
  // Without components the fit's title ends the plot command.
  const std::string fit_only = head.substr(0, head.size() - 4) + "\n pause -1\n";
  EXPECT_EQ(script(kind(100)), fit_only);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(script(kind(106)), fit_only);
  EXPECT_EQ(out_.str(), " Not able to plot more than 5 peaks\n Change plt file by hand.\n");
  EXPECT_EQ(gnuplot_calls(), std::vector<std::string>(5, "gnuplot -display :0.0 pk.plt"));
}

TEST_F(PlotScripts, PrintModeHeadNamesTheFigureOfEachKind) {
  run_->settings.printmode = 1;
  const struct {
    int kind;
    const char* output;
  } heads[] = {{1, "f.eps"},    {2, "f2.eps"},    {3, "f2m.eps"},   {5, "chi.eps"},  {6, "gpar.eps"},
               {10, "ct.eps"},  {11, "cts.eps"},  {12, "ct.eps"},   {13, "ct.eps"},  {16, "phncc.eps"},
               {20, "f.eps"},   {21, "phncc.eps"}, {22, "p2cc.eps"}, {104, "pk.eps"}};
  for (const auto& h : heads) {
    PlotRequest r = kind(h.kind);
    r.ip = 1;
    r.k = 2;
    r.i = 1;
    r.j = 3;
    r.cname = "gparpar 1 3.dat";
    const std::vector<std::string> l = lines_of(script(r));
    ASSERT_GE(l.size(), 3u) << h.kind;
    EXPECT_EQ(l[0], " set term post eps color") << h.kind;
    EXPECT_EQ(l[1], std::string(" set output \"") + h.output + "\"") << h.kind;
    EXPECT_EQ(l.back(), " pause -1") << h.kind;
  }
}

TEST_F(PlotScripts, WithoutPltTheUsersScriptIsKeptAndStillShown) {
  run_->settings.plt = 0;
  const std::string edited = " # edited by hand\n plot \"mine.dat\"\n pause -1\n";
  write_text("f.plt", edited);
  struct stat before {};
  ASSERT_EQ(stat("f.plt", &before), 0);
  EXPECT_EQ(script(kind(1)), edited);
  EXPECT_EQ(script(kind(20)), edited);
  // A script that does not exist is not created either.
  EXPECT_EQ(script(kind(5)), "");
  EXPECT_FALSE(file_exists("chi.plt"));
  struct stat after {};
  ASSERT_EQ(stat("f.plt", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // not even replaced by an identical copy
  // The peak message belongs to writing the script; the file names of the
  // request are still shown.
  script(kind(107));
  PlotRequest r = kind(6);
  r.ip = 3;
  script(r);
  EXPECT_EQ(out_.str(), " Opening : Gp3.dat\n");
  EXPECT_EQ(gnuplot_calls(),
            (std::vector<std::string>{"gnuplot -display :0.0 f.plt", "gnuplot -display :0.0 f.plt",
                                      "gnuplot -display :0.0 chi.plt", "gnuplot -display :0.0 pk.plt",
                                      "gnuplot -display :0.0 gpar.plt"}));
}

TEST_F(PlotScripts, KindsWithoutAScriptDoNothing) {
  for (int k : {0, 4, 8, 9, 14, 15, 17, 19, 23, 99, -5}) {
    EXPECT_EQ(plot_script_name(k), "") << k;
    plot(kind(k), *run_, con_);
  }
  EXPECT_FALSE(file_exists(dir_.fake_log_path()));
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(plot_script_name(100), "pk.plt");
  EXPECT_EQ(plot_script_name(7), "gpar.plt");
  EXPECT_EQ(plot_script_name(13), "ct.plt");
}

// ---- the scripts in a real gnuplot ------------------------------------------

// The first gnuplot on PATH that is not one of the test stand-ins.
std::string real_gnuplot() {
  const char* env = std::getenv("PATH");
  const std::string fake = source_path("tests/fakebin");
  std::stringstream path(env ? env : "");
  for (std::string dir; std::getline(path, dir, ':');) {
    if (dir.empty() || dir == fake) continue;
    const std::string candidate = dir + "/gnuplot";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// A grid for splot: x, y, value, rows separated by an empty line.
std::string grid(const std::string& header) {
  std::ostringstream s;
  s << header << '\n';
  for (int ix = 0; ix < 6; ++ix) {
    for (int iy = 0; iy < 6; ++iy) {
      const double x = 1.0 + 0.2 * ix, y = 2.0 + 0.1 * iy;
      s << x << ' ' << y << ' ' << 10.0 + (x - 1.5) * (x - 1.5) * 40.0 + (y - 2.2) * (y - 2.2) * 90.0 << '\n';
    }
    s << '\n';
  }
  return s.str();
}

// Columns of positive numbers along x = 0.5, 1.0, … (also fine on log axes).
std::string table(int columns, int rows = 12) {
  std::ostringstream s;
  for (int k = 1; k <= rows; ++k) {
    const double x = 0.5 * k;
    s << x;
    for (int c = 2; c <= columns; ++c) s << ' ' << c + 1.0 / (1.0 + (x - 3.0) * (x - 3.0));
    s << '\n';
  }
  return s.str();
}

// Every kind in print mode, run through a real gnuplot (not the stand-in) in the
// scratch folder with small data files for each file the scripts plot: gnuplot
// must accept the script and draw a non-empty figure. gnuplot reads its
// commands from the script and treats "pause -1" without a terminal on stdin as
// no pause, so stdin comes from /dev/null; `timeout` guards against a hang.
TEST_F(PlotScripts, RealGnuplotDrawsEveryScriptInPrintMode) {
  const std::string gp = real_gnuplot();
  if (gp.empty()) {
    std::cout << "[  SKIPPED ] gnuplot is not installed: the scripts were not checked by a real gnuplot\n";
    GTEST_SKIP() << "gnuplot is not installed";
  }
  run_->settings.printmode = 1;
  run_->settings.plotaxes = "ll ";
  run_->data.opfit(2) = 3;
  write_text("fit1.dat", "# x  y  ycalc  background\n" + table(4));
  write_text("fit2.dat", table(4));
  for (const char* f : {"inicif1.dat", "inicif2.dat", "inicif2m.dat"}) write_text(f, table(3));
  write_text("chi.dat", table(2, 40));
  for (const char* f : {"Gp3.dat", "Glk.dat", "gchi.dat"}) write_text(f, "# value  probability  chi\n" + table(3));
  write_text("ctab.dat", grid("#ampli                                   center         chisq"));
  write_text("gparpar 1 3.dat", grid("# par  1     par  3 probability"));
  write_text("getpar.dat", table(2, 5));
  write_text("peaks.dat", table(8, 30));

  const struct {
    int kind, ip;
    const char* figure;
  } plots[] = {{1, 0, "f.eps"},       {2, 0, "f2.eps"},      {3, 0, "f2m.eps"},    {5, 0, "chi.eps"},
               {6, 3, "gpar.eps"},    {6, 0, "gpar.eps"},    {6, -1, "gpar.eps"},  {7, 3, "gpar7.eps"},
               {10, 0, "ct.eps"},     {11, 0, "cts.eps"},    {12, 0, "ct.eps"},    {13, 0, "ct.eps"},
               {16, 0, "phncc.eps"},  {20, 0, "f.eps"},      {21, 0, "phncc.eps"}, {22, 0, "p2cc.eps"},
               {100, 0, "pk.eps"},    {101, 0, "pk.eps"},    {105, 0, "pk.eps"},   {106, 0, "pk.eps"}};
  for (const auto& p : plots) {
    PlotRequest r = kind(p.kind);
    r.nf = 1;
    r.ip = p.ip;
    r.k = 2;
    r.i = 1;
    r.j = 3;
    r.cname = "gparpar 1 3.dat";
    plot(r, *run_, con_);
    std::remove(p.figure);
    // Kind 7 has no print lines: its figure is asked for on the command line.
    const std::string head =
        p.kind == 7 ? " -e 'set term post eps color; set output \"gpar7.eps\"'" : "";
    const std::string cmd = "timeout 60 " + gp + head + " " + plot_script_name(p.kind) +
                            " </dev/null >gnuplot.out 2>gnuplot.err";
    const int raw = std::system(cmd.c_str());
    const std::string err = read_text("gnuplot.err");
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
        << "kind " << p.kind << " ip " << r.ip << ": " << err << "\n" << read_text(plot_script_name(p.kind));
    // A warning would mean a data file was not found or drew nothing.
    EXPECT_EQ(err.find("arning"), std::string::npos) << "kind " << p.kind << ": " << err;
    EXPECT_GT(read_text(p.figure).size(), 0u) << "kind " << p.kind;
  }
}

}  // namespace
}  // namespace zorvik
