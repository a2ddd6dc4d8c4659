// The three shipped dielectric examples, run as a user runs them, each checked
// against the values its generator made the data with (read from make_data.py,
// so that the checks follow the data if they are ever remade):
//   dielectric          — model 53, one HN and two CC terms on one spectrum;
//   dielectric_t        — model 55 on five temperatures: the VFT and Arrhenius
//                         laws shared, the strengths per temperature, the
//                         temperature read from each file's first z value;
//   dielectric_williams — model 51, the whole-curve Williams ansatz, fitted as
//                         log10 ε'' against log10 f.
// A wrong relaxation-time law, temperature, parameter block, shape or a
// Williams integral that differs from the one the data were made with moves
// the fit by many standard errors, far outside the limits checked here.
//
// The sanitizer build runs the chain 3 to 20 times slower (the whole-curve
// model most), too slow for the full chains of the last two examples. There
// they run with fewer cycles, which leaves the one-sigma limits (of the
// strongly correlated VFT and Arrhenius parameters above all) unsettled; the
// check becomes that the best state found lies within a few standard errors of
// the true value (the tolerance of each key parameter below), which still
// catches every fault named above.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_example;
using testing_support::lines_of;
using testing_support::parstat_row;
using testing_support::ParStatRow;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::source_path;
using testing_support::write_text;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The upper-case constants of a generator: lines "NAME = v", "A, B = v1, v2" and
// "NAME = (v1, v2, …)"; a single name takes all the values of its line.
std::map<std::string, std::vector<double>> generator_constants(const std::string& example) {
  static const std::regex assignment(
      R"(^([A-Z][A-Z0-9_]*(?:\s*,\s*[A-Z][A-Z0-9_]*)*)\s*=\s*\(?\s*([-+.0-9eE]+(?:\s*,\s*[-+.0-9eE]+)*)\s*,?\s*\)?\s*(?:#.*)?$)");
  static const std::regex item(R"([^,\s]+)");
  auto items = [](const std::string& s) {
    std::vector<std::string> out;
    for (std::sregex_iterator it(s.begin(), s.end(), item), end; it != end; ++it) out.push_back(it->str());
    return out;
  };
  std::map<std::string, std::vector<double>> constants;
  for (const std::string& line : lines_of(read_text(source_path("examples/" + example + "/make_data.py")))) {
    std::smatch m;
    if (!std::regex_match(line, m, assignment)) continue;
    const std::vector<std::string> names = items(m[1]), values = items(m[2]);
    std::vector<double> numbers;
    for (const std::string& v : values) numbers.push_back(std::stod(v));
    if (names.size() == 1)
      constants[names[0]] = numbers;
    else if (names.size() == numbers.size())
      for (size_t k = 0; k < names.size(); ++k) constants[names[k]] = {numbers[k]};
  }
  return constants;
}

// Rewrites the cycles of record 8 ("Ciclos tot, write") in the scratch copy.
void set_cycles(const std::string& par, long cycles) {
  static const std::regex record(R"(^\s*\d+(\s+\d+\s+!Ciclos tot.*)$)");
  std::string text;
  int replaced = 0;
  for (const std::string& line : lines_of(read_text(par))) {
    std::smatch m;
    if (std::regex_match(line, m, record)) {
      char head[16];
      std::snprintf(head, sizeof head, "%8ld", cycles);
      text += head + m[1].str() + "\n";
      ++replaced;
    } else {
      text += line + "\n";
    }
  }
  ASSERT_EQ(replaced, 1) << "no cycles record in " << par;
  write_text(par, text);
}

// A parameter of the fit, the generator constant (and position in it) it must
// recover, and a tolerance of a few standard errors: the one-sigma band may be
// at most twice as wide, and a short chain's best state must lie within it.
struct Key {
  std::string name, constant;
  size_t index;
  double tolerance;
};

struct Example {
  std::string folder;
  long short_cycles;  // cycles in the sanitizer build; 0: the full run there too
  std::vector<Key> keys;
};

void check_example(const Example& ex) {
  const std::map<std::string, std::vector<double>> truth = generator_constants(ex.folder);
  ScratchDir dir;
  copy_example(ex.folder);
  const std::string par = ex.folder + ".par";
  const bool shortened = kSanitized && ex.short_cycles > 0;
  if (shortened) set_cycles(par, ex.short_cycles);
  const testing_support::Outcome o = run_program(par, "");
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
      EXPECT_NEAR(r.minchisq, value, k.tolerance);
      continue;
    }
    EXPECT_GT(r.changes, 1000) << "too few accepted moves for a distribution";
    EXPECT_LT(r.errdown, value);
    EXPECT_GT(r.errup, value);
    EXPECT_LT(r.errup - r.errdown, 2 * k.tolerance) << "a band this wide would bracket almost any value";
  }
}

TEST(DielectricExamples, HavriliakNegamiAndTwoColeColeTermsBracketTheTruth) {
  check_example({"dielectric",
                 0,
                 {{"ltHN", "LT_HN", 0, 0.04},
                  {"ltCC1", "LT_CC1", 0, 0.06},
                  {"ltCC2", "LT_CC2", 0, 0.08},
                  {"dHN", "D_HN", 0, 0.1},
                  {"dCC1", "D_CC1", 0, 0.12},
                  {"dCC2", "D_CC2", 0, 0.04}}});
}

TEST(DielectricExamples, VogelFulcherAndArrheniusLawsOverFiveTemperaturesBracketTheTruth) {
  std::vector<Key> keys = {{"lt0V", "LT0_VFT", 0, 0.04},
                           {"T0", "T0", 0, 0.25},
                           {"D", "D", 0, 0.07},
                           {"lt0A", "LT0_ARR", 0, 0.15},
                           {"Ea", "E", 0, 60.0}};
  const char* temperatures[] = {"180", "195", "210", "225", "240"};
  for (size_t i = 0; i < 5; ++i) {
    keys.push_back({std::string("dH") + temperatures[i], "D_HN", i, 0.04});
    keys.push_back({std::string("dC") + temperatures[i], "D_CC", i, 0.02});
  }
  check_example({"dielectric_t", 200000, keys});
}

TEST(DielectricExamples, WilliamsAnsatzWholeCurveBracketsTheTruth) {
  check_example({"dielectric_williams",
                 5000,
                 {{"ltA", "LT_ALPHA", 0, 0.04},
                  {"ltB", "LT_BETA", 0, 0.1},
                  {"deps", "DEPS", 0, 0.06},
                  {"lam", "LAMBDA", 0, 0.04},
                  {"sigB", "SIGMA_B", 0, 0.6}}});
}

}  // namespace
}  // namespace zorvik
