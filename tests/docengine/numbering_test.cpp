// The Roman list numbers every reader shares.

#include "docengine/numbering.h"

#include <gtest/gtest.h>

namespace quillon::docengine {
namespace {

TEST(RomanNumeralTest, SubtractiveFormsCaseAndRange) {
  EXPECT_EQ(RomanNumeral(1, false), "i");
  EXPECT_EQ(RomanNumeral(4, true), "IV");
  EXPECT_EQ(RomanNumeral(14, false), "xiv");
  EXPECT_EQ(RomanNumeral(1994, true), "MCMXCIV");
  EXPECT_EQ(RomanNumeral(3999, false), "mmmcmxcix");
  // Roman numerals have no zero, no negatives and nothing past 3999.
  EXPECT_EQ(RomanNumeral(0, false), "0");
  EXPECT_EQ(RomanNumeral(-3, true), "-3");
  EXPECT_EQ(RomanNumeral(4000, true), "4000");
}

}  // namespace
}  // namespace quillon::docengine
