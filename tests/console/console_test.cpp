#include "console/console.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zover {
namespace {

TEST(LeadingNumberTest, ParsesLikeStrtodAndRefusesNonFiniteValues) {
  struct Case {
    const char* line;
    bool number;
    double value;
  };
  const Case cases[] = {
      {"3", true, 3},          {"  3 and words", true, 3}, {"\t2e0", true, 2},
      {"2.5", true, 2.5},      {"-1", true, -1},           {"+4", true, 4},
      {"0x10", true, 16},      {"1e308", true, 1e308},     {"", false, 0},
      {"abc", false, 0},       {"nan", false, 0},          {"inf", false, 0},
      {"-infinity", false, 0}, {"1e999", false, 0},        {"- 3", false, 0},
      // Whole numbers are read without strtod; what follows them decides.
      {"007", true, 7},        {"12.5", true, 12.5},       {"12e2", true, 1200},
      {"0X1a", true, 26},      {"5x", true, 5},            {"+", false, 0},
      {"123456789012345", true, 123456789012345.0},        {"9007199254740993", true, 9007199254740992.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::optional<double> x = LeadingNumber(c.line);
    ASSERT_EQ(x.has_value(), c.number);
    if (c.number) {
      EXPECT_EQ(*x, c.value);
    }
  }
  EXPECT_TRUE(std::signbit(*LeadingNumber("-0")));
}

TEST(IsWholeTest, ComparesWithTheFloor) {
  EXPECT_TRUE(IsWhole(3.0));
  EXPECT_TRUE(IsWhole(-4.0));
  EXPECT_TRUE(IsWhole(1e300));
  EXPECT_FALSE(IsWhole(2.5));
  EXPECT_FALSE(IsWhole(-0.5));
}

}  // namespace
}  // namespace zover
