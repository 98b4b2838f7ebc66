#include "input/text_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "console/format.h"

namespace zover {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A file is read kChunk bytes at a time, and, once it has filled
// kLargeChunk / kChunk of them, kLargeChunk at a time: a small file takes
// little memory, a large one few reads, each a call into the system (a file
// of 200 MB of ratings took about 4 % less time for the whole analysis in
// reads of 1 MiB than of 64 KiB; 4 MiB gained nothing more).
constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kLargeChunk = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSeparator(char c) { return IsBlank(c) || c == ',' || c == ';'; }

// A blank around a field under a separator of one character: a space, or a
// tab where the tab is not the separator.
bool IsBlankAround(char c, char separator) { return c == ' ' || (c == '\t' && separator != '\t'); }

// Where a line stands in the quoting rules, byte by byte: whether it ends
// inside a quoted field, whose line break then belongs to the field. Under
// the dialogue's rule (separator 0) it also notes which of the separators
// of one character (comma, semicolon, tab) occur outside quotes, for the
// first line of a file that decides its separator.
class QuoteScan {
 public:
  explicit QuoteScan(char separator) : separator_(separator) {}

  void Feed(std::string_view text) {
    for (const char c : text) {
      const bool separates = separator_ != 0 ? c == separator_ : IsSeparator(c);
      if (state_ != kQuoted && separator_ == 0) {
        if (c == ',') kinds_ |= 1;
        if (c == ';') kinds_ |= 2;
        if (c == '\t') kinds_ |= 4;
      }
      switch (state_) {
        case kStart:
          if (c == '"') {
            state_ = kQuoted;
          } else if (!separates && !(separator_ != 0 && IsBlankAround(c, separator_))) {
            state_ = kPlain;
          }
          break;
        case kPlain:
          if (separates) state_ = kStart;
          break;
        case kQuoted:
          if (c == '"') state_ = kClosed;
          break;
        case kClosed:
          if (c == '"') {
            state_ = kQuoted;  // a doubled quote
          } else if (separates) {
            state_ = kStart;
          } else if (!IsBlank(c)) {
            state_ = kPlain;  // text after the closing quote: the split refuses it
          }
          break;
      }
    }
  }
  bool open() const { return state_ == kQuoted; }
  // Bits 1, 2, 4: a comma, a semicolon, a tab outside quotes.
  int kinds() const { return kinds_; }

 private:
  enum State { kStart, kPlain, kQuoted, kClosed };
  char separator_;
  State state_ = kStart;
  int kinds_ = 0;
};

constexpr const char* kNotClosedOnLine = "the double quote that opens the field is not closed on its line";
constexpr const char* kNotClosed = "the double quote that opens the field is never closed";

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// Bytes of a line without its line end: a carriage return before the line
// feed (or at the end of the file) belongs to the line end.
std::size_t ContentBytes(std::string_view line) {
  return !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
}

}  // namespace

char SeparatorChar(Separator separator) {
  switch (separator) {
    case Separator::kComma: return ',';
    case Separator::kSemicolon: return ';';
    case Separator::kTab: return '\t';
    default: return 0;
  }
}

DataLineReader::DataLineReader(DataSource& in, Separator separator)
    : in_(in),
      csv_(separator != Separator::kDialogue),
      detect_(separator == Separator::kDetect),
      separator_(SeparatorChar(separator)),
      buffer_(kChunk) {}

long DataLineReader::Fill() {
  // Every byte of the buffer has been taken: it may grow.
  if (started_ && buffer_.size() < kLargeChunk && ++fills_ == kLargeChunk / kChunk) buffer_.resize(kLargeChunk);
  if (started_) return utf16_ != 0 ? Decode() : in_.Read(buffer_.data(), buffer_.size());
  started_ = true;
  long n = in_.Read(buffer_.data(), buffer_.size());
  if (!csv_) return n;
  // The byte-order mark of UTF-16 takes two bytes, which a read may hand out
  // one at a time.
  while (n == 1) {
    const long more = in_.Read(buffer_.data() + 1, buffer_.size() - 1);
    if (more < 0) return -1;
    if (more == 0) break;
    n += more;
  }
  if (n < 2) return n;
  const auto first = static_cast<unsigned char>(buffer_[0]), second = static_cast<unsigned char>(buffer_[1]);
  if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
    utf16_ = first == 0xFF ? 1 : 2;
    // The mark is decoded with the rest: U+FEFF is UTF-8's mark, which the
    // first line drops.
    raw_.assign(buffer_.data(), static_cast<std::size_t>(n));
    return Decode();
  }
  return n;
}

