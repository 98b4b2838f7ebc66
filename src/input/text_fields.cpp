#include "input/text_fields.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

LineStatus DataLineReader::Split() {
  splitFault_ = SplitFields(line_, fields_, unquoted_);
  return splitFault_.field == 0 ? LineStatus::kLine : LineStatus::kFieldFault;
}

LineStatus DataLineReader::Next() {
  const LineStatus status = NextLine();
  return status == LineStatus::kLine ? Split() : status;
}

ReadFault DataLineReader::Fault(LineStatus status) const {
  ReadFault fault;
  fault.line = lineNumber_;
  switch (status) {
    case LineStatus::kTooLong: fault.what = "longer than 1048576 bytes"; break;
    case LineStatus::kFieldFault:
      fault.field = splitFault_.field;
      fault.what = splitFault_.what;
      break;
    default: fault.what = "the file could not be read (" + in_.Error() + ")"; break;
  }
  return fault;
}

std::string DialogueMessage(const ReadFault& fault, const std::string& name) {
  std::string text = "\nERROR in file \"" + name + "\"";
  if (fault.line > 0) text += ", line " + std::to_string(fault.line);
  if (fault.field > 0) text += ", field " + std::to_string(fault.field);
  return text + ": " + fault.what + ".\n";
}

std::string QuotedText(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::size_t shown = text.size();
  if (shown > kShown) {
    shown = kShown;
    // Back to the start of a UTF-8 character: never before a continuation byte.
    while (shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  }
  std::string quoted = "\"";
  for (const char c : text.substr(0, shown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static const char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 15];
    } else {
      quoted += c;
    }
  }
  return quoted + (shown < text.size() ? "...\"" : "\"");
}

SplitFault SplitFields(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch) {
  fields.clear();
  std::size_t from = 0, to = line.size();
  while (from < to && IsBlank(line[from])) ++from;
  while (to > from && IsBlank(line[to - 1])) --to;
  if (from == to) return {};
  bool scratchReady = false;
  std::size_t at = from;
  while (true) {
    const int number = static_cast<int>(fields.size()) + 1;
    if (at < to && line[at] == '"') {
      // A quoted field: up to the first quote that is not doubled.
      std::size_t close = at + 1;
      bool doubled = false;
      while (true) {
        const auto* quote = static_cast<const char*>(std::memchr(line.data() + close, '"', to - close));
        if (quote == nullptr) return {number, "the double quote that opens the field is not closed on its line"};
        close = static_cast<std::size_t>(quote - line.data());
        if (close + 1 < to && line[close + 1] == '"') {
          doubled = true;
          close += 2;
          continue;
        }
        break;
      }
      const std::string_view content = line.substr(at + 1, close - at - 1);
      if (!doubled) {
        fields.push_back(content);
      } else {
        // Unquoted text is never longer than the line, so the scratch,
        // reserved once per line, does not move while fields point into it.
        if (!scratchReady) {
          scratch.clear();
          scratch.reserve(line.size());
          scratchReady = true;
        }
        const std::size_t begin = scratch.size();
        for (std::size_t i = 0; i < content.size(); ++i) {
          scratch += content[i];
          if (content[i] == '"') ++i;  // the second quote of a pair
        }
        fields.push_back(std::string_view(scratch.data() + begin, scratch.size() - begin));
      }
      at = close + 1;
      if (at == to) return {};
      if (!IsSeparator(line[at])) return {number, "text after the closing double quote"};
    } else {
      const std::size_t start = at;
      for (; at < to && !IsSeparator(line[at]); ++at) {
        if (line[at] == '"') return {number, "a double quote inside a field that does not start with one"};
      }
      fields.push_back(line.substr(start, at - start));
      if (at == to) return {};
    }
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

std::optional<std::uint64_t> WholeField(std::string_view field, std::uint64_t maximum, bool zeroFraction) {
  if (zeroFraction) {
    const std::size_t point = field.find('.');
    if (point != std::string_view::npos) {
      if (point + 1 == field.size() || field.find_first_not_of('0', point + 1) != std::string_view::npos) {
        return std::nullopt;
      }
      field = field.substr(0, point);
    }
  }
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

std::optional<double> NumberField(std::string_view field) {
  std::size_t at = field.size() > 0 && (field[0] == '+' || field[0] == '-') ? 1 : 0;
  std::size_t digits = 0, points = 0;
  for (std::size_t i = at; i < field.size(); ++i) {
    if (field[i] >= '0' && field[i] <= '9') {
      ++digits;
    } else if (field[i] == '.' && points == 0) {
      ++points;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  if (points == 0 && digits <= 15) {  // exact in a double, as strtod gives it
    double value = 0;
    for (; at < field.size(); ++at) value = value * 10 + (field[at] - '0');
    return field[0] == '-' ? -value : value;
  }
  // Only digits, a point and a sign are left, so strtod reads exactly this.
  const std::string text(field);
  const double value = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace zover
