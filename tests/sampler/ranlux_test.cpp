// RANLUX against an independent implementation (tests/data/ranlux_reference.txt): exact arithmetic, so bit for bit.
#include "sampler/ranlux.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <map>
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
TEST_F(RanluxTest, EveryLuxuryLevelStartsAsTheReference) {
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

// The run loop's use: blocks of 10^6 at level 4, saved with rluxut and
// restored into a fresh generator, which must go on with the same stream.
TEST_F(RanluxTest, TwoBlocksOfAMillionFollowTheReferenceStream) {
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

}

}  // namespace
}  // namespace zorvik
