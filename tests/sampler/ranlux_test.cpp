// RANLUX against an independent implementation (tests/data/ranlux_reference.txt): exact arithmetic, so bit for bit.
#include "sampler/ranlux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/scratch.h"

namespace zorvik {
namespace {

constexpr int kSeed = 314159265;

// Each section of the reference as text: the rest of its "[name]" line, then its lines.
const std::string& section(const std::string& name) {
  static const std::map<std::string, std::string> all = [] {
    std::map<std::string, std::string> m;
    std::string* cur = nullptr;
    for (const std::string& l : testing_support::lines_of(testing_support::reference("ranlux_reference.txt")))
      if (l.starts_with('[')) cur = &(m[l.substr(1, l.find(']') - 1)] = l.substr(l.find(']') + 1) + "\n");
      else if (cur != nullptr && !l.starts_with('#')) *cur += l + "\n";
    return m;
  }();
  if (!all.contains(name)) ADD_FAILURE() << "no section [" << name << "] in the reference";
  static const std::string none;
  return all.contains(name) ? all.at(name) : none;
}

// The word "key=value" of a section, as its value.
std::string value(const std::string& name, const std::string& key) {
  std::istringstream words(section(name));
  for (std::string w; words >> w;)
    if (w.starts_with(key + "=")) return w.substr(key.size() + 1);
  ADD_FAILURE() << key << " not in [" << name << "]";
  return "0";
}

// The 25 words "isdext(k)=v" of a section.
std::vector<int> state(const std::string& name) {
  std::vector<int> s;
  for (int k = 1; k <= 25; ++k) s.push_back(std::stoi(value(name, "isdext(" + std::to_string(k) + ")")));
  return s;
}

std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

// Compares the section's numbers "n=… bits=…" with v, which holds the stream from number `first` on.
void expect_numbers(const std::vector<float>& v, long long first, const std::string& name) {
  long long n = 0;
  unsigned bits = 0;
  int compared = 0;
  for (const std::string& l : testing_support::lines_of(section(name))) {
    if (std::sscanf(l.c_str(), "n=%lld int24=%*d float=%*s hex=%*s bits=%x", &n, &bits) != 2) continue;
    if (n < first || n - first >= static_cast<long long>(v.size())) continue;
    ++compared;
    EXPECT_EQ(bits_of(v[n - first]), bits) << name << ": number " << n;
  }
  EXPECT_GT(compared, 0) << name;
}

std::vector<int> state_of(const Ranlux& g) {
  std::vector<int> s(25);
  g.rluxut(s.data());
  return s;
}

std::vector<float> draw(Ranlux& g, int n) {
  std::vector<float> v(n);
  g.ranlux(v.data(), n);
  return v;
}

// rluxat's level, seed and count (k1, k2).
std::array<int, 4> at(const Ranlux& g) {
  std::array<int, 4> a;
  g.rluxat(a[0], a[1], a[2], a[3]);
  return a;
}

void expect_same_bits(const std::vector<float>& a, const std::vector<float>& b, const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(bits_of(a[i]), bits_of(b[i])) << what << ", number " << i + 1;
}

class RanluxTest : public ::testing::Test {
 protected:
  Ranlux seeded(int lux, int seed = kSeed, int k1 = 0, int k2 = 0) {
    Ranlux g(s_.con);
    g.rluxgo(lux, seed, k1, k2);
    return g;
  }
  testing_support::Screen s_;
};

// Each level from its own rluxgo: numbers 1-5 and 101-105 and the packed word after
// 1000 numbers; numbers 25-30 follow the first discard and tell levels 3 and 4 apart.
TEST_F(RanluxTest, StartStateEveryLuxuryLevelPValueAndTheDefaultMatchTheReference) {
  EXPECT_EQ(state_of(seeded(4)), state("level4_seed314159265_init_rluxut"));
  // (level or p, seed): p = 389 is level 4, p = 75 no level at all.
  const std::pair<int, int> cases[] = {{0, 0}, {1, kSeed}, {2, kSeed}, {4, kSeed}, {389, 1}, {75, 0}};
  for (auto [lux, seed] : cases) {
    const std::string name = "rluxgo_" + std::to_string(lux) + "_" + std::to_string(seed) + "_0_0_first5_and_n101_105";
    Ranlux g = seeded(lux, seed);
    expect_numbers(draw(g, 1000), 1, name);
    EXPECT_EQ(state_of(g)[24], std::stoi(value(name, "rluxut(25)"))) << name;
  }
  for (int lux : {3, 4}) {
    Ranlux g = seeded(lux);
    expect_numbers(draw(g, 30), 1, "level" + std::to_string(lux) + "_seed314159265_first30");
  }
  // The first call without initialisation silently uses level 3 and the default seed.
  Ranlux g(s_.con);
  const std::vector<float> v = draw(g, 105);
  expect_numbers(v, 1, "default_init_level3_seed314159265_first5");
  expect_numbers(v, 1, "default_init_level3_seed314159265_n101_105");
  EXPECT_EQ(at(g)[0], 3);
  EXPECT_EQ(at(g)[1], kSeed);
  EXPECT_EQ(s_.out.str(), "");
}

// The run loop's use: blocks of 10^6 at level 4, saved with rluxut and restored into a fresh generator.
TEST_F(RanluxTest, TwoMillionNumbersInBlocksMatchTheReferenceStreamAndStates) {
  constexpr int kBlock = 1000000;
  Ranlux first = seeded(4);
  std::vector<float> v = draw(first, kBlock);
  for (const char* s : {"level4_seed314159265_first30", "level4_seed314159265_n999990_1000000",
                        "level4_seed314159265_first5_padded_values"})
    expect_numbers(v, 1, s);
  const std::vector<int> saved = state_of(first);
  EXPECT_EQ(saved, state("level4_seed314159265_rluxut_after_1000000"));
  Ranlux second(s_.con);
  second.rluxin(saved.data());
  const std::vector<float> w = draw(second, kBlock);
  expect_numbers(w, kBlock + 1, "level4_seed314159265_n1999990_2000000");
  EXPECT_EQ(state_of(second), state("level4_seed314159265_rluxut_after_2000000"));

  v.insert(v.end(), w.begin(), w.end());
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  const double sum = std::accumulate(v.begin(), v.end(), 0.0);
  const std::string stats = "level4_seed314159265_stats_first2000000";
  EXPECT_GT(*lo, 0.0f);
  EXPECT_LT(*hi, 1.0f);
  // Min and max are printed with 9 digits, which identify a float exactly.
  EXPECT_EQ(bits_of(*lo), bits_of(std::stof(value(stats, "min"))));
  EXPECT_EQ(bits_of(*hi), bits_of(std::stof(value(stats, "max"))));
  // The mean has 12 digits; a double sum of 2e6 terms errs by < 2e6·2^-53 relative.
  constexpr double kMeanTolerance = 1e-12;
  EXPECT_NEAR(sum / v.size(), std::stod(value(stats, "mean")), kMeanTolerance);
  // Padded numbers (24-bit value below 4096) stay below 2^-12.
  EXPECT_EQ(std::count_if(v.begin(), v.end(), [](float r) { return r < 0x1p-12f; }),
            std::stoi(value(stats, "count_padded_int24_lt_4096")));
}

// Save, draw on, restore, draw again: the same numbers, from any point of the group
// and with or without a pending borrow (after number 1 there is one, after 23 none).
TEST_F(RanluxTest, RestoringASavedStateRepeatsTheNumbersDrawnAfterTheSave) {
  for (int lux : {4, 75}) {
    for (int before : {0, 1, 23, 24, 37}) {
      Ranlux g = seeded(lux);
      draw(g, before);
      const std::vector<int> saved = state_of(g);
      const std::vector<float> a = draw(g, 500);
      draw(g, 13);
      g.rluxin(saved.data());
      expect_same_bits(draw(g, 500), a, "level " + std::to_string(lux) + ", saved after " + std::to_string(before));
      EXPECT_EQ(at(g)[0], lux);
      EXPECT_EQ(at(g)[1], -1);  // the seed is unknown after rluxin
    }
  }
  // Restoring and saving again gives back the same 25 words.
  for (const char* name : {"level4_seed314159265_init_rluxut", "level4_seed314159265_rluxut_after_24",
                           "level4_seed314159265_rluxut_after_1000000", "level4_seed314159265_rluxut_after_2000000"}) {
    Ranlux g(s_.con);
    g.rluxin(state(name).data());
    EXPECT_EQ(state_of(g), state(name)) << name;
  }
  EXPECT_EQ(s_.out.str(), "");
}

}  // namespace
}  // namespace zorvik
