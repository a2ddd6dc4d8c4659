// Free-format records: writing, splitting and reading numbers.
#include "core/free_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "core/errors.h"

namespace zorvik {
namespace {

TEST(FreeFormat, RecordsHaveTheirFreeFormLayout) {
  EXPECT_EQ(free_record({"Titulo:  ", Fixed<15>("run 1")}), " Titulo:  run 1");
  EXPECT_EQ(free_record({"nfit", 3, 2.5, "x", "y"}), " nfit 3 2.5 xy");
  EXPECT_EQ(free_record({}), " ");
  EXPECT_EQ(free_record({1.0, -0.0, 1e-300, 0.1f}), " 1.0 -0.0 1e-300 0.1");
  EXPECT_EQ(free_record({std::nan(""), -INFINITY}), " NaN -Infinity");
}

TEST(FreeFormat, TokensAreSplitAtSeparators) {
  std::vector<FreeToken> t;
  ASSERT_TRUE(split_free(" a, 'b c' ,\"it''s\" 'd''e'\t7 ", t));
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[1].text, "b c");
  EXPECT_TRUE(t[1].quoted);
  EXPECT_EQ(t[2].text, "it''s");  // doubled quotes collapse only inside their own kind
  EXPECT_EQ(t[3].text, "d'e");
  EXPECT_EQ(t[4].text, "7");

  // A comma after a comma, or first on the line, stands for a null value.
  for (const char* line : {"1,,3", ",2,3"}) {
    ASSERT_TRUE(split_free(line, t));
    ASSERT_EQ(t.size(), 3u) << line;
    EXPECT_TRUE(t[line[0] == ',' ? 0 : 1].null) << line;
  }

  std::string why;
  EXPECT_FALSE(split_free("1 2 'open", t, &why));
  EXPECT_EQ(t.size(), 2u);  // the values before the broken text are kept
  EXPECT_FALSE(why.empty());
}

TEST(FreeFormat, NumbersFollowTheFortranForms) {
  // A three-digit exponent of a fixed-column writer drops its letter, a negative one too.
  const std::pair<const char*, double> good[] = {{"1.5d-3", 1.5e-3}, {"-.5", -0.5},           {"5.", 5.0},
                                                 {"+2E+02", 200.0},  {"1.0000000+100", 1e100}, {"1.5-120", 1.5e-120},
                                                 {"1e-400", 0.0}};  // underflow reads as zero
  double v = 0.0;
  for (const auto& [text, value] : good) {
    EXPECT_TRUE(parse_real(text, v)) << text;
    EXPECT_EQ(v, value) << text;
  }
  for (const char* bad : {"", ".", "e5", "1e", "NaN", "Inf", "1e999", "1.2.3", "0x10", "3*1.0", "12a"})
    EXPECT_FALSE(parse_real(bad, v)) << bad;
  int k = 0;
  EXPECT_TRUE(parse_int("+42", k) && k == 42);
  EXPECT_TRUE(parse_int("-7", k) && k == -7);
  for (const char* bad : {"", "+", "1.0", "2147483648", "+-3", "1e3"}) EXPECT_FALSE(parse_int(bad, k)) << bad;
}

TEST(FreeFormat, ReadRequestSpansLines) {
  FreeReader rd("f.par", "1 2\n\n3 4 ! comment 'with quote\n5\r\n");
  int a = 0, b = 0, c = 0, e = 0;
  rd.read("first: a, b, c", {a, b, c});
  EXPECT_EQ(c, 3);
  EXPECT_EQ(rd.line(), 3);
  rd.read("second: e", {e});
  EXPECT_EQ(e, 5);  // the 4 and the comment were dropped
  EXPECT_FALSE(rd.try_read({e}));
}

}  // namespace
}  // namespace zorvik
