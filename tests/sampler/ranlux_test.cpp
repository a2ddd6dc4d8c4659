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

// The group of 24 and the skip after it carry across calls of any length.
TEST_F(RanluxTest, DrawingInPiecesGivesTheSameStreamAsOneCall) {
  const int pieces[] = {1, 2, 3, 5, 7, 11, 13, 23, 24, 25, 47, 100, 389, 1, 777};
  for (int lux : {0, 1, 2, 3, 4, 75}) {
    Ranlux whole = seeded(lux), split = seeded(lux);
    std::vector<float> got;
    for (int p : pieces) {
      const std::vector<float> part = draw(split, p);
      got.insert(got.end(), part.begin(), part.end());
    }
    expect_same_bits(got, draw(whole, static_cast<int>(got.size())), "level " + std::to_string(lux));
    EXPECT_EQ(state_of(split), state_of(whole)) << "level " << lux;
  }
}

TEST_F(RanluxTest, PackedWordRecordsLagPointersGroupPositionAndCarry) {
  Ranlux g = seeded(4);
  int drawn = 0;
  for (int upto : {1, 23, 24, 25}) {
    draw(g, upto - drawn);
    drawn = upto;
    const std::string name = "level4_seed314159265_rluxut25_after_" + std::to_string(upto);
    EXPECT_EQ(state_of(g)[24], std::stoi(value(name, "isdext(25)"))) << name;
    if (upto == 24) {
      EXPECT_EQ(state_of(g), state("level4_seed314159265_rluxut_after_24"));
    }
  }
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

TEST_F(RanluxTest, RestartWithK1OrK2ResumesTheStream) {
  Ranlux g = seeded(4, kSeed, 778);  // two groups of 389: resumes at number 49
  expect_numbers(draw(g, 5), 49, "level4_seed314159265_resume_k1_778");
  Ranlux h = seeded(4, kSeed, 5);  // inside the first group: resumes at number 6
  expect_numbers(draw(h, 25), 6, "level4_seed314159265_first30");

  // The count that rluxat reports restarts the stream where it stood.
  Ranlux run = seeded(4);
  draw(run, 12345);
  const std::array<int, 4> a = at(run);
  EXPECT_EQ(a, (std::array{4, kSeed, 12345 + 12345 / 24 * 365, 0}));
  Ranlux resumed = seeded(a[0], a[1], a[2], a[3]);
  EXPECT_EQ(state_of(resumed), state_of(run));
  expect_same_bits(draw(resumed, 100), draw(run, 100), "resumed");

  // k2 counts units of 10^9; at level 0 the position in the group is 10^9 mod 24 = 16.
  Ranlux by_k1 = seeded(0, kSeed, 1000000000), by_k2 = seeded(0, kSeed, 0, 1);
  EXPECT_EQ(state_of(by_k2), state_of(by_k1));
  EXPECT_EQ(state_of(by_k2)[24] / 10000 % 100, 16);
  EXPECT_EQ(at(by_k2)[2], 0);
  EXPECT_EQ(at(by_k2)[3], 1);
  EXPECT_EQ(s_.out.str(), "");
}

// Illegal arguments are reported and replaced; each rluxgo also reseeds a generator in mid-group.
TEST_F(RanluxTest, IllegalArgumentsAreReportedAndReplaced) {
  std::vector<std::string> msg;
  for (const std::string& l : testing_support::lines_of(section("messages")))
    if (l.starts_with("msg=\"")) msg.push_back(l.substr(5, l.rfind('"') - 5));
  ASSERT_EQ(msg.size(), 4u);
  const std::string first30 = "level4_seed314159265_first30";

  Ranlux g = seeded(7);  // level 4 is used
  EXPECT_EQ(s_.out.str(), msg[0] + "\n");
  expect_numbers(draw(g, 30), 1, first30);

  s_.out.str("");
  g.rluxgo(4, -5, 0, 0);  // the default seed is used
  EXPECT_EQ(s_.out.str(), msg[1] + "\n");
  expect_numbers(draw(g, 30), 1, first30);
  EXPECT_EQ(at(g)[1], kSeed);

  // k1 = 30 falls among the discarded numbers of the first group: it starts afresh.
  s_.out.str("");
  g.rluxgo(4, 1, 30, 0);
  EXPECT_EQ(s_.out.str(), msg[2] + "\n" + msg[3] + "\n");
  EXPECT_EQ(state_of(g)[24] / 10000 % 100, 0);

  // Levels 5 … 23 packed into a restored state run as level 4.
  s_.out.str("");
  std::vector<int> s = state("level4_seed314159265_init_rluxut");
  s[24] = s[24] % 1000000 + 7 * 1000000;
  g.rluxin(s.data());
  EXPECT_EQ(s_.out.str(), " RANLUX ILLEGAL LUXURY RLUXIN:     7\n");
  EXPECT_EQ(at(g)[0], 4);
  expect_numbers(draw(g, 30), 1, first30);
}

// A zero digit padded with a zero lag digit becomes 2^-48, never an exact zero;
// the all-zero state without borrow produces nothing but zero digits.
TEST_F(RanluxTest, ZeroIsReplacedByTwoToTheMinus48) {
  int zero_state[25] = {};
  zero_state[24] = 24 + 100 * 10;  // I24 = 24, J24 = 10, level 0, no borrow
  Ranlux g(s_.con);
  g.rluxin(zero_state);
  for (float r : draw(g, 50)) ASSERT_EQ(bits_of(r), bits_of(0x1p-48f));
}

}  // namespace
}  // namespace zorvik
