// RANLUX against an independent implementation of the published algorithm
// (tests/data/ranlux_reference.txt, see its header). Every number is compared by its
// IEEE-754 bit pattern: the generator is exact integer arithmetic, so the only
// acceptable difference is none.
#include "sampler/ranlux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace zorvik {
namespace {

constexpr int kSeed = 314159265;

struct RefNumber {
  long long n = 0;
  int int24 = 0;
  std::uint32_t bits = 0;
};

struct RefSection {
  std::vector<RefNumber> numbers;
  std::vector<int> isdext;                     // a full 25-word state, when listed
  std::map<std::string, std::string> values;  // key=value entries
  std::vector<std::string> messages;
};

std::map<std::string, RefSection> read_reference() {
  std::map<std::string, RefSection> sections;
  std::istringstream in(testing_support::reference("ranlux_reference.txt"));
  RefSection* cur = nullptr;
  auto add_pairs = [&](const std::string& text) {
    std::istringstream words(text.substr(0, text.find('#')));
    for (std::string w; words >> w;)
      if (const auto eq = w.find('='); eq != std::string::npos && cur != nullptr)
        cur->values[w.substr(0, eq)] = w.substr(eq + 1);
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      const auto close = line.find(']');
      cur = &sections[line.substr(1, close - 1)];
      add_pairs(line.substr(close + 1));
      continue;
    }
    if (cur == nullptr) continue;
    RefNumber r;
    int index = 0, value = 0;
    if (std::sscanf(line.c_str(), "n=%lld int24=%d float=%*s hex=%*s bits=%x", &r.n, &r.int24,
                    &r.bits) == 3) {
      cur->numbers.push_back(r);
    } else if (std::sscanf(line.c_str(), "isdext(%d)=%d", &index, &value) == 2) {
      cur->isdext.push_back(value);
      EXPECT_EQ(index, static_cast<int>(cur->isdext.size())) << line;
    } else if (line.rfind("msg=\"", 0) == 0) {
      cur->messages.push_back(line.substr(5, line.rfind('"') - 5));
    } else {
      add_pairs(line);
    }
  }
  return sections;
}

const std::map<std::string, RefSection>& reference() {
  static const auto sections = read_reference();
  return sections;
}

const RefSection& section(const std::string& name) {
  const auto it = reference().find(name);
  if (it == reference().end()) ADD_FAILURE() << "no section [" << name << "] in the reference";
  static const RefSection empty;
  return it == reference().end() ? empty : it->second;
}

std::uint32_t bits_of(float f) { return std::bit_cast<std::uint32_t>(f); }

