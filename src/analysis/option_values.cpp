// The values of the reading and analysis options, as the command line and
// the page in a browser take them.

#include "analysis/option_values.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <set>

#include "input/text_fields.h"
#include "tables/limits.h"

namespace zover {

std::string ParseClassList(const std::string& text, std::vector<std::string>& labels) {
  auto blank = [&text](std::size_t at) { return at < text.size() && (text[at] == ' ' || text[at] == '\t'); };
  labels.clear();
  std::size_t at = 0;
  while (true) {
    while (blank(at)) ++at;
    std::string label;
    if (at < text.size() && text[at] == '"') {
      for (++at;; ++at) {
        if (at >= text.size()) return "a double quote is not closed";
        if (text[at] == '"' && (at + 1 >= text.size() || text[at + 1] != '"')) break;
        if (text[at] == '"') ++at;  // the first of a pair of quotes
        label += text[at];
      }
      ++at;
      while (blank(at)) ++at;
      if (at < text.size() && text[at] != ',') return "text after a closing double quote";
    } else {
      const std::size_t comma = std::min(text.find(',', at), text.size());
      label = text.substr(at, comma - at);
      while (!label.empty() && (label.back() == ' ' || label.back() == '\t')) label.pop_back();
      if (label.find('"') != std::string::npos) return "a double quote inside a label that does not start with one";
      at = comma;
    }
    if (label.empty()) return "an empty label";
    labels.push_back(label);
    if (at >= text.size()) break;
    ++at;  // the comma
  }
  std::set<std::string> texts;
  std::set<double> values;
  for (const std::string& label : labels) {
    const std::optional<double> value = NumberField(label);
    if (value ? !values.insert(*value + 0.0).second : !texts.insert(label).second) {
      return "the label " + QuotedText(label) + " is given twice";
    }
  }
  if (labels.size() < 2) return "at least 2 classes are needed";
  if (labels.size() > static_cast<std::size_t>(kMaxClasses)) return "at most 1000 classes can be analysed";
  return "";
}

std::string ParseLevels(const std::string& text, std::vector<AlphaLevel>& levels) {
  static const char* const kNames[] = {"nominal", "ordinal", "interval", "ratio"};
  std::vector<bool> chosen(std::size(kNames), false);
  std::size_t at = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::size_t first = text.find_first_not_of(" \t", at);
    const std::size_t last = text.find_last_not_of(" \t", comma - 1);
    const std::string name = first < comma && last != std::string::npos ? text.substr(first, last - first + 1) : "";
    const auto found = std::find(std::begin(kNames), std::end(kNames), name);
    if (found == std::end(kNames)) return QuotedText(name) + " is not nominal, ordinal, interval or ratio";
    const std::size_t level = static_cast<std::size_t>(found - std::begin(kNames));
    if (chosen[level]) return QuotedText(name) + " is given twice";
    chosen[level] = true;
    if (comma >= text.size()) break;
    at = comma + 1;
  }
  levels.clear();
  for (std::size_t level = 0; level < chosen.size(); ++level) {
    if (chosen[level]) levels.push_back(static_cast<AlphaLevel>(level));
  }
  return "";
}

bool ParseSeed(const std::string& text, std::uint64_t& seed) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return false;
  seed = value;
  return true;
}

}  // namespace zover
