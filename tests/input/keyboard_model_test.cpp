// The keyboard entry of agreements and disagreements: its prompts, the
// silent re-asks, and the consistency rule with its new entry.

#include <gtest/gtest.h>

#include <string>

#include "input_fixtures.h"

namespace zover {
namespace {

const std::string kHeading = "\n\n\n Data for ALFA \n";
const std::string kError = "\n\n ERROR in the data entry. Introduce again.";

std::string Agreements(int i) { return "\n Agreements i = " + std::to_string(i) + " : "; }
std::string Disagreements(int i, int r) {
  return "\n Disagreements i = " + std::to_string(i) + ", Rater = " + std::to_string(r) + " : ";
}

// The prompts of one whole entry for K = 2 classes and R = 2 raters.
const std::string kEntry = Agreements(1) + Disagreements(1, 1) + Disagreements(1, 2) + Agreements(2) +
                           Disagreements(2, 1) + Disagreements(2, 2);

const Dimensions kTwoByTwo{2, 2, 10};

TEST(MatrixTest, Dialogues) {
  struct Case {
    const char* name;
    std::string answers;
    std::string output;
    double firstAgreement;
  };
  const Case cases[] = {
      // Disagreements 2+1+1+2 = 6 = 2 (10 - 7).
      {"consistent", "3\n2\n1\n4\n1\n2\n", kHeading + kEntry, 3},
      // 2+2+1+2 = 7: the whole entry again, then accepted.
      {"inconsistent, then consistent", "3\n2\n2\n4\n1\n2\n3\n2\n1\n4\n1\n2\n",
       kHeading + kEntry + kError + kHeading + kEntry, 3},
      {"2.5 taken as typed", "2.5\n2.5\n1.5\n4\n1\n2\n", kHeading + kEntry, 2.5},
      {"-1, words and blank lines asked again", "-1\nthree\n\n3\n2\n1\n4\n1\n2\n",
       kHeading + Agreements(1) + Agreements(1) + Agreements(1) + kEntry, 3},
      {"all agreements, no disagreements", "6\n0\n0\n4\n0\n0\n", kHeading + kEntry, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::StringConsole console(c.answers);
    ObservedData tb;
    Matrix(console.con, kTwoByTwo, tb);
    EXPECT_EQ(console.out.str(), c.output);
    EXPECT_EQ(tb.successaux[0], c.firstAgreement);
  }
}

TEST(MatrixTest, KeepsTheEntryAsTyped) {
  testing::StringConsole console("3\n2\n1\n4\n1\n2\n");
  ObservedData tb;
  Matrix(console.con, kTwoByTwo, tb);
  EXPECT_EQ(tb.Fvect[0], 3.0);
  EXPECT_EQ(tb.Fvect[1], 3.0);
  EXPECT_EQ(tb.failaux[0][0], 2.0);
  EXPECT_EQ(tb.failaux[1][1], 2.0);
  EXPECT_EQ(tb.successaux[1], 4.0);
  EXPECT_EQ(tb.Norg, 10.0);
  EXPECT_EQ(tb.entrada, EntryMode::kKeyboardModel);
}

TEST(MatrixTest, EndOfInputInsideTheEntry) {
  testing::StringConsole console("3\n2\n");
  ObservedData tb;
  EXPECT_THROW(Matrix(console.con, kTwoByTwo, tb), InputEnded);
}

}  // namespace
}  // namespace zover
