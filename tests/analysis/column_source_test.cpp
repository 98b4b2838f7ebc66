#include "analysis/column_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "analysis/analysis.h"
#include "output/batch_output.h"

namespace zover {
namespace {

// Everything a source gives, read `chunk` bytes at a time.
std::string ReadAll(DataSource& source, std::size_t chunk) {
  std::string text;
  std::vector<char> buffer(chunk);
  for (long n; (n = source.Read(buffer.data(), chunk)) > 0;) text.append(buffer.data(), static_cast<std::size_t>(n));
  return text;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ColumnSourceTest, WritesTheFileThatTheColumnsStandFor) {
  const double numbers[] = {2.0, 0.1, kNaN, 1e20, 1e-7, -0.5};
  // Every second value: a column read in place from a table stored row by row.
  const std::int64_t integers[] = {1, 0, -3, 0, 9007199254740993, 0, 0, 0, 7, 0, 12, 0};
  const std::int32_t codes[] = {1, 2, 3, 0, 4, 5};  // from 1, as R's factors; 0 is missing
  std::vector<Column> columns(3);
  columns[0].name = "num";
  columns[0].numbers = numbers;
  columns[1].name = "a b";
  columns[1].integers = integers;
  columns[1].stride = 2;
  columns[2].name = "\xEF\xBB\xBF" "c";
  columns[2].codes = codes;
  columns[2].codeBase = 1;
  columns[2].texts = {"yes", "x,y;z", "say \"hi\"", "", "tab\there"};
  ASSERT_EQ(ColumnProblem(columns), "");
  const std::string expected =
      "num,\"a b\",\"\xEF\xBB\xBF" "c\"\n"
      "2,1,yes\n"
      "0.1,-3,\"x,y;z\"\n"
      ",9007199254740993,\"say \"\"hi\"\"\"\n"
      "100000000000000000000,0,\n"
      "0.0000001,7,\"\"\n"
      "-0.5,12,\"tab\there\"\n";
  for (const std::size_t chunk : {1, 7, 65536}) {
    SCOPED_TRACE(chunk);
    ColumnSource source(columns, 6, true);
    EXPECT_EQ(ReadAll(source, chunk), expected);
    char more;
    EXPECT_EQ(source.Read(&more, 1), 0);
  }
  columns[2].texts.push_back("two\nlines");
  EXPECT_EQ(ColumnProblem(columns), "a value of the column \"\xEF\xBB\xBF" "c\" holds a line break");
}

// Read through ReadData, the columns give the results of the file they
// stand for, a refusal included.
TEST(ColumnSourceTest, ReadsAsTheFile) {
  const double first[] = {1, 2, kNaN, 3, 0.5};
  const std::int32_t second[] = {0, 1, 1, -1, 2};
  std::vector<Column> columns(2);
  columns[0].name = "r1";
  columns[0].numbers = first;
  columns[1].name = "r 2";
  columns[1].codes = second;
  columns[1].texts = {"1", "2.0", "0.5"};
  const std::string file = "r1,\"r 2\"\n1,1\n2,2.0\n,2.0\n3,\n0.5,0.5\n";
  struct Case {
    const char* name;
    ReadOptions options;
  };
  ReadOptions labels;
  labels.header = labels.missing = labels.labels = true;
  ReadOptions numbers = labels;
  numbers.labels = false;
  for (const Case& c : {Case{"labels", labels}, Case{"numbers", numbers}}) {
    SCOPED_TRACE(c.name);
    ColumnSource columnSource(columns, 5, true);
    StringSource fileSource(file);
    const Dataset fromColumns = ReadData(columnSource, "t", c.options);
    const Dataset fromFile = ReadData(fileSource, "t", c.options);
    EXPECT_EQ(fromColumns.error, fromFile.error);
    if (!fromFile.ok()) continue;
    std::ostringstream a, b;
    PrintCsv(Analyse(fromColumns, Request{}), a);
    PrintCsv(Analyse(fromFile, Request{}), b);
    EXPECT_EQ(a.str(), b.str());
  }
}

}  // namespace
}  // namespace zover
