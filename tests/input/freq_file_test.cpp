// The frequencies file: what each layout gives (R, K, n, contextra, tuples),
// and every refusal with its exact message, in the order the faults are found.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::Rows;

TEST(ArchivoExtraTest, ReadsEveryLayout) {
  struct Case {
    const char* name;
    std::string text;
    int K;
    double n;
    Rows data;  // classes, then the frequency; contextra = its rows
  };
  const Rows example = {{1, 1, 5}, {1, 2, 3}, {2, 2, 4}};
  const Case cases[] = {
      {"tabs, no final line end", "1\t1\t5\n1\t2\t3\n2\t2\t4", 2, 12, example},
      {"final line end makes no row", "1\t1\t5\n1\t2\t3\n2\t2\t4\n", 2, 12, example},
      {"spaces on the first row", "1 1 5\n1\t2\t3\n2  2 4\n", 2, 12, example},
      {"CRLF, mark, blank line, commas", "\xEF\xBB\xBF" "1,1,5\r\n\r\n1;2;3\r\n 2 , 2 , 4 \r\n", 2, 12, example},
      {"frequency 0 still raises K", "1 1 5\n3 3 0\n", 3, 5, {{1, 1, 5}, {3, 3, 0}}},
      {"largest frequency", "1 1 1 1000000000\n2 2 1 0\n", 2, 1e9, {{1, 1, 1, 1000000000}, {2, 2, 1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ArchivoExtraFrom(file, tb);
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(tb.R, static_cast<int>(c.data[0].size()) - 1);
    EXPECT_EQ(tb.nraters, tb.R);
    EXPECT_EQ(tb.K, c.K);
    EXPECT_EQ(tb.maxclase, c.K);
    EXPECT_EQ(tb.contextra, static_cast<int>(c.data.size()));
    EXPECT_EQ(tb.Norg, c.n);
    EXPECT_EQ(tb.entrada, EntryMode::kFrequencyFile);
    EXPECT_EQ(testing::Occurring(tb), testing::TuplesOf(c.data, true));
  }
}

TEST(ArchivoExtraTest, RefusesFaultyFiles) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;  // after "\nERROR in file \"Zover_data_freq.txt\""
  };
  const char* const notFrequency = ", line 2, field 3: not a frequency (a whole number from 0 to 1000000000).\n";
  std::string wide;
  for (int i = 0; i < 1002; ++i) wide += "1 ";
  const Case cases[] = {
      {"one rater", "1 5\n2 5\n", ": at least 2 raters (columns before the frequency) are needed.\n"},
      {"1001 raters", wide, ": at most 1000 raters (columns before the frequency) can be analysed.\n"},
      {"another field count", "1 1 5\n\n1 2\n", ", line 3: 2 fields where the first line has 3.\n"},
      {"bad class", "1 1 5\n1 1001 3\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"classes before frequency", "1 1 5\nx 2 y\n", ", line 2, field 1: not a class number from 1 to 1000.\n"},
      {"negative frequency", "1 1 5\n1 2 -3\n", notFrequency},
      {"frequency above 10^9", "1 1 5\n1 2 1000000001\n", notFrequency},
      {"fields before the repeat", "1 1 5\n1 1 x\n", notFrequency},
      {"repeat, blank line counted", "1 2 3\n\n2 1 1\n2 1 0\n", ", line 4: the same responses as line 3.\n"},
      {"no data row", "", ": the frequencies must add up to at least 2 objects.\n"},
      {"objects before classes", "1 1 1\n", ": the frequencies must add up to at least 2 objects.\n"},
      {"more than 10^9", "1 1 600000000\n1 2 600000000\n1 3 0\n",
       ": the frequencies add up to more than 1000000000 objects.\n"},
      {"one class", "1 1 5\n", ": at least 2 classes are needed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ArchivoExtraFrom(file, tb);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.message, std::string("\nERROR in file \"Zover_data_freq.txt\"") + c.message);
  }
}

}  // namespace
}  // namespace zover
