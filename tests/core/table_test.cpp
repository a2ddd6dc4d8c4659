// Fixed-capacity tables keep the system's index ranges and stop with a message
// naming the table, the dimension, the bounds and the index.
#include "core/table.h"

#include <gtest/gtest.h>

#include "core/fixed_string.h"

namespace zorvik {
namespace {

TEST(Table, IndexesOverItsOwnRangeAndReportsAnIndexOutside) {
  Table2<double, 1, 20, -5000, 5000> mi("mi");
  mi(3, -5000) = 1.5;
  mi(3, 5000) = 2.5;
  EXPECT_EQ(mi.row(3)[-5000], 1.5);
  EXPECT_EQ(mi.row(3)[5000], 2.5);
  try {
    mi(3, 5001) = 0.0;
    FAIL() << "no error";
  } catch (const IndexRangeError& e) {
    EXPECT_STREQ(e.what(), "Index out of range: table mi, dimension 2, bounds -5000 to 5000, index 5001");
  }
  EXPECT_THROW(mi(21, 0), IndexRangeError);
  Table<int, 0, 20> ninterp("ninterp", 7);
  EXPECT_EQ(ninterp(0), 7);
  EXPECT_THROW(ninterp(-1), IndexRangeError);
  EXPECT_THROW(ninterp(21), IndexRangeError);
}

TEST(Table, FixedFieldsCutPadAndCompareWithoutTrailingBlanks) {
  Fixed<3> op("cf");
  EXPECT_EQ(op.padded(), "cf ");
  EXPECT_TRUE(op == "cf");
  EXPECT_FALSE(op == "c");
  Fixed<4> folder("t1234/x");
  EXPECT_EQ(folder.padded(), "t123");
  EXPECT_EQ(Fixed<15>("bg").first(4), "bg  ");
  EXPECT_TRUE(Fixed<5>("   ").blank());
}

}  // namespace
}  // namespace zorvik
