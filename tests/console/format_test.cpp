#include "console/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace zover {
namespace {

TEST(Fixed4Test, FourDecimalsOrTheNameOfANonFiniteValue) {
  struct Case {
    double x;
    const char* text;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {0.5, "0.5000"},          {-0.25, "-0.2500"},      {1.0 / 3.0, "0.3333"},
      {0.00005, "0.0001"},      {1234567.0, "1234567.0000"},
      {std::nan(""), "NaN"},    {-std::nan(""), "NaN"},  {inf, "Inf"},
      {-inf, "-Inf"},           {0.03125, "0.0312"},     {0.09375, "0.0938"},  // ties to even
      {-1e-9, "-0.0000"},       {std::ldexp(1.0, 70), "1180591620717411303424.0000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Fixed4(c.x), c.text);
  }
  // Whatever the double, the same text as printf's "%.4f".
  std::mt19937_64 random(4);
  for (int i = 0; i < 50000; ++i) {
    const std::uint64_t bits = random();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (i % 2 == 0) x = std::ldexp(static_cast<double>(bits >> 11), -53 - static_cast<int>(bits % 8)) * 3;
    if (!std::isfinite(x)) continue;
    char text[400];
    std::snprintf(text, sizeof text, "%.4f", x);
    ASSERT_EQ(Fixed4(x), text) << x;
  }
}

TEST(FormatTest, FillsTheItemsOfAProgramText) {
  EXPECT_EQ(Format("  %.4lf %c %.4lf ", {0.5, kPlusMinus, 0.375}), "  0.5000 \xC2\xB1 0.3750 ");
  EXPECT_EQ(Format("\n   %d  ", {3}), "\n   3  ");
  EXPECT_EQ(Format("\n\n Raw = %.4lf and n = %.0lf", {0.25, 60.0}),
            "\n\n Raw = 0.2500 and n = 60");
  EXPECT_EQ(Format("-> %cZover_data.txt%c:", {kQuote, kQuote}), "-> \"Zover_data.txt\":");
  EXPECT_EQ(Format("the presence of agreement is equal to %cinfinity.", {kMinus}),
            "the presence of agreement is equal to -infinity.");
}

TEST(FormatTest, NonFiniteCellsKeepTheirBlanks) {
  EXPECT_EQ(Format("   %.4lf  ", {std::nan("")}), "   NaN  ");
  EXPECT_EQ(Format(" %.4lf %c %.4lf ", {-std::numeric_limits<double>::infinity(), kPlusMinus,
                                       std::sqrt(-1.0)}),
            " -Inf \xC2\xB1 NaN ");
}

}  // namespace
}  // namespace zover
