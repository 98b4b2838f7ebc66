// Fields, empty fields, read errors and the line limit, the same in both data
// files: every refusal with its exact message.

#include "input/text_fields.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input_fixtures.h"

namespace zover {
namespace {

TEST(SplitFieldsTest, SeparatorsQuotesAndEmptyFields) {
  struct Case {
    const char* line;
    std::vector<std::string> fields;
    int faultField;  // the field that breaks the quoting rules; 0: none
  };
  const Case cases[] = {
      {"1, 2;3", {"1", "2", "3"}, 0},
      {"1  2\t3", {"1", "2", "3"}, 0},
      {" \t1 ,\t2 ; 3 \t", {"1", "2", "3"}, 0},
      {"1,,2", {"1", "", "2"}, 0},
      {"1 , , 2", {"1", "", "2"}, 0},
      {"2,1,", {"2", "1", ""}, 0},
      {";3;3", {"", "3", "3"}, 0},
      {"1;,2", {"1", "", "2"}, 0},
      {",", {"", ""}, 0},
      {"\"1\",\"a, b; c\" \"\"", {"1", "a, b; c", ""}, 0},
      {"\"say \"\"no\"\"\" , x", {"say \"no\"", "x"}, 0},
      {"\"\"\"\"\"\"", {"\"\""}, 0},
      {"a\"b,c", {}, 1},
      {"1,\"a\"b", {}, 2},
      {"1 \"a", {}, 2},
      {"\"a\"\"", {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::string_view> fields;
    std::string scratch;
    EXPECT_EQ(SplitFields(c.line, fields, scratch).field, c.faultField);
    if (c.faultField == 0) {
      EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.end()), c.fields);
    }
  }
}

// The number grammar: what is a number and a whole number, and what is not.
TEST(NumberFieldTest, OneGrammar) {
  struct Case {
    const char* field;
    std::optional<double> number;
    std::optional<std::uint64_t> whole;          // maximum 1000
    std::optional<std::uint64_t> zeroFractions;  // the same with zero fractions
  };
  const auto none = std::nullopt;
  const Case cases[] = {
      {"3", 3, 3, 3},
      {"0003", 3, 3, 3},
      {"2.0", 2, none, 2},
      {"2.00", 2, none, 2},
      {"2.", 2, none, none},
      {"2.5", 2.5, none, none},
      {".5", 0.5, none, none},
      {"-2", -2, none, none},
      {"+3", 3, none, none},
      {"1001", 1001, none, none},
      {"12345678901234567890.5", 12345678901234567890.5, none, none},
      {"2e3", none, none, none},
      {"0x2", none, none, none},
      {"inf", none, none, none},
      {"nan", none, none, none},
      {".", none, none, none},
      {"-", none, none, none},
      {"1.2.3", none, none, none},
      {"", none, none, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(NumberField(c.field), c.number);
    EXPECT_EQ(WholeField(c.field, 1000), c.whole);
    EXPECT_EQ(WholeField(c.field, 1000, true), c.zeroFractions);
  }
  EXPECT_EQ(NumberField(std::string("2\0", 2)), std::nullopt);
  EXPECT_EQ(NumberField(std::string(400, '9')), std::nullopt);  // beyond the largest double
}

// The one-pass reading of a plain line: what it takes, and that whatever it
// takes is what the split gives, on random lines of digits and separators.
TEST(DigitFieldsTest, TakesOnlyWhatTheSplitGives) {
  struct Case {
    const char* line;
    std::size_t count;
    std::vector<std::uint32_t> values;  // empty: left to the split
  };
  const Case cases[] = {
      {"1 2 3", 3, {1, 2, 3}},         {" \t1 ,\t2 ; 3 \t", 3, {1, 2, 3}}, {"0001;999999999", 2, {1, 999999999}},
      {"1000000000 1", 2, {}},         {"1 2", 3, {}},                     {"1 2 3", 2, {}},
      {"1,,2", 2, {}},                 {"1,2 , ", 2, {}},                  {"1;,2", 2, {}},
      {"1 2\r", 2, {}},                {"1 x", 2, {}},                     {"1a 2", 2, {}},
      {"+1 2", 2, {}},                 {"1.0 2", 2, {}},                   {"", 1, {}},
      {"1;2,3\t4", 4, {1, 2, 3, 4}},    {"1x2", 2, {}},                     {"1 2 ", 2, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::uint32_t> values(c.count);
    EXPECT_EQ(DigitFields(c.line, values.data(), c.count), !c.values.empty());
    if (c.values.empty()) continue;
    EXPECT_EQ(values, c.values);
  }
  std::mt19937 random(7);
  const std::string alphabet = "0123456789 \t,;x";
  for (int trial = 0; trial < 20000; ++trial) {
    std::string line;
    for (std::size_t i = random() % 12; i > 0; --i) line += alphabet[random() % (trial % 2 ? 12 : alphabet.size())];
    std::vector<std::string_view> fields;
    std::string scratch;
    SplitFields(line, fields, scratch);
    std::vector<std::uint32_t> values(fields.size() + 1);
    if (!DigitFields(line, values.data(), fields.size())) continue;
    SCOPED_TRACE(line);
    for (std::size_t f = 0; f < fields.size(); ++f) EXPECT_EQ(WholeField(fields[f], 1000000000), values[f]);
  }
}

// A file that fails with EIO after `good` bytes, handed out in small reads so
// that a failure can fall inside a line or between two lines.
class FailingSource : public DataSource {
 public:
  FailingSource(std::string text, std::size_t good) : text_(std::move(text)), good_(good) {}
  long Read(char* buffer, std::size_t size) override {
    if (at_ >= good_) return -1;
    const std::size_t n = std::min({size, std::size_t{3}, good_ - at_, text_.size() - at_});
    std::memcpy(buffer, text_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Error() const override { return std::strerror(EIO); }

 private:
  std::string text_;
  std::size_t good_;
  std::size_t at_ = 0;
};

TEST(DataFilesTest, RefusalsCommonToBothFiles) {
  struct Case {
    const char* name;
    int mode;
    std::string text;
    std::size_t failAfter;  // bytes read before an EIO (SIZE_MAX: never)
    std::string message;    // after "\nERROR in file \"NAME\""
  };
  const std::string line(kMaxLineBytes, '1');
  const std::string empty = ": the field is empty.\n";
  const std::string eio = ": the file could not be read (Input/output error).\n";
  const std::string tooLong = ": longer than 1048576 bytes.\n";
  const Case cases[] = {
      {"blank cell, raw", 1, "1,,2\n2,1,\n,3,3\n", SIZE_MAX, ", line 1, field 2" + empty},
      {"trailing comma", 1, "1 2 3\n2,1,\n", SIZE_MAX, ", line 2, field 3" + empty},
      {"leading semicolon", 1, "1 2 3\n;3;3\n", SIZE_MAX, ", line 2, field 1" + empty},
      {"count before fields", 1, "1 2 3\n1 , , 2 ,\n", SIZE_MAX, ", line 2: 4 fields where the first line has 3.\n"},
      {"blank class, frequencies", 2, "1 2 3\n2,,4\n", SIZE_MAX, ", line 2, field 2" + empty},
      {"blank frequency", 2, "1 2 3\n2;1;\n", SIZE_MAX, ", line 2, field 3" + empty},
      {"read error within a line", 1, "1 2\n2 1\n1 1\n", 10, ", line 3" + eio},
      {"read error between lines", 1, "1 2\n2 1\n1 1\n", 8, ", line 3" + eio},
      {"read error at once", 2, "1 2 3\n", 0, ", line 1" + eio},
      {"read error, frequencies", 2, "1 2 3\n2 1 4\n", 7, ", line 2" + eio},
      {"limit plus CRLF is allowed", 1, "1 1\n" + line + "\r\n", SIZE_MAX,
       ", line 2: 1 fields where the first line has 2.\n"},
      {"one byte over", 1, "1 1\n" + line + "2\n", SIZE_MAX, ", line 2" + tooLong},
      {"over, last line", 2, "\n" + line + "22", SIZE_MAX, ", line 2" + tooLong},
      {"a blank line over", 1, std::string(kMaxLineBytes + 2, ' ') + "\n1 2\n", SIZE_MAX, ", line 1" + tooLong},
      {"over before a read error", 2, line + "22", kMaxLineBytes + 2, ", line 1" + tooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ObservedData tb;
    FailingSource file(c.text, c.failAfter == SIZE_MAX ? c.text.size() + 1 : c.failAfter);
    const ReadOutcome read = c.mode == 1 ? ArchivoFrom(file, tb) : ArchivoExtraFrom(file, tb);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.message, "\nERROR in file \"" + (c.mode == 1 ? kRawFileName : kFreqFileName) + "\"" + c.message);
  }
}

}  // namespace
}  // namespace zover
