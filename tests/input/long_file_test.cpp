// The long layout: objects, raters and missing pairs as the lines give them,
// and every refusal with its exact message.

#include <gtest/gtest.h>

#include <string>

#include "input_fixtures.h"

namespace zover {
namespace {

using testing::Rows;

TEST(ReadLongFileTest, ReadsObjectsRatersAndMissingPairs) {
  struct Case {
    const char* name;
    bool header;
    std::string text;
    std::vector<std::string> raters;
    double complete, missing;
    Rows tuples;  // of the objects rated by every rater
  };
  // Lines enough for several blocks of lookups: object by object first
  // (a quoted name and a CRLF line among them), then rater by rater, bob's
  // objects in another order.
  std::string blocks;
  Rows blockRows;
  auto rate = [&](int o, const char* rater, int value, const char* end = "\n") {
    const std::string object = o == 10 ? "\"o10\"" : "o" + std::to_string(o);
    blocks += object + "," + rater + "," + std::to_string(value) + end;
  };
  for (int o = 0; o < 3000; ++o) {
    rate(o, "ann", o % 3 + 1, o == 20 ? "\r\n" : "\n");
    rate(o, "bob", o / 3 % 3 + 1);
    blockRows.push_back({o % 3 + 1, o / 3 % 3 + 1});
  }
  for (int o = 3000; o < 5000; ++o) rate(o, "ann", o % 3 + 1);
  for (int i = 0; i < 2000; ++i) {
    const int o = 3000 + i * 7919 % 2000;
    rate(o, "bob", o / 3 % 3 + 1);
    blockRows.push_back({o % 3 + 1, o / 3 % 3 + 1});
  }
  const Case cases[] = {
      {"several blocks of lines", false, blocks, {"ann", "bob"}, 5000, 0, blockRows},
      {"any order, a pair missing", false, "a,ann,1\nb,bob,2\na,bob,1\nb,ann,2\nc,ann,1\n", {"ann", "bob"}, 2, 1,
       {{1, 1}, {2, 2}}},
      {"header, quoted names, blanks", true, "item rater rating\n\"x, 1\" ann 1\n\n\"x, 1\" bob 2\ny;ann;2\ny;bob;1\n",
       {"ann", "bob"}, 2, 0, {{1, 2}, {2, 1}}},
      {"missing with NA", false, "a,ann,1\na,bob,NA\nb,ann,2\nb,bob,2\nc,ann,1\nc,bob,1\n", {"ann", "bob"}, 2, 1,
       {{1, 1}, {2, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    FileLayout layout;
    layout.header = c.header;
    layout.missing = true;
    const ReadOutcome read = ReadLongFile(file, tb, "l.csv", layout);
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(tb.raterNames, c.raters);
    EXPECT_EQ(tb.R, 2);
    EXPECT_EQ(tb.Norg, c.complete);
    EXPECT_EQ(tb.missingRatings, c.missing);
    EXPECT_EQ(testing::Occurring(tb), testing::TuplesOf(c.tuples, false));
  }
}

TEST(ReadLongFileTest, RefusesFaultyFiles) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;  // after "\nERROR in file \"l.csv\""
  };
  std::string many;
  for (int r = 0; r <= 1000; ++r) many += "a,r" + std::to_string(r) + ",1\n";
  std::string late;  // a pair rated again several blocks of lines later
  for (int o = 0; o < 6000; ++o) late += "o" + std::to_string(o) + ",ann,1\no" + std::to_string(o) + ",bob,2\n";
  late += "o17,bob,1\n";
  const Case cases[] = {
      {"a pair again", "a,ann,1\na,bob,2\nb,ann,1\nb,bob,1\na,ann,2\n",
       ", line 5: object \"a\" was already rated by \"ann\" on line 1.\n"},
      {"the earliest repeat", "a,ann,1\nb,ann,1\nb,ann,2\na,ann,1\na,bob,1\n",
       ", line 3: object \"b\" was already rated by \"ann\" on line 2.\n"},
      {"a pair again, blocks later", late, ", line 12001: object \"o17\" was already rated by \"bob\" on line 36.\n"},
      {"four fields", "a,ann,1\na,bob,2,x\n", ", line 2: 4 fields where the long layout has 3 (object, rater, rating).\n"},
      {"empty rater", "a,,1\n", ", line 1, field 2: the field is empty.\n"},
      {"empty rating", "a,ann,\n", ", line 1, field 3: the field is empty.\n"},
      {"not a class", "a,ann,yes\n", ", line 1, field 3: not a class number from 1 to 1000.\n"},
      {"one rater", "a,ann,1\nb,ann,2\n", ": at least 2 raters are needed.\n"},
      {"one object", "a,ann,1\na,bob,2\n", ": at least 2 objects are needed.\n"},
      {"one class", "a,ann,1\na,bob,1\nb,ann,1\nb,bob,1\n", ": at least 2 classes are needed.\n"},
      {"1001 raters", many, ", line 1001, field 2: more than 1000 raters: at most 1000 raters can be analysed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ReadLongFile(file, tb, "l.csv");
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.message, "\nERROR in file \"l.csv\"" + c.message);
  }
}

}  // namespace
}  // namespace zover
