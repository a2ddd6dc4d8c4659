// results.json read back by a JSON parser: names that would break escaping come back (bytes
// that are not UTF-8 as their Latin-1 characters), numbers that are not finite as null.
#include <gtest/gtest.h>

#include <cmath>

#include "output/results_json.h"

#ifdef ZORVIK_HAVE_JSON
#include <nlohmann/json.hpp>

namespace zorvik {
namespace {

TEST(ResultsJson, NamesAndNumbersComeBackThroughAParser) {
  const struct { std::string in, out; } names[] = {
      {"a\"b\\c", "a\"b\\c"},                  // quote and backslash
      {"<x&y>", "<x&y>"},                      // markup characters
      {"tab\there\n", "tab\there\n"},          // control characters
      {"\xCE\xB1_\xC3\xA9", "\xCE\xB1_\xC3\xA9"},  // UTF-8 (alpha, e acute) as it is
      {"caf\xE9", "caf\xC3\xA9"},              // a Latin-1 byte becomes its character
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},        // an overlong form is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},  // nor is a surrogate
  };
  RunReport r;
  for (const auto& n : names) {
    ReportParameter p;
    p.name = n.in;
    p.mean = 1.0 / 3.0;
    p.sd = std::nan("");
    r.parameters.push_back(p);
    r.sets.push_back({1, n.in, 101, 3, 2.5});
    r.figures.push_back(n.in + ".png");
  }
  r.parameter_file = names[0].in;
  const nlohmann::json j = nlohmann::json::parse(results_json_text(r));
  for (size_t k = 0; k < std::size(names); ++k) {
    EXPECT_EQ(j["parameters"][k]["name"], names[k].out) << k;
    EXPECT_EQ(j["data_sets"][k]["file"], names[k].out) << k;
    EXPECT_EQ(j["figures"][k], names[k].out + ".png") << k;
    EXPECT_EQ(j["parameters"][k]["mean"].get<double>(), 1.0 / 3.0);  // every bit
    EXPECT_TRUE(j["parameters"][k]["sd"].is_null() && !j["parameters"][k].contains("rhat"));
  }
  EXPECT_EQ(j["settings"]["parameter_file"], names[0].out);
  EXPECT_TRUE(j["settings"]["seed"].is_null() && j["optimum"].is_null() && j["evidence"].is_null());
}

}  // namespace
}  // namespace zorvik
#endif
