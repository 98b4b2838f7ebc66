// Fields, empty fields, read errors and the line limit, the same in both data
// files: every refusal with its exact message.

#include "input/text_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "input_fixtures.h"

namespace zover {
namespace {

TEST(SplitFieldsTest, SeparatorsQuotesAndEmptyFields) {
  struct Case {
    const char* line;
    char separator;  // 0: the dialogue's rule
    std::vector<std::string> fields;
    int faultField;  // the field that breaks the quoting rules; 0: none
    std::vector<char> quoted = {};
  };
  const Case cases[] = {
      {"1, 2;3", 0, {"1", "2", "3"}, 0},
      {"1  2\t3", 0, {"1", "2", "3"}, 0},
      {" \t1 ,\t2 ; 3 \t", 0, {"1", "2", "3"}, 0},
      {"1,,2", 0, {"1", "", "2"}, 0},
      {"1 , , 2", 0, {"1", "", "2"}, 0},
      {"2,1,", 0, {"2", "1", ""}, 0},
      {";3;3", 0, {"", "3", "3"}, 0},
      {"1;,2", 0, {"1", "", "2"}, 0},
      {",", 0, {"", ""}, 0},
      {"\"1\",\"a, b; c\" \"\"", 0, {"1", "a, b; c", ""}, 0, {1, 1, 1}},
      {"\"say \"\"no\"\"\" , x", 0, {"say \"no\"", "x"}, 0, {1, 0}},
      {"\"\"\"\"\"\"", 0, {"\"\""}, 0},
      {"a\"b,c", 0, {}, 1},
      {"1,\"a\"b", 0, {}, 2},
      {"1 \"a", 0, {}, 2},
      {"\"a\"\"", 0, {}, 1},
      // One separator: each one separates, blanks inside a field stay, blanks around it go.
      {"very positive, Rater 1 ,;x", ',', {"very positive", "Rater 1", ";x"}, 0},
      {"1,,2,", ',', {"1", "", "2", ""}, 0},
      {"\t1\t\t2 \t", '\t', {"", "1", "", "2", ""}, 0},
      {"a b;\"c;d\" ;NA", ';', {"a b", "c;d", "NA"}, 0, {0, 1, 0}},
      {" \"x\" , y", ',', {"x", "y"}, 0, {1, 0}},
      {"\"x\" y,z", ',', {}, 1},
      {"x,y\"", ',', {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::vector<std::string_view> fields;
    std::string scratch;
    std::vector<char> quoted;
    EXPECT_EQ(SplitFields(c.line, fields, scratch, c.separator, &quoted).field, c.faultField);
    if (c.faultField != 0) continue;
    EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.end()), c.fields);
    if (!c.quoted.empty()) {
      EXPECT_EQ(quoted, c.quoted);
    }
  }
}

// A file in little pieces, to read a UTF-16 file or a quoted line break
// whatever the reads hand out.
class PiecesSource : public DataSource {
 public:
  PiecesSource(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {}
  long Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, text_.size() - at_});
    std::memcpy(buffer, text_.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Error() const override { return {}; }

 private:
  std::string text_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

std::string Utf16(const std::string& ascii, bool little) {
  std::string text = little ? "\xFF\xFE" : "\xFE\xFF";
  for (const char c : ascii) text += little ? std::string{c, '\0'} : std::string{'\0', c};
  return text;
}

// The rules of CSV: the first line's separator, line breaks in quotes, UTF-16
// turned into UTF-8; each line's number and fields, or the refusal.
TEST(DataLineReaderTest, RulesOfCsv) {
  struct Case {
    const char* name;
    std::string text;
    Separator separator;
    std::vector<std::pair<long long, std::vector<std::string>>> lines;  // empty: refused
    std::string refusal = "";  // the dialogue's text after "ERROR in file \"f\""
  };
  const std::string utf8 = "a\tb c\r\n\xC3\xA9\t\t1\r\n";
  const std::vector<std::pair<long long, std::vector<std::string>>> tabbed = {{1, {"a", "b c"}},
                                                                             {2, {"\xC3\xA9", "", "1"}}};
  std::string accent = Utf16("a\tb c\r\n?\t\t1\r\n", true);
  accent[accent.find('?')] = '\xE9';  // U+00E9 in little endian
  std::string accentBig = Utf16("a\tb c\r\n?\t\t1\r\n", false);
  accentBig[accentBig.find('?')] = '\xE9';
  const Case cases[] = {
      {"comma", "x,y z\n1,,2\n", Separator::kDetect, {{1, {"x", "y z"}}, {2, {"1", "", "2"}}}},
      {"semicolon, mark, CRLF", "\xEF\xBB\xBF" "a;b c\r\n1;2,5\r\n", Separator::kDetect, {{1, {"a", "b c"}}, {2, {"1", "2,5"}}}},
      {"tab", utf8, Separator::kDetect, tabbed},
      {"none: blanks", "1 2  3\n4,5 ;6\n", Separator::kDetect, {{1, {"1", "2", "3"}}, {2, {"4", "5", "6"}}}},
      {"separator in quotes only", "\"a,b\" c\n1 2\n", Separator::kDetect, {{1, {"a,b", "c"}}, {2, {"1", "2"}}}},
      {"--sep blank", "a,b c\n", Separator::kBlank, {{1, {"a", "b", "c"}}}},
      {"--sep ;", "a,b;c\n", Separator::kSemicolon, {{1, {"a,b", "c"}}}},
      {"line breaks in quotes", "id,note\n\n1,\"two\r\n\nlines, \"\"q\"\"\"\n2,x\n", Separator::kDetect,
       {{1, {"id", "note"}}, {3, {"1", "two\n\nlines, \"q\""}}, {6, {"2", "x"}}}},
      {"a quoted break in the first line", "\"a\nb\";c\n1;2\n", Separator::kDetect, {{1, {"a\nb", "c"}}, {3, {"1", "2"}}}},
      {"UTF-16, little endian", accent, Separator::kDetect, tabbed},
      {"UTF-16, big endian", accentBig, Separator::kDetect, tabbed},
      {"UTF-16, a pair of surrogates", std::string("\xFF\xFE" "a\0,\0=\xD8\x00\xDF\n\0", 12), Separator::kDetect,
       {{1, {"a", "\xF0\x9F\x9C\x80"}}}},  // U+1F700
      {"two separators", "a,b;c\n", Separator::kDetect, {},
       ", line 1: it holds more than one separator outside double quotes (commas and semicolons).\n"},
      {"NUL bytes", std::string("a\0,\0b\n", 7), Separator::kDetect, {},
       ", line 1: it holds NUL bytes, as a file in UTF-16 without its byte-order mark would; save the file as UTF-8 "
       "(or as UTF-16 with its mark).\n"},
      {"quote never closed", "a,b\n\"1\n2\n", Separator::kDetect, {{1, {"a", "b"}}},
       ", line 2, field 1: the double quote that opens the field is never closed.\n"},
      {"UTF-16 cut in a character", std::string("\xFF\xFE" "a\0b", 5), Separator::kDetect, {},
       ", line 1: the file could not be read (it is UTF-16 and ends in the middle of a character; save it again "
       "as UTF-8 or UTF-16).\n"},
      {"UTF-16, a lone surrogate", std::string("\xFF\xFE" "a\0\x00\xDC", 6), Separator::kDetect, {},
       ", line 1: the file could not be read (it is UTF-16 with a broken character; save it again as UTF-8 or "
       "UTF-16).\n"},
      {"the dialogue: no line breaks in quotes", "1 \"a\n2\"\n", Separator::kDialogue, {},
       ", line 1, field 2: the double quote that opens the field is not closed on its line.\n"},
      {"the dialogue: no UTF-16", "\xFF\xFE" "1 2\n", Separator::kDialogue, {{1, {"\xFF\xFE" "1", "2"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      PiecesSource file(c.text, piece);
      DataLineReader reader(file, c.separator);
      std::vector<std::pair<long long, std::vector<std::string>>> lines;
      LineStatus status;
      while ((status = reader.Next()) == LineStatus::kLine) {
        lines.push_back({reader.lineNumber(), {reader.fields().begin(), reader.fields().end()}});
      }
      EXPECT_EQ(lines, c.lines);
      EXPECT_EQ(status == LineStatus::kEnd, c.refusal.empty());
      if (status != LineStatus::kEnd) {
        EXPECT_EQ(DialogueMessage(reader.Fault(status), "f"), "\nERROR in file \"f\"" + c.refusal);
      }
    }
  }
}

// A file of more than a megabyte: its lines of every length cross the ends of
// the reads and the growth of the buffer, taken line by line or in place
// (Ahead and Skip), in UTF-8 and in UTF-16.
TEST(DataLineReaderTest, LongFileAcrossItsReads) {
  std::string text;
  std::vector<std::string> lines;
  while (text.size() < (std::size_t{3} << 19)) {
    const std::size_t i = lines.size();
    lines.push_back(std::to_string(i) + "," + std::string(i % 199, 'x'));
    text += lines.back() + (i % 3 == 0 ? "\r\n" : "\n");
  }
  for (const bool utf16 : {false, true}) {
    for (const std::size_t piece : {std::size_t{7}, std::size_t{1} << 21}) {
      SCOPED_TRACE(std::string(utf16 ? "UTF-16" : "UTF-8") + ", pieces of " + std::to_string(piece));
      PiecesSource file(utf16 ? Utf16(text, true) : text, piece);
      DataLineReader reader(file, Separator::kComma);
      std::size_t next = 0;  // the line to come
      LineStatus status;
      while ((status = reader.Next()) == LineStatus::kLine) {
        ASSERT_LT(next, lines.size());
        EXPECT_EQ(reader.lineNumber(), static_cast<long long>(next + 1));
        EXPECT_EQ(std::string(reader.fields()[0]) + "," + std::string(reader.fields()[1]), lines[next]);
        ++next;
        // Every other line after it in place, up to the first that ends in
        // a carriage return.
        const std::string_view ahead = reader.Ahead();
        const std::size_t feed = ahead.find('\n');
        if (next % 2 == 0 || feed == std::string_view::npos || ahead[feed - 1] == '\r') continue;
        EXPECT_EQ(ahead.substr(0, feed), lines[next]);
        reader.Skip(feed + 1, 1);
        ++next;
      }
      EXPECT_EQ(status, LineStatus::kEnd);
      EXPECT_EQ(next, lines.size());
    }
  }
}

// Numbers as labels: by their exact value, however many digits they have.
TEST(ExactNumberTest, DigitsNotDoubles) {
  struct Case {
    std::string field;
    std::optional<std::string> exact;
  };
  const std::optional<std::string> none;
  const Case cases[] = {{"2", "2"}, {"2.0", "2"}, {"+02.50", "2.5"}, {"-0.0", "0"}, {".5", "0.5"}, {"5.", "5"},
                        {"-007", "-7"}, {"12345678901234567", "12345678901234567"},
                        {"1.0000000000000000001", "1.0000000000000000001"}, {"1e3", none}, {"x", none}, {"", none},
                        {std::string(400, '9'), none}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(ExactNumber(c.field), c.exact);
  }
  // In increasing order, each pair apart: ExactLess orders them as their values.
  const std::vector<std::string> ordered = {"-12", "-1.5", "-1.05", "0", "0.05", "0.5", "0.51", "1",
                                            "1.0000000000000000001", "9", "10", "12345678901234567",
                                            "12345678901234568"};
  for (std::size_t a = 0; a < ordered.size(); ++a) {
    for (std::size_t b = 0; b < ordered.size(); ++b) {
      EXPECT_EQ(ExactLess(ordered[a], ordered[b]), a < b) << ordered[a] << " " << ordered[b];
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
  for (int trial = 0; trial < 40000; ++trial) {
    const char separator = "\0,;\t"[trial % 4];
    std::string line;
    for (std::size_t i = random() % 12; i > 0; --i) line += alphabet[random() % (trial % 8 < 4 ? 12 : alphabet.size())];
    std::vector<std::string_view> fields;
    std::string scratch;
    SplitFields(line, fields, scratch, separator);
    std::vector<std::uint32_t> values(fields.size() + 1);
    if (!DigitFields(line, values.data(), fields.size(), separator)) continue;
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