long DataLineReader::Decode() {
  std::size_t out = 0;
  std::size_t at = 0;  // bytes of raw_ decoded
  const std::size_t room = buffer_.size() - 4;  // a character takes at most 4 bytes
  auto unit = [this](std::size_t i) {
    const auto a = static_cast<unsigned char>(raw_[i]), b = static_cast<unsigned char>(raw_[i + 1]);
    return utf16_ == 1 ? static_cast<std::uint32_t>(a | b << 8) : static_cast<std::uint32_t>(a << 8 | b);
  };
  while (out == 0) {
    if (raw_.size() - at < 4) {
      raw_.erase(0, at);
      at = 0;
      char chunk[4096];
      const long n = in_.Read(chunk, sizeof chunk);
      if (n < 0) return -1;
      if (n == 0) {
        if (raw_.empty()) return 0;
        // One last unit that is not a surrogate may still be whole.
        if (raw_.size() != 2 || (unit(0) & 0xF800) == 0xD800) {
          why_ = "it is UTF-16 and ends in the middle of a character; save it again as UTF-8 or UTF-16";
          return -1;
        }
      }
      raw_.append(chunk, static_cast<std::size_t>(n));
    }
    while (out < room && raw_.size() - at >= 2) {
      std::uint32_t code = unit(at);
      std::size_t used = 2;
      if ((code & 0xFC00) == 0xD800) {
        if (raw_.size() - at < 4) break;  // its pair is still to come
        const std::uint32_t low = unit(at + 2);
        if ((low & 0xFC00) == 0xDC00) {
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          used = 4;
        } else {
          code = 0xDC00;  // a high surrogate without its low one: refused below
        }
      }
      if ((code & 0xFC00) == 0xDC00 && used == 2) {
        why_ = "it is UTF-16 with a broken character; save it again as UTF-8 or UTF-16";
        return -1;
      }
      char* to = buffer_.data() + out;
      if (code < 0x80) {
        to[0] = static_cast<char>(code);
        out += 1;
      } else if (code < 0x800) {
        to[0] = static_cast<char>(0xC0 | code >> 6);
        to[1] = static_cast<char>(0x80 | (code & 0x3F));
        out += 2;
      } else if (code < 0x10000) {
        to[0] = static_cast<char>(0xE0 | code >> 12);
        to[1] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        to[2] = static_cast<char>(0x80 | (code & 0x3F));
        out += 3;
      } else {
        to[0] = static_cast<char>(0xF0 | code >> 18);
        to[1] = static_cast<char>(0x80 | (code >> 12 & 0x3F));
        to[2] = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        to[3] = static_cast<char>(0x80 | (code & 0x3F));
        out += 4;
      }
      at += used;
    }
  }
  raw_.erase(0, at);
  return static_cast<long>(out);
}