// Numbers first … first+count−1 of the stream (1-based), from a vector that holds
// the stream from number `first_in_vector` on.
void expect_numbers(const std::vector<float>& v, long long first_in_vector,
                    const std::vector<RefNumber>& ref, const std::string& what) {
  ASSERT_FALSE(ref.empty()) << what;
  for (const RefNumber& r : ref) {
    const long long i = r.n - first_in_vector;
    if (i < 0 || i >= static_cast<long long>(v.size())) continue;
    EXPECT_EQ(bits_of(v[i]), r.bits)
        << what << ": number " << r.n << " (24-bit value " << r.int24 << ") expected "
        << std::hexfloat << std::bit_cast<float>(r.bits) << ", got " << v[i] << std::defaultfloat;
  }
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

class RanluxTest : public ::testing::Test {
 protected:
  std::istringstream keyboard_;
  std::ostringstream screen_;
  Console con_{keyboard_, screen_};
};

TEST_F(RanluxTest, SeedExpansionGivesTheReferenceStartState) {
  Ranlux g(con_);
  g.rluxgo(4, kSeed, 0, 0);
  EXPECT_EQ(state_of(g), section("level4_seed314159265_init_rluxut").isdext);
}

// Each level from its own rluxgo: numbers 1-5 (before the first discard) and
// 101-105 (after four), and the packed state word after 1000 numbers.
TEST_F(RanluxTest, EveryLuxuryLevelAndPValueMatchesTheReference) {
  struct Case {
    const char* section;
    int lux, seed;
  };
  const Case cases[] = {
      {"rluxgo_0_0_0_0_first5_and_n101_105", 0, 0},
      {"rluxgo_1_314159265_0_0_first5_and_n101_105", 1, kSeed},
      {"rluxgo_2_314159265_0_0_first5_and_n101_105", 2, kSeed},
      {"rluxgo_4_314159265_0_0_first5_and_n101_105", 4, kSeed},
      {"rluxgo_389_1_0_0_first5_and_n101_105", 389, 1},   // p = 389 is level 4
      {"rluxgo_75_0_0_0_first5_and_n101_105", 75, 0},     // a p value of no level
  };
  for (const Case& c : cases) {
    Ranlux g(con_);
    g.rluxgo(c.lux, c.seed, 0, 0);
    const std::vector<float> v = draw(g, 1000);
    const RefSection& ref = section(c.section);
    expect_numbers(v, 1, ref.numbers, c.section);
    EXPECT_EQ(state_of(g)[24], std::atoi(ref.values.at("rluxut(25)").c_str())) << c.section;
  }
  // Numbers 25-30 follow the first discard, so they tell levels 3 and 4 apart.
  for (const Case& c : {Case{"level4_seed314159265_first30", 4, kSeed},
                        Case{"level3_seed314159265_first30", 3, kSeed}}) {
    Ranlux g(con_);
    g.rluxgo(c.lux, c.seed, 0, 0);
    expect_numbers(draw(g, 30), 1, section(c.section).numbers, c.section);
  }
  EXPECT_EQ(screen_.str(), "");
}

TEST_F(RanluxTest, FirstCallWithoutInitialisationUsesLevel3AndTheDefaultSeedSilently) {
  Ranlux g(con_);
  const std::vector<float> v = draw(g, 105);
  expect_numbers(v, 1, section("default_init_level3_seed314159265_first5").numbers, "first 5");
  expect_numbers(v, 1, section("default_init_level3_seed314159265_n101_105").numbers, "101-105");
  int lout, inout, k1, k2;
  g.rluxat(lout, inout, k1, k2);
  EXPECT_EQ(lout, 3);
  EXPECT_EQ(inout, kSeed);
  EXPECT_EQ(screen_.str(), "");
}

// The run loop's use: blocks of 1,000,000 at level 4, the state saved with rluxut
// after a block and restored with rluxin (here into a fresh generator) before the next.
TEST_F(RanluxTest, TwoMillionNumbersInBlocksMatchTheReferenceStreamAndStates) {
  constexpr int kBlock = 1000000;
  Ranlux first(con_);
  first.rluxgo(4, kSeed, 0, 0);
  std::vector<float> v = draw(first, kBlock);
  expect_numbers(v, 1, section("level4_seed314159265_first30").numbers, "first block");
  expect_numbers(v, 1, section("level4_seed314159265_n999990_1000000").numbers, "first block");
  expect_numbers(v, 1, section("level4_seed314159265_first5_padded_values").numbers, "padded");
  const std::vector<int> saved = state_of(first);
  EXPECT_EQ(saved, section("level4_seed314159265_rluxut_after_1000000").isdext);

  Ranlux second(con_);
  second.rluxin(saved.data());
  const std::vector<float> w = draw(second, kBlock);
  expect_numbers(w, kBlock + 1, section("level4_seed314159265_n1999990_2000000").numbers,
                 "second block");
  EXPECT_EQ(state_of(second), section("level4_seed314159265_rluxut_after_2000000").isdext);

  // Extremes and mean of the two million: no 0 and no 1 delivered, small numbers padded.
  v.insert(v.end(), w.begin(), w.end());
  float lo = 1.0f, hi = 0.0f;
  double sum = 0.0;
  int below_2m12 = 0;
  for (float r : v) {
    lo = std::min(lo, r);
    hi = std::max(hi, r);
    sum += r;
    if (r < 0x1p-12f) ++below_2m12;
  }
  const RefSection& stats = section("level4_seed314159265_stats_first2000000");
  EXPECT_GT(lo, 0.0f);
  EXPECT_LT(hi, 1.0f);
  // The reference prints min and max with 9 digits, which identify a float exactly.
  EXPECT_EQ(bits_of(lo), bits_of(std::strtof(stats.values.at("min").c_str(), nullptr)));
  EXPECT_EQ(bits_of(hi), bits_of(std::strtof(stats.values.at("max").c_str(), nullptr)));
  // The mean is printed with 12 digits; a sequential double sum of 2e6 terms errs by
  // < 2e6 · 2^-53 relative, far below that.
  constexpr double kMeanTolerance = 1e-12;
  EXPECT_NEAR(sum / v.size(), std::strtod(stats.values.at("mean").c_str(), nullptr),
              kMeanTolerance);
  // Every padded number stays below 2^-12: the padding adds less than 2^-24.
  EXPECT_EQ(below_2m12, std::atoi(stats.values.at("count_padded_int24_lt_4096").c_str()));
}

// Blocks of any length continue one stream: the group of 24 and the skip in between
// are carried across calls, whatever slot of the ring a call starts at.
TEST_F(RanluxTest, DrawingInPiecesGivesTheSameStreamAsOneCall) {
  const int pieces[] = {1, 2, 3, 5, 7, 11, 13, 23, 24, 25, 47, 100, 389, 1, 777};
  int total = 0;
  for (int p : pieces) total += p;
  for (int lux : {0, 1, 2, 3, 4, 75}) {
    Ranlux whole(con_), split(con_);
    whole.rluxgo(lux, kSeed, 0, 0);
    split.rluxgo(lux, kSeed, 0, 0);
    const std::vector<float> expected = draw(whole, total);
    std::vector<float> got(total);
    int at = 0;
    for (int p : pieces) {
      split.ranlux(got.data() + at, p);
      at += p;
    }
    for (int i = 0; i < total; ++i)
      ASSERT_EQ(bits_of(got[i]), bits_of(expected[i])) << "level " << lux << ", number " << i + 1;
    EXPECT_EQ(state_of(split), state_of(whole)) << "level " << lux;
  }
}

TEST_F(RanluxTest, PackedWordRecordsLagPointersGroupPositionAndCarry) {
  Ranlux g(con_);
  g.rluxgo(4, kSeed, 0, 0);
  int drawn = 0;
  for (int upto : {1, 23, 24, 25}) {
    draw(g, upto - drawn);
    drawn = upto;
    const std::string name = "level4_seed314159265_rluxut25_after_" + std::to_string(upto);
    EXPECT_EQ(state_of(g)[24], std::atoi(section(name).values.at("isdext(25)").c_str())) << name;
    if (upto == 24) {
      EXPECT_EQ(state_of(g), section("level4_seed314159265_rluxut_after_24").isdext);
    }
  }
}

// Saving, drawing on, restoring and drawing again repeats the numbers, from any point
// of the group of 24 and with or without a pending borrow (the state after number 1
// has one, after 23 it has none). The restored level is the saved one.
TEST_F(RanluxTest, RestoringASavedStateRepeatsTheNumbersDrawnAfterTheSave) {
  for (int lux : {4, 75}) {
    for (int before : {0, 1, 23, 24, 37}) {
      Ranlux g(con_);
      g.rluxgo(lux, kSeed, 0, 0);
      draw(g, before);
      const std::vector<int> saved = state_of(g);
      const std::vector<float> a = draw(g, 500);
      draw(g, 13);  // the interpreter draws single numbers in between
      g.rluxin(saved.data());
      const std::vector<float> b = draw(g, 500);
      for (int i = 0; i < 500; ++i)
        ASSERT_EQ(bits_of(a[i]), bits_of(b[i]))
            << "level " << lux << ", saved after " << before << ", number " << i + 1;
      int lout, inout, k1, k2;
      g.rluxat(lout, inout, k1, k2);
      EXPECT_EQ(lout, lux);
      EXPECT_EQ(inout, -1);  // the seed is unknown after rluxin
    }
  }
  // Restoring and saving again gives back the same 25 words (after 24 numbers a
  // borrow is pending).
  for (const char* name :
       {"level4_seed314159265_init_rluxut", "level4_seed314159265_rluxut_after_24",
        "level4_seed314159265_rluxut_after_1000000", "level4_seed314159265_rluxut_after_2000000"}) {
    Ranlux g(con_);
    g.rluxin(section(name).isdext.data());
    EXPECT_EQ(state_of(g), section(name).isdext) << name;
  }
  EXPECT_EQ(screen_.str(), "");
}

TEST_F(RanluxTest, RestartWithK1ResumesTheStream) {
  // 778 = two groups of 389: the stream resumes at number 49.
  Ranlux g(con_);
  g.rluxgo(4, kSeed, 778, 0);
  expect_numbers(draw(g, 5), 49, section("level4_seed314159265_resume_k1_778").numbers, "k1=778");

  // k1 = 5 lies inside the first group: the stream resumes at number 6.
  Ranlux h(con_);
  h.rluxgo(4, kSeed, 5, 0);
  expect_numbers(draw(h, 25), 6, section("level4_seed314159265_first30").numbers, "k1=5");
  EXPECT_EQ(screen_.str(), "");

  // The count that rluxat reports restarts the stream where it stood.
  Ranlux run(con_);
  run.rluxgo(4, kSeed, 0, 0);
  draw(run, 12345);
  int lout, inout, k1, k2;
  run.rluxat(lout, inout, k1, k2);
  EXPECT_EQ(lout, 4);
  EXPECT_EQ(inout, kSeed);
  EXPECT_EQ(k1, 12345 + 12345 / 24 * 365);
  EXPECT_EQ(k2, 0);
  Ranlux resumed(con_);
  resumed.rluxgo(lout, inout, k1, k2);
  EXPECT_EQ(state_of(resumed), state_of(run));
  const std::vector<float> a = draw(run, 100), b = draw(resumed, 100);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bits_of(a[i]), bits_of(b[i])) << "number " << i + 1;
}

