#include "input/text_fields.h"

#include <cstring>

#include "console/format.h"

namespace zover {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kChunk = 1 << 16;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSeparator(char c) { return IsBlank(c) || c == ',' || c == ';'; }

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Bytes of a line without its line end: a carriage return before the line
// feed (or at the end of the file) belongs to the line end.
std::size_t ContentBytes(std::string_view line) {
  return !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
}

}  // namespace

DataLineReader::DataLineReader(DataSource& in) : in_(in), buffer_(kChunk) {}

LineStatus DataLineReader::ReadLine(std::string_view& line) {
  ++lineNumber_;
  spanning_.clear();
  bool spans = false;
  while (true) {
    if (begin_ == end_) {
      if (atEnd_) {
        if (!spans) {
          --lineNumber_;
          return LineStatus::kEnd;
        }
        line = spanning_;  // the last line, without a line end
        break;
      }
      const long n = in_.Read(buffer_.data(), buffer_.size());
      if (n < 0) return LineStatus::kReadError;
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
      if (n == 0) atEnd_ = true;
      continue;
    }
    const char* from = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const auto* feed = static_cast<const char*>(std::memchr(from, '\n', available));
    if (feed == nullptr) {
      spanning_.append(from, available);
      spans = true;
      begin_ = end_;
      // One byte more than the limit may still be the carriage return of
      // the line end; two cannot.
      if (spanning_.size() > kMaxLineBytes + 1) return LineStatus::kTooLong;
      continue;
    }
    const auto length = static_cast<std::size_t>(feed - from);
    begin_ += length + 1;
    if (spans) {
      spanning_.append(from, length);
      line = spanning_;
    } else {
      line = std::string_view(from, length);
    }
    break;
  }
  if (ContentBytes(line) > kMaxLineBytes) return LineStatus::kTooLong;
  return LineStatus::kLine;
}

LineStatus DataLineReader::NextLine() {
  while (true) {
    std::string_view line;
    const LineStatus status = ReadLine(line);
    if (status != LineStatus::kLine) return status;
    if (lineNumber_ == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlankLine(line)) continue;
    line_ = line;
    return LineStatus::kLine;
  }
}

void DataLineReader::Split() { SplitFields(line_, fields_); }

LineStatus DataLineReader::Next() {
  const LineStatus status = NextLine();
  if (status == LineStatus::kLine) Split();
  return status;
}

std::string LineFault(const DataLineReader& reader, LineStatus status, const std::string& name) {
  const long long line = reader.lineNumber();
  if (status == LineStatus::kTooLong) {
    return Format("\nERROR in file \"%s\", line %d: longer than 1048576 bytes.\n", {name, line});
  }
  return Format("\nERROR in file \"%s\", line %d: the file could not be read (%s).\n",
                {name, line, reader.error()});
}

void SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t from = 0, to = line.size();
  while (from < to && IsBlank(line[from])) ++from;
  while (to > from && IsBlank(line[to - 1])) --to;
  if (from == to) return;
  std::size_t at = from;
  while (true) {
    const std::size_t start = at;
    while (at < to && !IsSeparator(line[at])) ++at;
    fields.push_back(line.substr(start, at - start));
    if (at == to) return;
    // One separator: blanks, then at most one comma or semicolon and the
    // blanks after it. What follows it is the next field, empty or not.
    while (at < to && IsBlank(line[at])) ++at;
    if (at < to && (line[at] == ',' || line[at] == ';')) {
      ++at;
      while (at < to && IsBlank(line[at])) ++at;
    }
  }
}

bool DigitFields(std::string_view line, std::uint32_t* values, std::size_t count) {
  // Single digits, each followed by one separator byte: classes below 10
  // written the plain way, without a branch per byte.
  if (count > 0 && line.size() == 2 * count - 1) {
    bool plain = true;
    for (std::size_t field = 0; field < count; ++field) {
      const unsigned digit = static_cast<unsigned char>(line[2 * field]) - 48u;
      values[field] = digit;
      plain &= digit <= 9;
      if (field + 1 < count) plain &= IsSeparator(line[2 * field + 1]);
    }
    if (plain) return true;
  }
  const char* at = line.data();
  const char* const end = at + line.size();
  while (at != end && IsBlank(*at)) ++at;
  for (std::size_t field = 0; field < count; ++field) {
    const char* const start = at;
    std::uint32_t value = 0;
    for (unsigned digit; at != end && (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at) {
      value = value * 10 + digit;  // wraps only beyond nine digits, which are refused
    }
    if (at == start || at - start > 9) return false;
    values[field] = value;
    // After the last field only blanks; between fields blanks, then at most
    // one comma or semicolon and the blanks after it.
    if (field + 1 == count) {
      while (at != end && IsBlank(*at)) ++at;
      return at == end;
    }
    if (at == end) return false;
    if (*at == ',' || *at == ';') {
      ++at;
    } else if (IsBlank(*at)) {
      while (++at != end && IsBlank(*at)) {}
      if (at != end && (*at == ',' || *at == ';')) ++at;
    } else {
      return false;  // a byte that is neither digit nor separator
    }
    while (at != end && IsBlank(*at)) ++at;
  }
  return false;  // count == 0
}

std::optional<std::uint64_t> WholeField(std::string_view field, std::uint64_t maximum) {
  if (field.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    // value <= maximum <= 10^18 before this digit, so this cannot wrap.
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > maximum) return std::nullopt;
  }
  return value;
}

}  // namespace zover
