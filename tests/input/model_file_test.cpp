// Model data from a file: the numbers of the keyboard model entry, with the
// same rules, refused with the rule and the position.

#include <gtest/gtest.h>

#include <string>

#include "input_fixtures.h"

namespace zover {
namespace {

TEST(ReadModelFileTest, ReadsTheNumbersOrRefusesWithTheRule) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;  // after "\nERROR in file \"m.txt\""; null when read
  };
  const Case cases[] = {
      {"three classes over lines", "3 3 60\n8, 9, 11, 15\n9;14;12;7\n8 12 12 13\n", nullptr},
      {"fractions taken as given", "2 3 10\n2.5 2 2 2\n3.5 2 2 2\n", nullptr},
      {"K of 1", "1 2 10\n", ", line 1, field 1: K (the number of classes) must be a whole number from 2 to 1000.\n"},
      {"R of 2.5", "2\n2.5 10\n", ", line 2, field 1: R (the number of raters) must be a whole number from 2 to 1000.\n"},
      {"n above 10^9", "2 2 2e9\n", ", line 1, field 3: n (the number of objects) must be a whole number from 2 to 1000000000.\n"},
      {"negative count", "2 2 10\n3 2 -1\n", ", line 2, field 3: the disagreements of class 1, rater 2 must be a number not below 0.\n"},
      {"not a number", "2 2 10\n3 2 1\nnan\n", ", line 3, field 1: the agreements of class 2 must be a number not below 0.\n"},
      {"empty field", "2 2 10\n3,,1\n", ", line 2, field 2: the field is empty.\n"},
      {"too few", "2 2 10\n3 2 1\n", ": 6 numbers where the data need 9 (K = 2, R = 2).\n"},
      {"nothing", "", ": 0 numbers where the data need K, R and n.\n"},
      {"too many", "2 2 10\n3 2 1 4 1 2 7\n", ", line 2, field 7: more numbers than K = 2 and R = 2 need (9).\n"},
      {"disagreements do not add up", "2 2 10\n3 2 2 4 1 2\n", ": the disagreements add up to 7 where R * (n - agreements) is 6.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ReadModelFile(file, tb, "m.txt");
    ASSERT_EQ(read.ok, c.message == nullptr) << read.message;
    if (c.message != nullptr) {
      EXPECT_EQ(read.message, std::string("\nERROR in file \"m.txt\"") + c.message);
    }
  }
  // The numbers land where the keyboard entry puts them.
  ObservedData tb;
  StringSource file("3 3 60\n8 9 11 15\n9 14 12 7\n8 12 12 13\n");
  ASSERT_TRUE(ReadModelFile(file, tb, "m.txt").ok);
  EXPECT_EQ(tb.Norg, 60.0);
  EXPECT_EQ(tb.successaux[1], 9.0);
  EXPECT_EQ(tb.failaux[2][0], 12.0);
  EXPECT_EQ(tb.Fvect[0], 35.0);
}

}  // namespace
}  // namespace zover
