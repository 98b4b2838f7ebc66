#pragma once
// Lines, fields and numbers of the data files. Every reader takes its file
// through DataLineReader, so they all agree on what a line, a blank line, a
// field and a number are:
//   - a line ends at a line feed; one carriage return before it, or at the
//     end of the last line, is dropped; the last line needs no line end;
//   - a line longer than kMaxLineBytes (its line end not counted) is refused
//     as soon as that is known, without reading the rest of it, so memory
//     stays bounded whatever the file holds;
//   - a UTF-8 byte-order mark at the very start of the file is ignored;
//   - a line of blanks only (spaces, tabs, carriage returns) is skipped, but
//     it still counts for the line numbers, which count every physical line
//     from 1;
//   - blanks (spaces, tabs) at the two ends of a line are dropped; inside it
//     a field separator is a run of blanks, or one comma or semicolon with
//     optional blanks around it. Two commas in a row, or a comma or
//     semicolon at the start or end of a line, leave an empty field;
//   - a field that starts with a double quote is quoted, as spreadsheets
//     and statistics packages write CSV: it ends at the matching quote, a
//     doubled quote inside stands for one quote, and separators inside are
//     text. The field is its text without the quotes. A quote anywhere else
//     in a field, text after the closing quote, or a quote that is not
//     closed on its line is refused;
//   - a failed read ends the file with kReadError; only the real end of the
//     file ends it normally.
// These are the rules of the dialogue's files (Separator::kDialogue). The
// files of the batch command, which statistics packages, spreadsheets and
// annotation tools write, are read by the rules of CSV (every other
// Separator):
//   - the separator is one character, a comma, a semicolon or a tab, and
//     each one separates, so that empty fields stay (two tabs in a row leave
//     an empty field); blanks inside a field are kept, blanks around it
//     dropped. Without one (Separator::kDetect) the first line decides: the
//     one of the three that it holds outside double quotes, or, when it holds
//     none, the dialogue's rule above (kBlank); a first line with two of them
//     is refused;
//   - a quoted field may hold line breaks: the line goes on over the next
//     lines until its quote is closed (the line's number is that of its
//     first line, and the limit of kMaxLineBytes holds for all of it);
//   - a file that starts with the byte-order mark of UTF-16 (little or big
//     endian) is read as UTF-16 and turned into UTF-8 as it is read.
//
// A refusal is a value, ReadFault: where the fault is and what it is. The
// dialogue and the batch command each frame it into their own text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/data_source.h"

namespace zover {

constexpr std::size_t kMaxLineBytes = 1048576;

// Why a data file is refused, and where: without the file's name or any
// framing, which each caller adds.
struct ReadFault {
  enum class Kind {
    kOther,
    kEmptyRating,     // a rating field is empty (read as missing with --missing)
    kNotClassNumber,  // a rating is not a class number (read as a label with --labels)
    kMissingMark,     // an unquoted NA or . where missing ratings are not read (--missing)
    kSeparators,      // the first line holds more than one kind of separator (--sep)
    kLooksLikeHeader, // the first line, read as data, looks like a header (--header, --no-header)
    kLongColumns,     // a long file with more than three columns (--long-columns)
  };
  Kind kind = Kind::kOther;
  long long line = 0;  // 0: the file as a whole
  int field = 0;       // 0: the line as a whole
  std::string what;    // e.g. "the field is empty", without a final period
  std::string text;    // the field's text, for kNotClassNumber
};

// The dialogue's text of a refusal of the file `name`:
// "\nERROR in file \"NAME\", line L, field F: WHAT.\n" (the line and field
// only where the fault has them).
std::string DialogueMessage(const ReadFault& fault, const std::string& name);

// A field's text for a message, in double quotes: a control byte shows as
// \xNN, and a text longer than 40 bytes is cut at a character boundary,
// with "..." after it.
std::string QuotedText(std::string_view text);

// How the fields of a line are separated (see the rules at the top).
enum class Separator {
  kDialogue,   // the dialogue's rules: blanks, commas, semicolons; a line on its own; bytes as they are
  kDetect,     // the rules of CSV, the separator as the first line says
  kBlank,      // the rules of CSV, fields separated as the dialogue separates them
  kComma,      // the rules of CSV, each with its one separator
  kSemicolon,
  kTab,
};

// The separator's character: ',', ';' or '\t', or 0 for the dialogue's rule
// of blanks, commas and semicolons (kDialogue, kBlank, and kDetect until the
// first line has decided).
char SeparatorChar(Separator separator);

enum class LineStatus {
  kLine,        // a line with fields
  kEnd,         // the end of the file
  kTooLong,     // lineNumber() is longer than kMaxLineBytes
  kReadError,   // the file could not be read while reading lineNumber()
  kFieldFault,  // a field of lineNumber() breaks the quoting rules
  kLineFault,   // lineNumber() is refused as a whole (two kinds of separator on the first line)
};

// A field that breaks the quoting rules: its number from 1 and what is wrong.
struct SplitFault {
  int field = 0;  // 0: none
  const char* what = "";
};

// Splits a line into its fields by the separator and quoting rules above
// (blanks at the ends already dropped or not): `separator` is ',', ';' or
// '\t', or 0 for the dialogue's rule. A quoted field with a doubled quote is
// unquoted into `scratch`, which the fields may then point into: they are
// valid until the next call with the same scratch. `quoted`, when given,
// gets 1 for each field that was quoted and 0 for the others. Stops at the
// first field that breaks the quoting rules.
SplitFault SplitFields(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch,
                       char separator = 0, std::vector<char>* quoted = nullptr);

class DataLineReader {
 public:
  explicit DataLineReader(DataSource& in, Separator separator = Separator::kDialogue);