LineStatus DataLineReader::ReadLine(std::string_view& line) {
  lineNumber_ = ++physical_;
  spanning_.clear();
  bool spans = false;
  while (true) {
    if (begin_ == end_) {
      if (atEnd_) {
        if (!spans) {
          lineNumber_ = --physical_;
          return LineStatus::kEnd;
        }
        line = spanning_;  // the last line, without a line end
        break;
      }
      const long n = Fill();
      if (n < 0) return LineStatus::kReadError;
      begin_ = 0;
      end_ = static_cast<std::size_t>(n);
      whole_ = end_;
      while (whole_ > 0 && buffer_[whole_ - 1] != '\n') --whole_;
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
    if (physical_ == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (csv_ && (detect_ || std::memchr(line.data(), '"', line.size()) != nullptr)) {
      QuoteScan scan(separator_);
      scan.Feed(line);
      if (scan.open()) {
        // A quoted field holds the line break: the line goes on.
        const long long first = lineNumber_;
        record_.assign(line);
        while (scan.open()) {
          const LineStatus more = ReadLine(line);
          if (more == LineStatus::kEnd) break;  // the split refuses the open quote
          if (more == LineStatus::kTooLong) lineNumber_ = first;
          if (more != LineStatus::kLine) return more;
          if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
          if (record_.size() + 1 + line.size() > kMaxLineBytes) {
            lineNumber_ = first;
            return LineStatus::kTooLong;
          }
          record_ += '\n';
          record_.append(line);
          scan.Feed("\n");
          scan.Feed(line);
        }
        lineNumber_ = first;
        line = record_;
      }
      if (detect_ && !IsBlankLine(line)) {
        detect_ = false;
        const int kinds = scan.kinds();
        if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
          lineFaultKind_ = ReadFault::Kind::kOther;
          lineFaultWhat_ = "it holds NUL bytes, as a file in UTF-16 without its byte-order mark would; "
                           "save the file as UTF-8 (or as UTF-16 with its mark)";
          return LineStatus::kLineFault;
        }
        if (kinds == 1 || kinds == 2 || kinds == 4) {
          separator_ = kinds == 1 ? ',' : kinds == 2 ? ';' : '\t';
        } else if (kinds != 0) {
          static const char* const kNames[] = {"commas", "semicolons", "tabs"};
          std::string found;
          for (int k = 0; k < 3; ++k) {
            if ((kinds & 1 << k) != 0) found += std::string(found.empty() ? "" : " and ") + kNames[k];
          }
          lineFaultKind_ = ReadFault::Kind::kSeparators;
          lineFaultWhat_ = "it holds more than one separator outside double quotes (" + found + ")";
          return LineStatus::kLineFault;
        }
      }
    }
    if (IsBlankLine(line)) continue;
    line_ = line;
    return LineStatus::kLine;
  }
}

LineStatus DataLineReader::Split() {
  splitFault_ = SplitFields(line_, fields_, unquoted_, separator_, &quoted_);
  if (csv_ && splitFault_.what == kNotClosedOnLine) splitFault_.what = kNotClosed;
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
    case LineStatus::kLineFault:
      fault.kind = lineFaultKind_;
      fault.what = lineFaultWhat_;
      break;
    default: fault.what = "the file could not be read (" + (why_.empty() ? in_.Error() : why_) + ")"; break;
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
  const std::string quoted = "\"" + ControlEscaped(text.substr(0, shown));
  return quoted + (shown < text.size() ? "...\"" : "\"");
}

namespace {

// A quoted field that starts at line[at] (its opening quote), up to the
// first quote that is not doubled: its text goes into `fields`, unquoted
// into `scratch` where it holds doubled quotes. Returns the place of the
// closing quote, or npos when there is none.
std::size_t QuotedField(std::string_view line, std::size_t at, std::size_t to, std::vector<std::string_view>& fields,
                        std::string& scratch, bool& scratchReady) {
  std::size_t close = at + 1;
  bool doubled = false;
  while (true) {
    const auto* quote = static_cast<const char*>(std::memchr(line.data() + close, '"', to - close));
    if (quote == nullptr) return std::string_view::npos;
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
    return close;
  }
  // Unquoted text is never longer than the line, so the scratch, reserved
  // once per line, does not move while fields point into it.
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
  return close;
}

// The rules of CSV: each `separator` separates, blanks around a field are
// dropped.
SplitFault SplitOne(std::string_view line, char separator, std::vector<std::string_view>& fields, std::string& scratch,
                    std::vector<char>* quoted) {
  std::size_t from = 0, to = line.size();
  while (from < to && IsBlankAround(line[from], separator)) ++from;
  while (to > from && IsBlankAround(line[to - 1], separator)) --to;
  if (from == to) return {};
  bool scratchReady = false;
  std::size_t at = from;
  while (true) {
    const int number = static_cast<int>(fields.size()) + 1;
    while (at < to && IsBlankAround(line[at], separator)) ++at;
    if (at < to && line[at] == '"') {
      const std::size_t close = QuotedField(line, at, to, fields, scratch, scratchReady);
      if (close == std::string_view::npos) return {number, kNotClosedOnLine};
      if (quoted != nullptr) quoted->push_back(1);
      at = close + 1;
      while (at < to && IsBlankAround(line[at], separator)) ++at;
      if (at == to) return {};
      if (line[at] != separator) return {number, "text after the closing double quote"};
    } else {
      const std::size_t start = at;
      for (; at < to && line[at] != separator; ++at) {
        if (line[at] == '"') return {number, "a double quote inside a field that does not start with one"};
      }
      std::size_t end = at;
      while (end > start && IsBlankAround(line[end - 1], separator)) --end;
      fields.push_back(line.substr(start, end - start));
      if (quoted != nullptr) quoted->push_back(0);
      if (at == to) return {};
    }
    ++at;  // the separator; what follows it is the next field, empty or not
  }
}

}  // namespace

SplitFault SplitFields(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch,
                       char separator, std::vector<char>* quoted) {
  fields.clear();
  if (quoted != nullptr) quoted->clear();
  if (separator != 0) return SplitOne(line, separator, fields, scratch, quoted);
  std::size_t from = 0, to = line.size();
  while (from < to && IsBlank(line[from])) ++from;
  while (to > from && IsBlank(line[to - 1])) --to;
  if (from == to) return {};
  bool scratchReady = false;
  std::size_t at = from;
  while (true) {
    const int number = static_cast<int>(fields.size()) + 1;
    if (at < to && line[at] == '"') {
      const std::size_t close = QuotedField(line, at, to, fields, scratch, scratchReady);
      if (close == std::string_view::npos) return {number, kNotClosedOnLine};
      if (quoted != nullptr) quoted->push_back(1);
      at = close + 1;
      if (at == to) return {};
      if (!IsSeparator(line[at])) return {number, "text after the closing double quote"};
    } else {
      const std::size_t start = at;
      for (; at < to && !IsSeparator(line[at]); ++at) {
        if (line[at] == '"') return {number, "a double quote inside a field that does not start with one"};
      }
      fields.push_back(line.substr(start, at - start));
      if (quoted != nullptr) quoted->push_back(0);
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

bool DigitFields(std::string_view line, std::uint32_t* values, std::size_t count, char separator) {
  // Single digits, each followed by one separator byte: classes below 10
  // written the plain way, without a branch per byte.
  if (count > 0 && line.size() == 2 * count - 1) {
    bool plain = true;
    for (std::size_t field = 0; field < count; ++field) {
      const unsigned digit = static_cast<unsigned char>(line[2 * field]) - 48u;
      values[field] = digit;
      plain &= digit <= 9;
      if (field + 1 < count) {
        const char c = line[2 * field + 1];
        plain &= separator != 0 ? c == separator : IsSeparator(c);
      }
    }
    if (plain) return true;
  }
  const char* at = line.data();
  const char* const end = at + line.size();
  auto blank = [separator](char c) { return separator != 0 ? IsBlankAround(c, separator) : IsBlank(c); };
  while (at != end && blank(*at)) ++at;
  for (std::size_t field = 0; field < count; ++field) {
    const char* const start = at;
    std::uint32_t value = 0;
    for (unsigned digit; at != end && (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at) {
      value = value * 10 + digit;  // wraps only beyond nine digits, which are refused
    }
    if (at == start || at - start > 9) return false;
    values[field] = value;
    // After the last field only blanks; between fields blanks, then the
    // separator (under the dialogue's rule at most one comma or semicolon)
    // and the blanks after it.
    if (field + 1 == count) {
      while (at != end && blank(*at)) ++at;
      return at == end;
    }
    if (at == end) return false;
    if (separator != 0) {
      while (at != end && blank(*at)) ++at;
      if (at == end || *at != separator) return false;
      ++at;
    } else if (*at == ',' || *at == ';') {
      ++at;
    } else if (IsBlank(*at)) {
      while (++at != end && IsBlank(*at)) {}
      if (at != end && (*at == ',' || *at == ';')) ++at;
    } else {
      return false;  // a byte that is neither digit nor separator
    }
    while (at != end && blank(*at)) ++at;
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

std::optional<std::string> ExactNumber(std::string_view field) {
  if (!NumberField(field)) return std::nullopt;  // also no value beyond the largest double
  const bool negative = field[0] == '-';
  if (field[0] == '+' || field[0] == '-') field.remove_prefix(1);
  const std::size_t point = std::min(field.find('.'), field.size());
  std::string_view whole = field.substr(0, point);
  std::string_view fraction = point < field.size() ? field.substr(point + 1) : std::string_view();
  while (!whole.empty() && whole[0] == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  std::string text;
  if (negative && !(whole.empty() && fraction.empty())) text += '-';
  text += whole.empty() ? "0" : std::string(whole);
  if (!fraction.empty()) text += "." + std::string(fraction);
  return text;
}

bool ExactLess(std::string_view a, std::string_view b) {
  const bool negativeA = !a.empty() && a[0] == '-', negativeB = !b.empty() && b[0] == '-';
  if (negativeA != negativeB) return negativeA;
  if (negativeA) {
    a.remove_prefix(1);
    b.remove_prefix(1);
    std::swap(a, b);  // the larger magnitude is the smaller value
  }
  const std::size_t pointA = std::min(a.find('.'), a.size()), pointB = std::min(b.find('.'), b.size());
  if (pointA != pointB) return pointA < pointB;  // no leading zeros: more digits, larger
  const int whole = a.substr(0, pointA).compare(b.substr(0, pointB));
  if (whole != 0) return whole < 0;
  // No trailing zeros: the fractions' digits compare as texts.
  return a.substr(std::min(pointA + 1, a.size())) < b.substr(std::min(pointB + 1, b.size()));
}

}  // namespace zover
