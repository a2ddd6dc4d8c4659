// The report folder: names from files reach gnuplot and HTML harmlessly, the
// real gnuplot accepts every script it is given, the page names only files that
// exist, and the credible regions of the corner plot hold their probability.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>

#include "output/report_figures.h"
#include "output/report_html.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

const std::string kHostile = "a'b\"c\\d\n@e<i>&f é \xff\x01";

TEST(ReportText, NamesAreEscapedForGnuplotAndHtml) {
  const struct {
    std::string in, gnuplot, html;
  } cases[] = {
      {"tau_1", "'tau_1'", "tau_1"},
      // gnuplot's single quotes take everything literally but the quote itself, doubled.
      {"it's \\n @x", "'it''s \\n @x'", "it&#39;s \\n @x"},
      {"<b>&\"", "'<b>&\"'", "&lt;b&gt;&amp;&quot;"},
      // A line end, a control byte and an invalid byte are shown as visible text.
      {"a\nb\x01\xff", "'a\\nb\\x01\\xff'", "a\\nb\\x01\\xff"},
      {"ε″ Å", "'ε″ Å'", "ε″ Å"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gnuplot_string(c.in), c.gnuplot) << c.in;
    EXPECT_EQ(html_escape(c.in), c.html) << c.in;
  }
}

TEST(ReportText, AxesFollowTheModelFamily) {
  const struct {
    int model, slot;
    bool log;
    const char* x_title;
  } cases[] = {{53, 1, true, "frequency f (Hz)"}, {51, 1, false, "log₁₀ (frequency f / Hz)"},
               {4, 2, false, "distance r (Å)"},    {111, 1, false, "energy transfer (unit of the data file)"},
               {101, 1, false, "x (first column of the data file)"}};
  for (const auto& c : cases) {
    FigureSet f;
    f.model = c.model;
    choose_axes(f, c.slot);
    EXPECT_EQ(f.log_axes, c.log) << c.model;
    EXPECT_EQ(f.x_title, c.x_title) << c.model;
  }
}

// Eight free parameters (the corner plot takes six and the correlation matrix
// all), the first two correlated with ρ = 0.8; names and the data file hostile.
struct Fixture {
  RunReport report;
  FigureInput in;
  Fixture() {
    std::mt19937_64 gen(7);
    std::normal_distribution<double> n01;
    FigureChain c;
    c.columns.assign(9, {});
    for (long long k = 0; k < 4000; ++k) {
      c.step.push_back(k + 1);
      const double z1 = n01(gen), z2 = 0.8 * z1 + 0.6 * n01(gen);
      c.columns[0].push_back(50 + n01(gen));
      c.columns[1].push_back(z1);
      c.columns[2].push_back(z2);
      for (int j = 3; j <= 8; ++j) c.columns[static_cast<size_t>(j)].push_back(j + 0.1 * n01(gen));
    }
    in.chains = {c};
    in.burn_in = 0;
    for (int j = 1; j <= 8; ++j) {
      ReportParameter p;
      p.index = j, p.name = kHostile + std::to_string(j);
      report.parameters.push_back(p);
    }
    FigureSet s;
    s.number = 1, s.file = kHostile, s.model = 53, s.states = 3;
    choose_axes(s, 1);
    for (int k = 1; k <= 30; ++k) {
      const double x = std::pow(10.0, k / 5.0), y = 1.0 / (1.0 + x / 100.0);
      s.x.push_back(x), s.y.push_back(y * 1.01), s.sigma.push_back(0.02 * y), s.best.push_back(y);
      const double q[5] = {0.96, 0.98, 1.0, 1.02, 1.04};
      for (int l = 0; l < 5; ++l) s.band[static_cast<size_t>(l)].push_back(q[l] * y);
    }
    in.sets = {s};
    report.sets = {{1, kHostile, 53, 30, 12.5}};
    report.parameter_file = kHostile;
    report.verdict = kHostile;
    report.evidence = ReportEvidence{-12.5, 0.25, {0.0, 0.001, 0.03, 0.3, 1.0}, {-900, -80, -20, -14, -13}, {9, 2, 0.5, 0.2, 0.1}};
  }
};