// k2 counts units of 10^9: one unit is the same as k1 = 10^9. Two billion-step skips;
// at level 0 the position in the group is 10^9 mod 24 = 16.
TEST_F(RanluxTest, RestartWithK2SkipsWholeBillions) {
  Ranlux by_k1(con_), by_k2(con_);
  by_k1.rluxgo(0, kSeed, 1000000000, 0);
  by_k2.rluxgo(0, kSeed, 0, 1);
  EXPECT_EQ(state_of(by_k2), state_of(by_k1));
  EXPECT_EQ(state_of(by_k2)[24] / 10000 % 100, 16);
  int lout, inout, k1, k2;
  by_k2.rluxat(lout, inout, k1, k2);
  EXPECT_EQ(k1, 0);
  EXPECT_EQ(k2, 1);
  EXPECT_EQ(screen_.str(), "");
}

TEST_F(RanluxTest, SameSeedGivesTheSameStreamAndReseedingRestartsIt) {
  Ranlux a(con_), b(con_);
  a.rluxgo(4, kSeed, 0, 0);
  b.rluxgo(4, kSeed, 0, 0);
  const std::vector<float> va = draw(a, 10000), vb = draw(b, 10000);
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(bits_of(va[i]), bits_of(vb[i])) << i + 1;
  // A new run seeds the same object again, mid-group and with a borrow pending.
  a.rluxgo(4, kSeed, 0, 0);
  expect_numbers(draw(a, 30), 1, section("level4_seed314159265_first30").numbers, "reseeded");
}

