// The raw responses file: what each layout gives (R, n, K, tuples), and every
// refusal with its exact message, in the order the faults are found.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "input/reader_parts.h"
#include "input/tuple_counter.h"
#include "input_fixtures.h"

namespace zover {
namespace {

using testing::Rows;

std::string Repeat(const std::string& field, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += field + (i + 1 < times ? "," : "\n");
  return text;
}

TEST(ArchivoTest, ReadsEveryLayout) {
  struct Case {
    const char* name;
    std::string text;
    int K;
    Rows data;  // R = its columns, n = its rows
  };
  const Rows four = {{1, 2, 3}, {2, 2, 3}, {1, 1, 1}, {3, 2, 1}};
  const Case cases[] = {
      // Single digits, one blank or tab, CRLF: 4 lines of 7 bytes.
      {"CRLF, blanks and tabs", "1 2\t3\r\n2\t2 3\r\n1 1 1\r\n3\t2\t1\r\n", 3, four},
      {"LF endings", "1 2 3\n2 2 3\n1 1 1\n3 2 1\n", 3, four},
      {"no final line end", "1 2 3\r\n2 2 3\r\n1 1 1\r\n3 2 1", 3, four},
      {"mark, blank lines", "\xEF\xBB\xBF\n \t\r\n1 2 3\n\n2 2 3\n1 1 1\n\r\n3 2 1\n\n", 3, four},
      {"commas, semicolons, blanks around them", "1,2,3\n 2 ; 2 ;3 \n1 ,1;\t1\t\n3;2,1\n", 3, four},
      {"multi-digit classes, leading zero", "12 1\n1 01000\n", 1000, {{12, 1}, {1, 1000}}},
      {"unused class 3", "1 2 4\n4 4 1\n", 4, {{1, 2, 4}, {4, 4, 1}}},
      {"1000 raters", Repeat("1", 1000) + Repeat("2", 1000), 2, {Rows::value_type(1000, 1), Rows::value_type(1000, 2)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ArchivoFrom(file, tb);
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(tb.R, static_cast<int>(c.data[0].size()));
    EXPECT_EQ(tb.nraters, tb.R);
    EXPECT_EQ(tb.K, c.K);
    EXPECT_EQ(tb.maxclase, c.K);
    EXPECT_EQ(tb.Norg, static_cast<double>(c.data.size()));
    EXPECT_EQ(tb.entrada, EntryMode::kRawFile);
    EXPECT_EQ(testing::Occurring(tb), testing::TuplesOf(c.data, false));
  }
}

TEST(ArchivoTest, RefusesFaultyFiles) {
  struct Case {
    const char* name;
    std::string text;
    const char* message;  // after "\nERROR in file \"Zover_data.txt\""
  };
  const Case cases[] = {
      {"one field", "1\n2\n", ": at least 2 raters (columns) are needed.\n"},
      {"1001 fields", Repeat("1", 1001), ": at most 1000 raters (columns) can be analysed.\n"},
      {"blank lines are counted", "1 2\n\n1 2 3\n", ", line 3: 3 fields where the first line has 2.\n"},
      {"field count before fields", "1 2 3\nx 2\n", ", line 2: 2 fields where the first line has 3.\n"},
      {"first fault in file order", "1 2\n1 x\n1 2 3\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"fields left to right", "1 2 3\n1 0 x\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"class 1001", "1 2\n1 1001\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"2^64 + 1", "1 2\n1 18446744073709551617\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"decimal point", "1 2\n1 2.0\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"NUL byte", std::string("1 2\n1 2\0\n", 9), ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"non-UTF-8 byte", "1 2\n1 \xff\n", ", line 2, field 2: not a class number from 1 to 1000.\n"},
      {"mark after the start", "1 2\n\xEF\xBB\xBF" "1 2\n", ", line 2, field 1: not a class number from 1 to 1000.\n"},
      {"empty file", "", ": at least 2 objects (lines) are needed.\n"},
      {"objects before classes", "1 1\n", ": at least 2 objects (lines) are needed.\n"},
      {"one class", "1 1\n1 1\n", ": at least 2 classes are needed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    const ReadOutcome read = ArchivoFrom(file, tb);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.message, std::string("\nERROR in file \"Zover_data.txt\"") + c.message);
  }
}

TEST(ArchivoTest, EachReaderOpensItsOwnFile) {
  const std::map<std::string, std::string> files = {{"Zover_data.txt", "1 2\n2 1\n"}};
  for (const bool raw : {true, false}) {
    ObservedData tb;
    testing::StringConsole console("", files);
    const ReadOutcome read = raw ? Archivo(console.con, tb) : ArchivoExtra(console.con, tb);
    EXPECT_EQ(read.ok, raw);
    EXPECT_EQ(read.message, raw ? "" : "\nERROR opening file. \n\n");
    EXPECT_EQ(tb.Norg, raw ? 2.0 : 0.0);
  }
}

}  // namespace
}  // namespace zover

namespace zover {
namespace {

// The batch command's layouts: a header line naming the raters, an object
// label in the first field. Field numbers in messages count every field.
TEST(ArchivoTest, HeaderAndObjectLabels) {
  struct Case {
    const char* name;
    bool header, id;
    int mode;
    std::string text;
    std::vector<std::string> raters;  // names read; empty when refused
    const char* message;              // after the file name, when refused
  };
  const Case cases[] = {
      {"header", true, false, 1, "ann,bob\n1,2\n2,2\n", {"ann", "bob"}, nullptr},
      {"header and labels, quoted", true, true, 1, "\"\",\"ann\",\"bob\"\n\"x1\",1,2\n\"x 2\",2,2\n", {"ann", "bob"}, nullptr},
      {"labels only", false, true, 1, "a 1 2\nb 2 2\n", {}, nullptr},
      {"header, frequencies", true, false, 2, "ann;bob;count\n1;2;1\n2;2;1\n", {"ann", "bob"}, nullptr},
      {"label then empty rating", false, true, 1, "a 1 2\nb 2,,\n", {},
       ", line 2: 4 fields where the first line has 3.\n"},
      {"bad class after a label", false, true, 1, "a 1 2\nb 2 x\n", {},
       ", line 2, field 3: not a class number from 1 to 1000.\n"},
      {"empty object label", false, true, 1, "a 1 2\n,2,2\n", {}, ", line 2, field 1: the field is empty.\n"},
      {"empty rater name", true, false, 1, "A,,C\n1,2,3\n", {}, ", line 1, field 2: the field is empty.\n"},
      {"one rater beside labels", false, true, 1, "a 1\nb 2\n", {}, ": at least 2 raters (columns) are needed.\n"},
      {"header only", true, false, 1, "ann bob\n", {}, ": at least 2 objects (lines) are needed.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    FileLayout layout;
    layout.header = c.header;
    layout.id = c.id;
    const ReadOutcome read = c.mode == 1 ? ArchivoFrom(file, tb, "f.csv", layout)
                                         : ArchivoExtraFrom(file, tb, "f.csv", layout);
    EXPECT_EQ(read.ok, c.message == nullptr);
    if (c.message != nullptr) {
      EXPECT_EQ(read.message, std::string("\nERROR in file \"f.csv\"") + c.message);
      continue;
    }
    EXPECT_EQ(tb.R, 2);
    EXPECT_EQ(tb.Norg, 2.0);
    EXPECT_EQ(tb.raterNames, c.raters);
  }
}

// The rating patterns of the tuples with missing ratings are found by the
// word of their classes' counts up to 7 classes and 255 raters, and built
// tuple by tuple beyond: both ways give the same patterns and counts.
TEST(KeepIncompleteTest, BothWaysGiveThePatterns) {
  for (const int R : {3, 255, 256}) {
    TupleCounter counter(R);
    std::vector<std::uint16_t> tuple(static_cast<std::size_t>(R));
    for (int t = 0; t < 40; ++t) {
      for (int g = 0; g < R; ++g) tuple[g] = static_cast<std::uint16_t>((g + t) % 3 == 0 ? 0 : 1 + (g * t + t) % 7);
      counter.Add(tuple.data(), static_cast<std::uint32_t>(1 + t % 5));
    }
    const TupleCounts tuples = counter.Finish();
    std::map<std::vector<std::pair<int, int>>, double> patterns[2];
    for (const int K : {7, 8}) {
      ObservedData tb;
      tb.K = K;
      KeepIncomplete(tb, tuples, R);
      patterns[K - 7] = tb.incomplete;
    }
    EXPECT_EQ(patterns[0], patterns[1]) << "R " << R;
    double objects = 0;
    for (const auto& [pattern, count] : patterns[0]) {
      objects += count;
      for (std::size_t i = 1; i < pattern.size(); ++i) EXPECT_LT(pattern[i - 1].first, pattern[i].first);
    }
    EXPECT_EQ(objects, 3 * 40) << "R " << R;  // 1 + t % 5 over 40 tuples
  }
}

// (values, 0 for a missing rating, and count) of each incomplete tuple.
testing::Rows IncompleteTuples(const ObservedData& tb) {
  testing::Rows rows;
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.incompleteTuples.size(); ++u) {
    const std::uint16_t* values = tb.incompleteTuples.Values(u, scratch.data());
    rows.emplace_back(values, values + tb.R);
    rows.back().push_back(static_cast<int>(tb.incompleteTuples.count(u)));
  }
  return rows;
}

// What the coefficients of rater pairs and the adjudication list need: the
// tuples of the objects with missing ratings in class numbers, and, only when
// asked, every object with its name and line, in raw and long files.
TEST(ArchivoTest, KeepsIncompleteTuplesAndObjects) {
  struct Case {
    const char* name;
    bool longLayout, id, labels;
    std::string text;
    testing::Rows incomplete;  // values (0: missing) and count of each incomplete tuple
    std::vector<std::string> ids;
    std::vector<long long> lines;
    testing::Rows ratings;
  };
  const Case cases[] = {
      {"raw digits", false, false, false, "1 2 3\n\n2 . 2\n3 3 3\n2 NA 2\n", {{2, 0, 2, 2}}, {}, {1, 3, 4, 5},
       {{1, 2, 3}, {2, 0, 2}, {3, 3, 3}, {2, 0, 2}}},
      {"raw names and labels", false, true, true, "x b a\ny a NA\nz b b\n", {{1, 0, 1}}, {"x", "y", "z"}, {1, 2, 3},
       {{2, 1}, {1, 0}, {2, 2}}},
      {"long", true, false, false, "p,ann,1\nq,bob,2\np,bob,2\nq,ann,2\nr,bob,1\n", {{0, 1, 1}}, {"p", "q", "r"},
       {1, 2, 5}, {{1, 2}, {2, 2}, {0, 1}}},
  };
  for (const Case& c : cases) {
    for (const bool keep : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (keep ? ", kept" : ", not kept"));
      ObservedData tb;
      StringSource file(c.text);
      FileLayout layout;
      layout.id = c.id;
      layout.labels = c.labels;
      layout.missing = true;
      layout.keepObjects = keep;
      const ReadOutcome read =
          c.longLayout ? ReadLongFile(file, tb, "f.csv", layout) : ArchivoFrom(file, tb, "f.csv", layout);
      ASSERT_TRUE(read.ok) << read.message;
      EXPECT_EQ(IncompleteTuples(tb), c.incomplete);
      EXPECT_EQ(tb.objects.kept, keep);
      if (!keep) {
        EXPECT_EQ(tb.objects.size(), 0u);
        continue;
      }
      EXPECT_EQ(tb.objects.ids, c.ids);
      EXPECT_EQ(tb.objects.lines, c.lines);
      testing::Rows ratings;
      for (std::size_t o = 0; o < tb.objects.size(); ++o) {
        ratings.emplace_back(tb.objects.Ratings(o), tb.objects.Ratings(o) + tb.R);
      }
      EXPECT_EQ(ratings, c.ratings);
    }
  }
}

// Lines of plain fields are read in place from the reader's buffer; they
// must give what the field-by-field reading gives: the same tuples, missing
// ratings and physical line numbers, also after a quoted line break.
TEST(ArchivoTest, PlainLinesInPlace) {
  struct Case {
    const char* name;
    Separator separator;
    bool frequencies;
    std::string text;
    std::vector<long long> lines;  // of the kept objects
    const char* message;           // after the file name, when refused
  };
  const Case cases[] = {
      {"missing marks, CRLF", Separator::kComma, false, "a,b,c\n1,2,3\n,NA,.\r\n2,,3\n1,2,3\n", {2, 3, 4, 5},
       nullptr},
      {"repeat after a quoted line break", Separator::kComma, true, "o,a,b,n\n1,1,2,1\n\"x\ny\",2,2,1\np,1,2,5\n", {},
       ", line 5: the same responses as line 2.\n"},
      {"NA beside a class is no mark", Separator::kComma, false, "a,b\n1,2\n1,NA2\n", {},
       ", line 3, field 2: not a class number from 1 to 1000.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    StringSource file(c.text);
    FileLayout layout;
    layout.separator = c.separator;
    layout.header = true;
    layout.missing = !c.frequencies;
    layout.keepObjects = !c.frequencies;
    layout.id = c.frequencies;  // a name not kept, in another field
    const ReadOutcome read =
        c.frequencies ? ArchivoExtraFrom(file, tb, "f.csv", layout) : ArchivoFrom(file, tb, "f.csv", layout);
    ASSERT_EQ(read.ok, c.message == nullptr) << read.message;
    if (c.message != nullptr) {
      EXPECT_EQ(read.message, std::string("\nERROR in file \"f.csv\"") + c.message);
      continue;
    }
    EXPECT_EQ(tb.objects.lines, c.lines);
  }
}

// Lines of ratings alone (after the objects' names or not, between commas
// or blanks) go straight into the counters, packed as they are read, unless
// the objects are kept: both ways must count the same tuples, also where the
// keys widen or turn into class vectors, or the counter of incomplete tuples
// packs narrower, and refuse the same lines. On a second thread, which
// counts a block of lines while the next is read, they must count the same
// again: the last file is blocks long, its keys widen and turn into class
// vectors blocks after the start, and lines of other forms come between.
TEST(ArchivoTest, RatingsAloneAsEveryPlainLine) {
  const std::string tens = "1,1,1,1,1,1,1,1,1,1\n";
  const char* const texts[] = {
      "1,2,3\n1,NA,.\r\n2,,3\n1,2,3\n",
      "7,7\n7,NA\n1,NA\nNA,2\n1,1\n",
      "1,1\n1,2\n1,9\n1,300\n2,NA\n",
      "1,1\n1,2\n1,12345\n",
      "1,1\n1,0\n",
      "1,1\n1,2,\n",
      "1,1\n1, 2\n2,1\n",
      "1,1\n1,\"2\"\n2,1\n",
  };
  std::vector<std::string> cases(std::begin(texts), std::end(texts));
  cases.push_back(tens + tens + "1,9,9,9,9,9,9,9,9,9\n" + tens + "1000,1,1,1,1,1,1,1,1,NA\n" + tens);
  // Each file also with a first column that names the objects.
  for (std::size_t c = 0, size = cases.size(); c < size; ++c) {
    std::string named;
    for (std::size_t at = 0, end; at < cases[c].size(); at = end + 1) {
      end = cases[c].find('\n', at);
      named += "o" + std::to_string(at) + "," + cases[c].substr(at, end - at + 1);
    }
    cases.push_back(named);
  }
  // And each one separated by blanks.
  for (std::size_t c = 0, size = cases.size(); c < size; ++c) {
    std::string blanks = cases[c];
    std::replace(blanks.begin(), blanks.end(), ',', ' ');
    cases.push_back(blanks);
  }
  std::string blocks;
  std::uint32_t state = 1;
  for (int line = 0; line < 150000; ++line) {
    for (int r = 0; r < 10; ++r) {
      state = state * 1664525u + 1013904223u;
      const unsigned value = line % 30000 == 0 ? 1 : state >> 29;  // 0 .. 7, 0 for NA
      blocks += (r > 0 ? "," : "") + (value == 0 ? std::string("NA") : std::to_string(value % 5 + 1));
    }
    blocks += line == 90000 ? ",9\n" : line == 120000 ? ",300\n" : line % 5000 == 7 ? ",\"1\"\n" : ",1\n";
  }
  cases.push_back(blocks);
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 200));
    ObservedData kept, counted[2];
    std::string messages[3];
    for (const int way : {0, 1, 2}) {  // objects kept; counted on 1 or 2 threads
      StringSource file(text);
      FileLayout layout;
      layout.separator = text.find(',') != std::string::npos ? Separator::kComma : Separator::kBlank;
      layout.missing = true;
      layout.id = text[0] == 'o';
      layout.keepObjects = way == 0;
      layout.threads = way == 2 ? 2 : 1;
      messages[way] = ArchivoFrom(file, way == 0 ? kept : counted[way - 1], "f.csv", layout).message;
    }
    for (const ObservedData& tb : counted) {
      EXPECT_EQ(messages[0], messages[&tb == counted ? 1 : 2]);
      EXPECT_EQ(testing::Occurring(kept), testing::Occurring(tb));
      EXPECT_EQ(kept.incomplete, tb.incomplete);
      EXPECT_EQ(IncompleteTuples(kept), IncompleteTuples(tb));
      EXPECT_EQ(std::make_tuple(kept.Norg, kept.missingRatings, kept.K, kept.maxclase),
                std::make_tuple(tb.Norg, tb.missingRatings, tb.K, tb.maxclase));
    }
  }
}

}  // namespace
}  // namespace zover
