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
  // Lines enough for several blocks of lookups, which a second thread
  // settles while the first reads on: object by object first (a quoted name
  // and a CRLF line among them), then rater by rater, bob's objects in
  // another order.
  std::string blocks;
  Rows blockRows;
  auto rate = [&](int o, const char* rater, int value, const char* end = "\n") {
    const std::string object = o == 10 ? "\"o10\"" : "o" + std::to_string(o);
    blocks += object + "," + rater + "," + std::to_string(value) + end;
  };
  for (int o = 0; o < 15000; ++o) {
    rate(o, "ann", o % 3 + 1, o == 20 ? "\r\n" : "\n");
    rate(o, "bob", o / 3 % 3 + 1);
    blockRows.push_back({o % 3 + 1, o / 3 % 3 + 1});
  }
  for (int o = 15000; o < 35000; ++o) rate(o, "ann", o % 3 + 1);
  for (int i = 0; i < 20000; ++i) {
    const int o = 15000 + i * 7919 % 20000;
    rate(o, "bob", o / 3 % 3 + 1);
    blockRows.push_back({o % 3 + 1, o / 3 % 3 + 1});
  }
  const Case cases[] = {
      {"several blocks of lines", false, blocks, {"ann", "bob"}, 35000, 0, blockRows},
      {"any order, a pair missing", false, "a,ann,1\nb,bob,2\na,bob,1\nb,ann,2\nc,ann,1\n", {"ann", "bob"}, 2, 1,
       {{1, 1}, {2, 2}}},
      {"header, quoted names, blanks", true, "item rater rating\n\"x, 1\" ann 1\n\n\"x, 1\" bob 2\ny;ann;2\ny;bob;1\n",
       {"ann", "bob"}, 2, 0, {{1, 2}, {2, 1}}},
      {"missing with NA", false, "a,ann,1\na,bob,NA\nb,ann,2\nb,bob,2\nc,ann,1\nc,bob,1\n", {"ann", "bob"}, 2, 1,
       {{1, 1}, {2, 2}}},
  };
  for (const Case& c : cases) {
    for (const int threads : {1, 2}) {
      SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
      ObservedData tb;
      StringSource file(c.text);
      FileLayout layout;
      layout.header = c.header;
      layout.missing = true;
      layout.threads = threads;
      const ReadOutcome read = ReadLongFile(file, tb, "l.csv", layout);
      ASSERT_TRUE(read.ok) << read.message;
      EXPECT_EQ(tb.raterNames, c.raters);
      EXPECT_EQ(tb.R, 2);
      EXPECT_EQ(tb.Norg, c.complete);
      EXPECT_EQ(tb.missingRatings, c.missing);
      EXPECT_EQ(testing::Occurring(tb), testing::TuplesOf(c.tuples, false));
    }
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
  // Faults several blocks of lines apart, which a second thread settles
  // while the first reads on: the earliest is reported.
  std::string late, grouped;
  for (int o = 0; o < 20000; ++o) {
    const std::string object = "o" + std::to_string(o);
    late += object + ",ann,1\n" + object + ",bob,2\n";
    grouped += object + ",ann,1,g1\n" + object + ",bob,2,g1\n";
    if (o == 1) grouped += "o0,cy,1,g2\n";
  }
  const std::string badLate = late + "o17,bob,x\n";
  late += "o17,bob,1\n";
  grouped += "o17,bob,x,g1\n";
  const Case cases[] = {
      {"a pair again", "a,ann,1\na,bob,2\nb,ann,1\nb,bob,1\na,ann,2\n",
       ", line 5: object \"a\" was already rated by \"ann\" on line 1.\n"},
      {"the earliest repeat", "a,ann,1\nb,ann,1\nb,ann,2\na,ann,1\na,bob,1\n",
       ", line 3: object \"b\" was already rated by \"ann\" on line 2.\n"},
      {"a pair again, blocks later", late, ", line 40001: object \"o17\" was already rated by \"bob\" on line 36.\n"},
      {"not a class, blocks later", badLate, ", line 40001, field 3: not a class number from 1 to 1000.\n"},
      {"two groups, then not a class", grouped,
       ", line 5, field 4: object \"o0\" is in group \"g2\" here and in group \"g1\" on line 1: an object belongs to "
       "one group (--by).\n"},
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
    for (const int threads : {1, 2}) {
      SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
      ObservedData tb;
      StringSource file(c.text);
      FileLayout layout;
      layout.threads = threads;
      FileGroups groups;
      layout.group = c.text == grouped ? "4" : "";
      const ReadOutcome read = ReadLongFile(file, tb, "l.csv", layout, &groups);
      EXPECT_FALSE(read.ok);
      EXPECT_EQ(read.message, "\nERROR in file \"l.csv\"" + c.message);
    }
  }
}

}  // namespace
}  // namespace zover
