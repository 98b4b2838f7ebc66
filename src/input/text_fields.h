#pragma once
// Lines and fields of the two data files. Both readers take their files
// through DataLineReader, so they agree on what a line, a blank line and a
// field are:
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
//     semicolon at the start or end of a line, leave an empty field.
//   - a failed read ends the file with kReadError; only the real end of the
//     file ends it normally.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/data_source.h"

namespace zover {

constexpr std::size_t kMaxLineBytes = 1048576;

enum class LineStatus {
  kLine,       // a line with fields
  kEnd,        // the end of the file
  kTooLong,    // lineNumber() is longer than kMaxLineBytes
  kReadError,  // the file could not be read while reading lineNumber()
};

class DataLineReader {
 public:
  explicit DataLineReader(DataSource& in);

  // Moves to the next line that holds anything but blanks and splits it into
  // fields.
  LineStatus Next();

  // Moves to the next line that holds anything but blanks without splitting
  // it: line() is that line without its line end (and without the
  // byte-order mark), until the next call. Split() then splits it.
  LineStatus NextLine();
  std::string_view line() const { return line_; }
  void Split();

  // Physical number of the current line, from 1: the line read, or the one
  // being read when Next() failed.
  long long lineNumber() const { return lineNumber_; }

  // Fields of the current line; they point into the reader's buffers, so they
  // are valid until the next call of Next().
  const std::vector<std::string_view>& fields() const { return fields_; }

  // The system's text for a failed read.
  std::string error() const { return in_.Error(); }

 private:
  LineStatus ReadLine(std::string_view& line);

  DataSource& in_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // unread bytes of buffer_: [begin_, end_)
  std::size_t end_ = 0;
  bool atEnd_ = false;
  std::string spanning_;  // a line that continues past the end of buffer_
  std::string_view line_;
  std::vector<std::string_view> fields_;
  long long lineNumber_ = 0;
};

// The refusal of the file `name` for a line that could not be read or was
// too long (status kReadError or kTooLong), with its line number.
std::string LineFault(const DataLineReader& reader, LineStatus status, const std::string& name);

// Splits a line into its fields by the separator rule above (blanks at the
// ends already dropped or not).
void SplitFields(std::string_view line, std::vector<std::string_view>& fields);

// The fast way through a data line: when `line` is exactly `count` fields of
// one to nine decimal digits each, separated by the separator rule (blanks at
// the two ends allowed), their values in `values` and true. False for any
// other line: the caller then splits it and checks its fields one by one, so
// that a line this refuses gets the same message as ever. A line it accepts
// splits into `count` fields that WholeField reads as the same values.
bool DigitFields(std::string_view line, std::uint32_t* values, std::size_t count);

// The value of a field made of decimal digits only, when it is at most
// `maximum` (itself at most 10^18); nothing for any other field (an empty
// one, a sign, a decimal point, a letter, a NUL or any other byte, or a value
// above `maximum`, however many digits it has).
std::optional<std::uint64_t> WholeField(std::string_view field, std::uint64_t maximum);

}  // namespace zover