TEST_F(RanluxTest, IllegalArgumentsAreReportedAndReplaced) {
  const std::vector<std::string>& expected = section("messages").messages;
  ASSERT_EQ(expected.size(), 4u);

  // Level 7: level 4 is used.
  Ranlux g(con_);
  g.rluxgo(7, kSeed, 0, 0);
  EXPECT_EQ(screen_.str(), expected[0] + "\n");
  expect_numbers(draw(g, 30), 1, section("level4_seed314159265_first30").numbers, "level 7");

  // A negative seed: the default seed is used.
  screen_.str("");
  g.rluxgo(4, -5, 0, 0);
  EXPECT_EQ(screen_.str(), expected[1] + "\n");
  expect_numbers(draw(g, 30), 1, section("level4_seed314159265_first30").numbers, "seed -5");
  int lout, inout, k1, k2;
  g.rluxat(lout, inout, k1, k2);
  EXPECT_EQ(inout, kSeed);

  // k1 = 5 is a legal restart (no message, see RestartWithK1ResumesTheStream); k1 = 30
  // falls among the discarded numbers of the first group: the group starts afresh.
  screen_.str("");
  g.rluxgo(4, 1, 30, 0);
  EXPECT_EQ(screen_.str(), expected[2] + "\n" + expected[3] + "\n");
  EXPECT_EQ(state_of(g)[24] / 10000 % 100, 0);

  // Levels 5 … 23 are illegal in a restored state too: the start state of seed
  // 314159265 with level 7 packed into it runs as level 4.
  screen_.str("");
  std::vector<int> s = section("level4_seed314159265_init_rluxut").isdext;
  s[24] = s[24] % 1000000 + 7 * 1000000;
  g.rluxin(s.data());
  EXPECT_EQ(screen_.str(), " RANLUX ILLEGAL LUXURY RLUXIN:     7\n");
  g.rluxat(lout, inout, k1, k2);
  EXPECT_EQ(lout, 4);
  expect_numbers(draw(g, 30), 1, section("level4_seed314159265_first30").numbers, "rluxin 7");
}

// An exact zero is never delivered: a zero digit padded with a zero lag digit becomes
// 2^-48. The all-zero state without borrow produces nothing but zero digits.
TEST_F(RanluxTest, ZeroIsReplacedByTwoToTheMinus48) {
  int zero_state[25] = {};
  zero_state[24] = 24 + 100 * 10;  // I24 = 24, J24 = 10, level 0, no borrow
  Ranlux g(con_);
  g.rluxin(zero_state);
  for (float r : draw(g, 50)) ASSERT_EQ(bits_of(r), bits_of(0x1p-48f));
}

}  // namespace
}  // namespace zorvik
