// report/results.json of real runs: the polished optimum against certified
// nonlinear least squares, the statistics against chainstat.dat, the pooled
// chains and the evidence ladder. The certified problems are DanWood
// (y = b1·x^b2) and Eckerle4 (y = b1/b2·exp(−½((x − b3)/b2)²)) of the NIST
// Statistical Reference Datasets; an unrelated least-squares solver given the
// data typed here reproduces every certified value to 9 or more digits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <numbers>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;
using nlohmann::json;

struct Parameter { const char* name; double value, step, lo, hi; };  // a step of 0: fixed

struct Certified {
  const char* name; int model;
  double sigma;  // the same for every point: the certified optimum does not depend on it
  std::vector<Parameter> parameters;
  std::vector<double> x, y, b;  // the data, the certified parameters
  double rss;                   // the certified residual sum of squares
  // The certified parameters from the polished free parameters (file order).
  std::vector<double> (*to_b)(const std::vector<double>&);
};

// DanWood through the dielectric power law 10^p1·f^p2 with its two Cole-Cole
// terms switched off; Eckerle4 as the first of three Gaussians, of area
// a = b1·√(2π), the others and the background switched off.
const Certified kProblems[] = {
    {"danwood", 57, 0.03,
     {{"lgb1", -0.1, 0.01, -2, 1}, {"b2", 3.8, 0.05, 1, 6}, {"lt1", 0, 0, -5, 5}, {"lt2", 0, 0, -5, 5},
      {"cc1", 0, 0, -1, 1}, {"cc2", 0, 0, -1, 1}, {"w1", 0.5, 0, 0, 1}, {"w2", 0.5, 0, 0, 1}},
     {1.309, 1.471, 1.490, 1.565, 1.611, 1.680},
     {2.138, 3.421, 3.597, 4.340, 4.882, 5.660},
     {7.6886226176E-01, 3.8604055871E+00},
     4.3173084083E-03,
     [](const std::vector<double>& p) { return std::vector<double>{std::pow(10.0, p[0]), p[1]}; }},
    {"eckerle4", 101, 0.01,
     {{"bg0", 0, 0, -1, 1}, {"bg1", 0, 0, -1, 1}, {"bg2", 0, 0, -1, 1}, {"area", 3.9, 0.05, 0, 20},
      {"centre", 451.5, 0.05, 440, 460}, {"width", 4.1, 0.05, 1, 10}, {"area2", 0, 0, -1, 1},
      {"centre2", 450, 0, 0, 1000}, {"width2", 1, 0, 0, 10}, {"area3", 0, 0, -1, 1},
      {"centre3", 450, 0, 0, 1000}, {"width3", 1, 0, 0, 10}},
     {400.0, 405.0, 410.0, 415.0, 420.0, 425.0, 430.0, 435.0, 436.5, 438.0, 439.5, 441.0, 442.5, 444.0, 445.5,
      447.0, 448.5, 450.0, 451.5, 453.0, 454.5, 456.0, 457.5, 459.0, 460.5, 462.0, 463.5, 465.0, 470.0, 475.0,
      480.0, 485.0, 490.0, 495.0, 500.0},
     {0.0001575, 0.0001699, 0.0002350, 0.0003102, 0.0004917, 0.0008710, 0.0017418, 0.0046400, 0.0065895,
      0.0097302, 0.0149002, 0.0237310, 0.0401683, 0.0712559, 0.1264458, 0.2073413, 0.2902366, 0.3445623,
      0.3698049, 0.3668534, 0.3106727, 0.2078154, 0.1164354, 0.0616764, 0.0337200, 0.0194023, 0.0117831,
      0.0074357, 0.0022732, 0.0008800, 0.0004579, 0.0002345, 0.0001586, 0.0001143, 0.0000710},
     {1.5543827178E+00, 4.0888321754E+00, 4.5154121844E+02},
     1.4635887487E-03,
     [](const std::vector<double>& p) {
       return std::vector<double>{p[0] / std::sqrt(2.0 * std::numbers::pi), p[2], p[1]};
     }},
};

// The parameter file and the data file of a problem, `cycles` steps.
void write_problem(const Certified& c, int cycles) {
  std::ostringstream data;
  data << std::setprecision(10) << "x y sigma\n";
  for (size_t k = 0; k < c.x.size(); ++k) data << c.x[k] << ' ' << c.y[k] << ' ' << c.sigma << '\n';
  write_text(std::string(c.name) + ".dat", data.str());
  char text[2048];
  std::snprintf(text, sizeof text,
                "     'certified' 0   0   1  !title,interactive,plt,nfunc\n"
                "nomin                opt  Nint nomout                   xmin           xmax        Function\n"
                "%-21s n     0 fit1.dat              0.0000E+00     1.0000E+03  %d\n"
                "out.dat              chi.dat              !outputfile\n"
                "    1.000000    !Temperature, next line sigmaexp\n    0.000000\n"
                "      %zu                                  !npar\n"
                " %d  %d                          !Ciclos tot, write\n"
                "   0    1     4.000000    1.000000    0.000000 !varpar,gpar, incgpar, incgchi,notused\n"
                "       0                                  !annealing\n"
                " 1    1.00000   1.00000   1.00000         ! step,Tin,Tfn,incT\n"
                " 0.40000                                  !Acceptance factor\n",
                (std::string(c.name) + ".dat").c_str(), c.model, c.parameters.size(), cycles, cycles / 2);
  std::string par = text;
  for (size_t k = 0; k < c.parameters.size(); ++k) {
    const Parameter& p = c.parameters[k];
    std::snprintf(text, sizeof text, "%3zu  %-10s n  %15.7E  %10.4E  %12.4E  %12.4E\n", k + 1, p.name, p.value, p.step, p.lo, p.hi);
    par += text;
  }
  write_text(std::string(c.name) + ".par", par + "    0  !Rel. igualdad\n    0  !Rel. \n    0  !Num. contornos\n    0  !Npeaks\n");
}

