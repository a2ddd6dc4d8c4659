// The shipped examples (peaks: model 101; qens: five q convolved, 111; ccl4:
// S(q) and g(r), 4; dielectric: 53; dielectric_t: five temperatures, 55;
// dielectric_williams: whole curve, 51), run as a user runs them: the one-sigma
// limits in parstat.dat must bracket the values the generator made the data
// with (read from make_data.py), in a band too narrow to bracket almost any
// value. A wrong normalisation, width, q, kernel, geometry, relaxation law,
// temperature, parameter block or shape moves the fit by many standard errors.
// The sanitizer build, 3 to 20 times slower, runs each with a fifth of its
// cycles or fewer and checks only that the best state lies within the tolerance
// (the ridge parameters, whose best state wanders along the ridge, not at all).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The upper-case constants of a generator, lines "NAME = v", "A, B = v1, v2" and
// "NAME = (v1, v2, …)" or "[(…), (…)]": a single name takes every number of its line.
std::map<std::string, std::vector<double>> generator_constants(const std::string& example) {
  static const std::regex assignment(R"(^([A-Z][A-Z0-9_]*(?:\s*,\s*[A-Z][A-Z0-9_]*)*)\s*=([^#]*))");
  static const std::regex name(R"([A-Z][A-Z0-9_]*)"), number(R"([-+]?[0-9]+\.?[0-9]*([eE][-+]?[0-9]+)?)");
  std::map<std::string, std::vector<double>> constants;
  for (const std::string& line : lines_of(read_text(source_path("examples/" + example + "/make_data.py")))) {
    std::smatch m;
    if (!std::regex_search(line, m, assignment)) continue;
    const std::string lhs = m[1], rhs = m[2];
    std::vector<std::string> names;
    std::vector<double> values;
    for (std::sregex_iterator it(lhs.begin(), lhs.end(), name), end; it != end; ++it) names.push_back(it->str());
    for (std::sregex_iterator it(rhs.begin(), rhs.end(), number), end; it != end; ++it) values.push_back(std::stod(it->str()));
    if (names.size() == 1)
      constants[names[0]] = values;
    else if (names.size() == values.size())
      for (size_t k = 0; k < names.size(); ++k) constants[names[k]] = {values[k]};
  }
  return constants;
}

// A parameter of the fit (its parstat.dat name), the generator constant (and
// position in it) it must recover, and a tolerance of a few standard errors:
// the one-sigma band may be at most twice as wide. A ridge parameter (one
// crossed slowly by one-parameter steps) need only have the truth within the
// band's width of its middle.
struct Key {
  std::string name, constant;
  size_t index;
  double tolerance;
  bool ridge = false;
};

struct Example {
  std::string folder;
  long short_cycles;  // cycles in the sanitizer build
  std::vector<Key> keys;
};

