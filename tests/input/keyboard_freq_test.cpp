// The keyboard frequency entry: its prompts in its own tuple order, the
// silent re-asks, the check that the frequencies add up to n, and the tuple
// counts it leaves, in the order it asked for the tuples.

#include <gtest/gtest.h>

#include <string>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::Occurring;
using testing::Rows;
using testing::TypeFrequencies;

const std::string kHeading = "\n\n\n OBSERVED DATA (with frequencies) \n";
const std::string kSumError = "\n\n ERROR in the data entry. Introducing again.";

std::string Prompt(std::initializer_list<int> classes) {
  std::string text = "\n Frequencies of R-tuple ";
  for (const int c : classes) text += " " + std::to_string(c) + " ";
  return text + " :  ";
}

TEST(DatosExTest, Dialogues) {
  struct Case {
    const char* name;
    std::string answers;
    std::string output;
  };
  const std::string all = Prompt({1, 1}) + Prompt({1, 2}) + Prompt({2, 1}) + Prompt({2, 2});
  const std::string again = all + kSumError + kHeading + all;
  const Case cases[] = {
      {"adding up to n", "4\n1\n2\n3\n", all},
      {"sum 9: everything again", "4\n1\n2\n2\n4\n1\n2\n3\n", again},
      {"2.5, -1, words, blank: silently again", "2.5\n-1\nfour\n\n4\n1\n2\n3\n",
       Prompt({1, 1}) + Prompt({1, 1}) + Prompt({1, 1}) + Prompt({1, 1}) + all},
      {"0, 0.0, words after the number", "0\n0.0\n7 objects\n3\n", all},
      {"1e300 never adds up to n", "1e300\n0\n0\n0\n4\n1\n2\n3\n", again},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string output;
    TypeFrequencies(2, 2, 10, c.answers, &output);
    EXPECT_EQ(output, kHeading + c.output);
  }
  // Classes from 0, the frequency accepted last, the unanimous mark; a
  // tuple of frequency 0 is not counted.
  const ObservedData tb = TypeFrequencies(2, 2, 10, "4\n1\n2\n2\n4\n1\n2\n3\n");
  EXPECT_EQ(Occurring(tb), (Rows{{0, 0, 4, 1}, {0, 1, 1, 0}, {1, 0, 2, 0}, {1, 1, 3, 1}}));
  EXPECT_EQ(Occurring(TypeFrequencies(2, 2, 10, "4\n0\n3\n3\n")), (Rows{{0, 0, 4, 1}, {1, 0, 3, 0}, {1, 1, 3, 1}}));
}

TEST(DatosExTest, TupleOrderOfTheEntry) {
  // Rater 1 slowest, rater 2 fastest, rater 3 in between.
  std::string output;
  const ObservedData three = TypeFrequencies(2, 3, 8, "1\n1\n1\n1\n1\n1\n1\n1\n", &output);
  EXPECT_EQ(output, kHeading + Prompt({1, 1, 1}) + Prompt({1, 2, 1}) + Prompt({1, 1, 2}) + Prompt({1, 2, 2}) +
                        Prompt({2, 1, 1}) + Prompt({2, 2, 1}) + Prompt({2, 1, 2}) + Prompt({2, 2, 2}));
  EXPECT_EQ(Occurring(three), (Rows{{0, 0, 0, 1, 1}, {0, 1, 0, 1, 0}, {0, 0, 1, 1, 0}, {0, 1, 1, 1, 0},
                                    {1, 0, 0, 1, 0}, {1, 1, 0, 1, 0}, {1, 0, 1, 1, 0}, {1, 1, 1, 1, 1}}));
  // K = 3, R = 2: the unanimous tuples are rows 0, 4 and 8.
  const Rows nine = Occurring(TypeFrequencies(3, 2, 9, "1\n1\n1\n1\n1\n1\n1\n1\n1\n"));
  for (std::size_t s = 0; s < 9; ++s) EXPECT_EQ(nine[s][3], s % 4 == 0 ? 1 : 0) << "row " << s;
}

TEST(DatosExTest, EndOfInputEndsTheEntry) {
  EXPECT_THROW(TypeFrequencies(2, 2, 10, "4\n1\n2\n2\n"), InputEnded);
}

}  // namespace
}  // namespace zover