json results(const std::string& folder = "") { return json::parse(read_text(folder + "report/results.json")); }

// Every number of chainstat.dat (printed with 8 digits) is the JSON's, so printed.
void expect_chainstat_agrees(const json& j, const std::string& chainstat) {
  static const char* kColumns[] = {"mean", "sd", "q025", "q16", "q50", "q84", "q975", "tau", "ess", "rhat"};
  const std::vector<std::string> lines = lines_of(chainstat);
  ASSERT_EQ(lines.size(), j["parameters"].size() + 2);
  for (size_t k = 1; k < lines.size(); ++k) {
    std::istringstream words(lines[k]);
    std::string index, name, printed;
    words >> index >> name;
    const json& row = k + 1 < lines.size() ? j["parameters"][k - 1] : j["chisq"];
    EXPECT_TRUE(row["name"] == name && row["index"] == std::stoi(index)) << name;
    char mine[32];
    for (const char* column : kColumns)
      if (words >> printed && std::snprintf(mine, sizeof mine, "%.8g", row[column].get<double>()) > 0) {
        EXPECT_EQ(printed, mine) << name << ' ' << column;
      }
  }
}

TEST(Report, PolishedOptimumMatchesCertifiedValuesAndResultsMatchChainstat) {
  for (const Certified& c : kProblems) {
    ScratchDir dir;
    write_problem(c, 4000);
    const Outcome o = run_program(std::string(c.name) + ".par", "");
    ASSERT_EQ(o.status, 0) << o.err;
    const json j = results();
    const json& opt = j["optimum"];
    std::vector<double> polished;
    for (const json& p : opt["parameters"]) polished.push_back(p["value"]);
    const std::vector<double> b = c.to_b(polished);
    for (size_t k = 0; k < c.b.size(); ++k) EXPECT_NEAR(b[k] / c.b[k], 1.0, 1e-8) << c.name << " b" << k + 1;
    EXPECT_NEAR(opt["chisq"].get<double>() * c.sigma * c.sigma / c.rss, 1.0, 1e-8) << c.name;
    EXPECT_GE(j["best_chisq"].get<double>(), opt["chisq"].get<double>());
    const double k = static_cast<double>(c.b.size()), n = static_cast<double>(c.x.size());
    EXPECT_TRUE(j["data_sets"][0]["points"] == c.x.size() && opt["converged"] == true) << opt;
    EXPECT_NEAR(j["bic"].get<double>() - j["aic"].get<double>(), k * std::log(n) - 2 * k, 1e-9);
    EXPECT_TRUE(j["settings"]["steps"] == 4000 && j["settings"]["proposal"] == "one parameter per step");
    expect_chainstat_agrees(j, read_text("chainstat.dat"));
    // The whole-chain table ends every run's console, with the line on the two tables.
    EXPECT_TRUE(lines_of(o.out).back().starts_with(" The table of the distributions (parstat.dat)")) << o.out;
    EXPECT_NE(o.out.find("\n Whole chain: 3200 steps after a burn-in of 800 (thinning 1)\n"), std::string::npos);
  }
}

TEST(Report, PooledChainsAndTheEvidenceLadderHaveTheirResults) {
  ScratchDir dir;
  for (const char* seed : {"1", "2"}) {
    ASSERT_EQ(std::system((std::string("mkdir s") + seed).c_str()), 0);
    ASSERT_EQ(chdir((std::string("s") + seed).c_str()), 0);
    write_problem(kProblems[0], 2000);
    ASSERT_EQ(run_program(std::string("--seed ") + seed + " danwood.par", "").status, 0);
    EXPECT_EQ(results()["settings"]["seed"], std::stoi(seed));
    ASSERT_EQ(chdir(".."), 0);
  }
  ASSERT_EQ(run_program("--combine s1 s2", "").status, 0);
  const json pooled = results();
  EXPECT_TRUE(pooled["kind"] == "combine" && pooled["settings"]["chains"] == 2 &&
              pooled["settings"]["parameter_file"] == "danwood.par");
  expect_chainstat_agrees(pooled, read_text("chainstat.dat"));
  const double best = std::min(results("s1/")["chisq"]["best"].get<double>(), results("s2/")["chisq"]["best"].get<double>());
  EXPECT_LE(pooled["chisq"]["best"].get<double>(), best);

  write_problem(kProblems[0], 20000);
  const Outcome o = run_program("--evidence danwood.par", "");
  ASSERT_EQ(o.status, 0) << o.err;
  const json e = results();
  char line[128];
  std::snprintf(line, sizeof line, "log(evidence) by thermodynamic integration: %.4f +- %.4f",
                e["evidence"]["ln_z"].get<double>(), e["evidence"]["error"].get<double>());
  EXPECT_EQ(lines_of(read_text("evidence.dat")).back(), line);
  EXPECT_TRUE(e["kind"] == "evidence" && e["evidence"]["rungs"].size() == 33u && e["evidence"]["rungs"].back()["beta"] == 1.0);
}

}  // namespace
}  // namespace zorvik
