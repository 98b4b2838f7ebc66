#include "input/text_fields.h"

#include <istream>

namespace zover {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';'; }

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

void Split(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsSeparator(line[at])) ++at;
    const std::size_t start = at;
    while (at < line.size() && !IsSeparator(line[at])) ++at;
    if (at > start) fields.push_back(line.substr(start, at - start));
  }
}

}  // namespace

bool DataLineReader::Next() {
  while (std::getline(in_, line_)) {
    ++lineNumber_;
    std::string_view line(line_);
    if (lineNumber_ == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsBlank(line)) continue;
    Split(line, fields_);
    return true;
  }
  return false;
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