// The path without tests/fakebin: the real gnuplot.
struct RealGnuplot {
  std::string saved = std::getenv("PATH");
  RealGnuplot() { setenv("PATH", saved.substr(saved.find(':') + 1).c_str(), 1); }
  ~RealGnuplot() { setenv("PATH", saved.c_str(), 1); }
};

TEST(ReportFolder, GnuplotDrawsEveryFigureAndThePageNamesOnlyFilesThatExist) {
  ScratchDir dir;
  RealGnuplot real;
  std::string out;
  if (shell("gnuplot --version", out) != 0) GTEST_SKIP() << "gnuplot is not installed";
  Fixture f;
  Screen screen;
  write_report_folder(f.report, f.in, "report", screen.con);
  // Nothing from gnuplot: no error and no warning on any script.
  EXPECT_EQ(screen.out.str(), "");
  EXPECT_EQ(read_text("report/gnuplot.log"), "");
  for (const char* stem : {"set1", "corner", "corr", "trace", "ladder"})
    for (const char* ext : {".png", ".svg"})
      EXPECT_GT(std::filesystem::file_size(std::string("report/") + stem + ext), 1000u) << stem << ext;
  EXPECT_EQ(f.report.figures.size(), 10u);  // the names results.json lists: every figure drawn

  const std::string page = read_text("report/index.html");
  const std::regex link("(src|href)=\"([^\"]*)\"");
  int links = 0;
  for (auto m = std::sregex_iterator(page.begin(), page.end(), link); m != std::sregex_iterator(); ++m, ++links)
    EXPECT_TRUE(std::filesystem::exists("report/" + (*m)[2].str())) << (*m)[2];
  EXPECT_EQ(links, 10);
  // The hostile name shows escaped, never as markup or a broken attribute.
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("a&#39;b&quot;c\\d\\n@e&lt;i&gt;&amp;f é \\xff\\x01"), std::string::npos);
}

// Without gnuplot one console line says so and the page still has the tables.
// The highest-density regions of the first pair (ρ = 0.8, 4000 draws) hold
// 68 % and 95 % of the draws. The 1-2-1 smoothing widens the density by about
// half a cell and the cells quantise the boundary, so a few per cent either way.
TEST(ReportFolder, WithoutGnuplotTheTablesRemainAndTheRegionsHoldTheirProbability) {
  ScratchDir dir;
  Fixture f;
  Screen screen;
  const std::string path = std::getenv("PATH");
  setenv("PATH", dir.path().c_str(), 1);
  write_report_folder(f.report, f.in, "report", screen.con);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(screen.out.str(),
            " gnuplot was not found: the report in report has its tables and figure scripts but no figures\n");
  EXPECT_TRUE(f.report.figures.empty());  // no figure is named that was not drawn
  EXPECT_NE(read_text("report/index.html").find("<td>12.5</td>"), std::string::npos);
  std::istringstream in(read_text("report/corner.dat"));
  std::vector<std::vector<double>> block;
  int blanks = 0, index = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) {
      if (++blanks == 2) ++index;
      continue;
    }
    blanks = 0;
    if (index == 6 && line[0] != '#') block.push_back(numbers_of(line));  // the pair (1, 2)
  }
  ASSERT_EQ(block.size(), 32u * 32u);
  const double dx = block[32][0] - block[0][0], dy = block[1][1] - block[0][1];
  double inside[3] = {0, 0, 0};
  for (size_t k = 0; k < f.in.chains[0].step.size(); ++k) {
    const double x = f.in.chains[0].columns[1][k], y = f.in.chains[0].columns[2][k];
    const long i = std::lround((x - block[0][0]) / dx), j = std::lround((y - block[0][1]) / dy);
    inside[static_cast<int>(block[static_cast<size_t>(std::clamp(i, 0L, 31L) * 32 + std::clamp(j, 0L, 31L))][2])] += 1;
  }
  const double n = static_cast<double>(f.in.chains[0].step.size());
  EXPECT_NEAR(inside[2] / n, 0.68, 0.05);
  EXPECT_NEAR((inside[1] + inside[2]) / n, 0.95, 0.03);
}

}  // namespace
}  // namespace zorvik