  // Moves to the next line that holds anything but blanks and splits it into
  // fields.
  LineStatus Next();

  // Moves to the next line that holds anything but blanks without splitting
  // it: line() is that line without its line end (and without the
  // byte-order mark), until the next call. Split() then splits it: kLine,
  // or kFieldFault.
  LineStatus NextLine();
  std::string_view line() const { return line_; }
  LineStatus Split();

  // The whole lines that the buffer holds after the current one, for a
  // reader's fast way through plain lines: it parses them in place, then
  // gives back with Skip() the bytes and the lines it took from the front.
  // Each line ends with its line feed (a carriage return before it is still
  // there), and nothing of it has been checked: blank lines, quotes and
  // everything else are the caller's to refuse, leaving the line to
  // NextLine(). Empty before the first line has been read (its byte-order
  // mark and, by the rules of CSV, its separator are yet to be seen) and
  // when the buffer holds no whole line.
  std::string_view Ahead() const {
    if (physical_ == 0 || detect_ || begin_ >= whole_) return {};
    return std::string_view(buffer_.data() + begin_, whole_ - begin_);
  }
  // Physical lines read so far: the first line of Ahead() is the next one.
  long long linesRead() const { return physical_; }
  void Skip(std::size_t bytes, long long lines) {
    begin_ += bytes;
    physical_ += lines;
    lineNumber_ = physical_;
  }

  // Physical number of the current line, from 1: the line read (the first
  // of a line that goes on over several), or the one being read when Next()
  // failed.
  long long lineNumber() const { return lineNumber_; }

  // Fields of the current line; they point into the reader's buffers, so they
  // are valid until the next call of Next().
  const std::vector<std::string_view>& fields() const { return fields_; }
  // Whether field `i` (from 0) of the current line was in double quotes.
  bool quoted(std::size_t i) const { return quoted_[i] != 0; }

  // The separator's character once the first line has been read (see
  // SeparatorChar).
  char separator() const { return separator_; }

  // The refusal of a status other than kLine and kEnd, at lineNumber().
  ReadFault Fault(LineStatus status) const;

 private:
  LineStatus ReadLine(std::string_view& line);
  // Reads the next bytes of the file into buffer_, as UTF-8: their number,
  // 0 at the end, -1 on a failure (why_ says why).
  long Fill();
  long Decode();  // Fill for a UTF-16 file

  DataSource& in_;
  const bool csv_;   // the rules of CSV, not the dialogue's
  bool detect_;      // the first line still has to decide the separator
  char separator_;
  bool started_ = false;  // the first bytes have been read
  int utf16_ = 0;         // 0: UTF-8; 1: UTF-16 little endian; 2: big endian
  std::string raw_;       // UTF-16 bytes read and not decoded yet
  std::string why_;       // why the file could not be read, when not the source's failure
  std::string record_;    // a line that goes on over several
  std::vector<char> quoted_;
  ReadFault::Kind lineFaultKind_ = ReadFault::Kind::kOther;
  std::string lineFaultWhat_;  // why the line is refused (kLineFault)
  long long physical_ = 0;     // physical lines read
  std::vector<char> buffer_;
  std::size_t fills_ = 0;  // reads into buffer_ before it grows
  std::size_t begin_ = 0;  // unread bytes of buffer_: [begin_, end_)
  std::size_t end_ = 0;
  std::size_t whole_ = 0;  // the end of the last line feed in buffer_, 0 when none
  bool atEnd_ = false;
  std::string spanning_;  // a line that continues past the end of buffer_
  std::string_view line_;
  std::vector<std::string_view> fields_;
  std::string unquoted_;  // quoted fields with doubled quotes, unquoted
  SplitFault splitFault_;
  long long lineNumber_ = 0;
};

// The fast way through a data line: when `line` is exactly `count` fields of
// one to nine decimal digits each, separated by the separator rule
// (`separator` as in SplitFields; blanks at the two ends allowed), their
// values in `values` and true. False for any other line: the caller then
// splits it and checks its fields one by one, so that a line this refuses
// gets the same message as ever. A line it accepts splits into `count`
// fields that WholeField reads as the same values.
bool DigitFields(std::string_view line, std::uint32_t* values, std::size_t count, char separator = 0);

// The one number grammar of the data files: an optional sign, then decimal
// digits with at most one decimal point among or after them, at least one
// digit in all ("3", "-2", "2.5", "2.", ".5"). Nothing else is a number: no
// exponent, no hexadecimal, no "inf" or "nan", no blank, no NUL or other
// byte. The value is the nearest double; a number beyond the largest
// double is none.
std::optional<double> NumberField(std::string_view field);

// The exact value of a number field (NumberField's grammar, and a value
// that a double holds) as a canonical text: no sign for 0 or a positive
// value, no leading zero but one before the point, no trailing zero after it
// and no point without a fraction ("+02.50" is "2.5", "-0.0" is "0", ".5" is
// "0.5"). Two fields have the same value exactly when their texts are equal,
// however many digits they have: "12345678901234567" and
// "12345678901234568" differ, though they are one double.
std::optional<std::string> ExactNumber(std::string_view field);

// Orders two texts of ExactNumber by the values they stand for.
bool ExactLess(std::string_view a, std::string_view b);

// The value of a whole-number field, when it is at most `maximum` (itself
// at most 10^18): decimal digits only, or, with `zeroFraction`, decimal
// digits followed by a point and one or more zeros ("2.0", "2.00", as
// statistics packages write whole numbers in a column of decimals); nothing
// for any other field (an empty one, a sign, another fraction, a letter, a
// NUL or any other byte, or a value above `maximum`, however many digits it
// has).
std::optional<std::uint64_t> WholeField(std::string_view field, std::uint64_t maximum, bool zeroFraction = false);

}  // namespace zover