std::vector<Example> examples() {
  std::vector<Example> v = {
      // Least-squares errors are 4 to 12 % of each area, 4 to 10 % of each line's s
      // for its centre and width; p2 and p3 of the background correlate at −0.98.
      {"peaks", 24000, {{"bg0", "BG", 0, 0, true}, {"bg1", "BG", 1, 0, true}, {"bg2", "BG", 2, 0, true}}},
      // About 1200 points with up to ~1000 counts at the peak fix D to a few per cent.
      {"qens", 20000, {{"Dif", "D", 0, 0.0075}}},
      // The high-q oscillations of S(q) and the sharp g(r) peaks fix d to about 1e-4 Å.
      {"ccl4", 8000, {{"dCCl", "D_CCL", 0, 0.001}}},
      {"dielectric", 20000, {{"ltHN", "LT_HN", 0, 0.04}, {"ltCC1", "LT_CC1", 0, 0.06}, {"ltCC2", "LT_CC2", 0, 0.08},
                         {"dHN", "D_HN", 0, 0.1}, {"dCC1", "D_CC1", 0, 0.12}, {"dCC2", "D_CC2", 0, 0.04}}},
      {"dielectric_t", 80000, {{"lt0V", "LT0_VFT", 0, 0.04}, {"T0", "T0", 0, 0.25}, {"D", "D", 0, 0.07},
                                {"lt0A", "LT0_ARR", 0, 0.15}, {"Ea", "E", 0, 60.0}}},
      {"dielectric_williams", 5000, {{"ltA", "LT_ALPHA", 0, 0.04}, {"ltB", "LT_BETA", 0, 0.1}, {"deps", "DEPS", 0, 0.06},
                                     {"lam", "LAMBDA", 0, 0.04}, {"sigB", "SIGMA_B", 0, 0.6}}}};
  const double area_tol[] = {100, 62.5, 150}, s_tol[] = {1.25, 2.0, 1.5};  // half of the area, of s
  for (size_t k = 0; k < 3; ++k) {
    const std::string n = std::to_string(k + 1);
    v[0].keys.push_back({"area" + n, "LINES", 3 * k, area_tol[k]});
    v[0].keys.push_back({"cent" + n, "LINES", 3 * k + 1, s_tol[k]});
    v[0].keys.push_back({"sdev" + n, "LINES", 3 * k + 2, s_tol[k]});
  }
  const char* temperatures[] = {"180", "195", "210", "225", "240"};
  for (size_t i = 0; i < 5; ++i) {
    v[4].keys.push_back({std::string("dH") + temperatures[i], "D_HN", i, 0.04});
    v[4].keys.push_back({std::string("dC") + temperatures[i], "D_CC", i, 0.02});
  }
  return v;
}

void PrintTo(const Example& e, std::ostream* os) { *os << e.folder; }

class Examples : public testing::TestWithParam<Example> {};

TEST_P(Examples, OneSigmaLimitsBracketTheValuesTheDataWereMadeWith) {
  const Example& ex = GetParam();
  const std::map<std::string, std::vector<double>> truth = generator_constants(ex.folder);
  ScratchDir dir;
  copy_example(ex.folder);
  const std::string par = ex.folder + ".par";
  const bool shortened = kSanitized;
  if (shortened) {
    const std::string text = read_text(par);
    write_text(par, std::regex_replace(text, std::regex(R"(\n *[0-9]+( +[0-9]+ +!Ciclos tot))"),
                                       "\n" + std::to_string(ex.short_cycles) + "$1"));
  }
  const Outcome o = run_program(par, "");
  ASSERT_EQ(o.status, 0) << o.err << "\n" << o.out.substr(o.out.size() > 3000 ? o.out.size() - 3000 : 0);
  // The inversion of the whole-curve models reached its tolerance all along.
  EXPECT_EQ(o.out.find("PROBLEM IN gTAU"), std::string::npos);
  const std::string stats = read_text("parstat.dat");
  for (const Key& k : ex.keys) {
    SCOPED_TRACE(ex.folder + ": " + k.name);
    const auto it = truth.find(k.constant);
    ASSERT_TRUE(it != truth.end() && k.index < it->second.size()) << "no " << k.constant << " in make_data.py";
    const double value = it->second[k.index];
    const ParStatRow r = parstat_row(stats, k.name);
    ASSERT_EQ(r.name, k.name) << "no row in parstat.dat:\n" << stats;
    if (shortened) {
      if (!k.ridge) {
        EXPECT_NEAR(r.minchisq, value, k.tolerance);
      }
      continue;
    }
    EXPECT_GT(r.changes, 1000) << "too few accepted moves for a distribution";
    if (k.ridge) {
      EXPECT_LT(std::abs(value - 0.5 * (r.errdown + r.errup)), r.errup - r.errdown);
      continue;
    }
    EXPECT_LT(r.errdown, value);
    EXPECT_GT(r.errup, value);
    EXPECT_LT(r.errup - r.errdown, 2 * k.tolerance) << "a band this wide would bracket almost any value";
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, Examples, testing::ValuesIn(examples()),
                         [](const testing::TestParamInfo<Example>& info) { return info.param.folder; });

}  // namespace
}  // namespace zorvik
