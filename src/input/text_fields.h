#pragma once
// Lines and fields of the two data files. Both readers take their files
// through DataLineReader, so they agree on what a line, a blank line and a
// field are:
//   - a line ends at a line feed; one carriage return before it, or at the
//     end of the last line, is dropped; the last line needs no line end;
//   - a UTF-8 byte-order mark at the very start of the file is ignored;
//   - a line of blanks only (spaces, tabs, carriage returns) is skipped, but
//     it still counts for the line numbers, which count every physical line
//     from 1;
//   - fields are separated by any run of spaces, tabs, commas or semicolons;
//     separators at the start or end of a line make no empty fields.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zover {

class DataLineReader {
 public:
  explicit DataLineReader(std::istream& in) : in_(in) {}

  // Moves to the next line that holds anything but blanks and splits it into
  // fields. False at the end of the file.
  bool Next();

  // Physical number of the current line, from 1.
  long long lineNumber() const { return lineNumber_; }

  // Fields of the current line; they point into the line, so they are valid
  // until the next call of Next().
  const std::vector<std::string_view>& fields() const { return fields_; }

 private:
  std::istream& in_;
  std::string line_;
  std::vector<std::string_view> fields_;
  long long lineNumber_ = 0;
};

// The value of a field made of decimal digits only, when it is at most
// `maximum` (itself at most 10^18); nothing for any other field (a sign, a
// decimal point, a letter, a NUL or any other byte, or a value above
// `maximum`, however many digits it has).
std::optional<std::uint64_t> WholeField(std::string_view field, std::uint64_t maximum);

}  // namespace zover
