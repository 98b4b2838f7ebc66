// The values of the reading and analysis options, as the command line and
// the page in a browser take them.

#include "analysis/option_values.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <set>
#include <utility>

#include "input/text_fields.h"
#include "tables/limits.h"

namespace zover {

std::string ParseList(const std::string& text, std::vector<std::string>& labels, const std::string& noun) {
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
      if (label.find('"') != std::string::npos) return "a double quote inside a " + noun + " that does not start with one";
      at = comma;
    }
    if (label.empty()) return "an empty " + noun;
    labels.push_back(label);
    if (at >= text.size()) break;
    ++at;  // the comma
  }
  return "";
}

std::string ParseClassList(const std::string& text, std::vector<std::string>& labels) {
  const std::string problem = ParseList(text, labels, "label");
  if (!problem.empty()) return problem;
  std::set<std::string> texts;
  for (const std::string& label : labels) {
    const std::optional<std::string> exact = ExactNumber(label);
    // A number is known by its exact value, a text by its bytes; "#" keeps
    // them apart.
    if (!texts.insert(exact ? *exact : "#" + label).second) return "the label " + QuotedText(label) + " is given twice";
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

std::string ParseSeed(const std::string& text, std::uint64_t& seed) {
  const std::string problem = QuotedText(text) + " is not a whole number from 0 to 18446744073709551615";
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return problem;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE) return problem;
  seed = value;
  return "";
}

std::string ParseColumns(const std::string& text, bool longFile, bool header, std::vector<std::string>& columns) {
  const std::string problem = ParseList(text, columns, "column");
  if (!problem.empty()) return problem;
  if (longFile && columns.size() != 3) return "three columns are needed: the object's, the rater's and the rating's";
  if (!longFile && columns.size() < 2) return "at least 2 raters are needed";
  if (!header) {
    for (const std::string& column : columns) {
      if (!WholeField(column, 1000000000000000000ULL)) {
        return QuotedText(column) + " is a name, and without --header the columns have no names";
      }
    }
  }
  return "";
}

std::string ParseSeparator(const std::string& text, Separator& separator) {
  const std::pair<const char*, Separator> separators[] = {
      {",", Separator::kComma},   {"comma", Separator::kComma}, {";", Separator::kSemicolon},
      {"semicolon", Separator::kSemicolon}, {"tab", Separator::kTab}, {"\t", Separator::kTab},
      {"blank", Separator::kBlank}};
  const auto found = std::find_if(std::begin(separators), std::end(separators),
                                  [&](const auto& known) { return text == known.first; });
  if (found == std::end(separators)) return QuotedText(text) + " is not ',', ';', tab or blank";
  separator = found->second;
  return "";
}

std::string ParseLevel(const std::string& text, double& level) {
  const std::optional<double> value = NumberField(text);
  if (!value || !(*value > 0 && *value < 1)) return QuotedText(text) + " is not a number between 0 and 1, such as 0.9";
  level = *value;
  return "";
}

void SettleOptions(bool bootstrapGiven, ReadOptions& read, Request& request) {
  if (request.levels.empty() && bootstrapGiven) request.levels = {AlphaLevel::kNominal};
  read.ordered = OrderedAnalysis(request);
}

}  // namespace zover
