// Fuzz target: the batch command in-process, with arbitrary bytes as FILE
// and the options from the first three bytes. The first: the layout (raw,
// frequencies, model), --header, --id and --missing where the layout takes
// them, the format (text, JSON, CSV, HTML, SVG) and -o; the second: the
// weights, the levels of Krippendorff's alpha, a short bootstrap and
// --labels; the third: the long layout in place of the raw one and a list of
// --classes (0: none of them). Every run must end with status 0 or 1. With 0,
// standard error is empty and the result, on standard output or alone in the
// -o file, is well formed: one JSON document with a reason beside every null
// estimate, CSV of the header and eleven cells a row, an HTML page or SVG
// figure that is well-formed XML in valid UTF-8 and refers to nothing outside
// itself, or text that spells values that are not finite as NaN, Inf or -Inf
// (the line of the labels aside: a label is any text); standard error holds
// nothing but warnings, which the JSON lists too. With 1, nothing is written
// and standard error holds the message.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "driver/batch.h"
#include "fuzz_checks.h"

namespace {

using zover::fuzz::Check;

zover::BatchOptions OptionsOf(std::uint8_t bits, std::uint8_t ordered, std::uint8_t reading) {
  zover::BatchOptions options;
  options.file = "data";
  options.read.layout = bits % 3 == 0 ? zover::Layout::kRaw : bits % 3 == 1 ? zover::Layout::kFrequencies : zover::Layout::kModel;
  const zover::OutputFormat formats[] = {zover::OutputFormat::kText, zover::OutputFormat::kJson,
                                         zover::OutputFormat::kCsv, zover::OutputFormat::kHtml,
                                         zover::OutputFormat::kSvg};
  options.format = formats[bits / 3 % 5];
  options.read.header = (bits & 0x10) != 0 && options.read.layout != zover::Layout::kModel;
  options.read.id = (bits & 0x20) != 0 && options.read.layout == zover::Layout::kRaw;
  options.read.missing = (bits & 0x40) != 0 && options.read.layout == zover::Layout::kRaw;  // the long layout too, below
  if ((bits & 0x80) != 0) options.output = "result";
  const zover::WeightScheme schemes[] = {zover::WeightScheme::kIdentity, zover::WeightScheme::kLinear,
                                         zover::WeightScheme::kQuadratic};
  options.request.weights = schemes[ordered % 3];
  for (int level = 0; level < 4; ++level) {
    if ((ordered & (0x04 << level)) != 0) options.request.levels.push_back(static_cast<zover::AlphaLevel>(level));
  }
  options.request.samples = (ordered & 0x40) != 0 ? 50 : 0;
  options.read.labels = (ordered & 0x80) != 0 && options.read.layout != zover::Layout::kModel;
  if (options.read.layout == zover::Layout::kRaw && (reading & 1) != 0) {
    options.read.layout = zover::Layout::kLong;
    options.read.id = false;
  }
  if ((reading & 2) != 0 && options.read.layout != zover::Layout::kModel) {
    options.read.classes = (reading & 4) != 0 ? std::vector<std::string>{"no", "yes"} : std::vector<std::string>{"1", "2", "3"};
  }
  if (options.read.layout == zover::Layout::kModel) options.request = {};
  return options;
}

// Every object of `j` whose estimate is null says why.
void CheckReasons(const nlohmann::json& j, const std::string& where) {
  if (j.is_object() && j.contains("estimate") && j["estimate"].is_null()) {
    Check(j.contains("reason"), "a null estimate carries its reason", where);
  }
  if (j.is_structured()) {
    for (auto it = j.begin(); it != j.end(); ++it) CheckReasons(*it, where + "/" + (j.is_object() ? it.key() : "[]"));
  }
}

// The CSV's rows: the header first, then as many cells a row as the header
// names (a quoted cell may hold a separator).
void CheckCsv(const std::string& csv) {
  const std::string start = "measure,class,rater,estimate,se,";
  Check(csv.compare(0, start.size(), start) == 0, "the CSV header first");
  const std::string header = csv.substr(0, csv.find('\n'));
  const int columns = 1 + static_cast<int>(std::count(header.begin(), header.end(), ','));
  int cells = 1;
  bool quoted = false;
  for (const char c : csv) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',') ++cells;
    if (c == '\n') {
      Check(cells == columns, "the header's number of cells a row", std::to_string(cells));
      cells = 1;
    }
  }
  Check(!quoted && cells == 1, "rows end with a line end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 3) return 0;
  const zover::BatchOptions options = OptionsOf(bytes[0], bytes[1], bytes[2]);
  const std::string file(reinterpret_cast<const char*>(bytes) + 3, size - 3);
  std::ostringstream out, err;
  std::map<std::string, std::string> written;
  zover::BatchSystem system{
      out, err,
      [&file](const std::string&, std::string*) { return std::make_unique<zover::StringSource>(file); },
      [&written](const std::string& path, const std::string& content, std::string*) {
        written[path] = content;
        return true;
      }};
  const int status = zover::RunBatch(options, system);
  Check(status == 0 || status == 1, "status 0 or 1", std::to_string(status));
  if (status == 1) {
    Check(out.str().empty() && written.empty(), "nothing written after a failure");
    Check(err.str().rfind("zover: ", 0) == 0 && err.str().back() == '\n', "a message on standard error", err.str());
    return 0;
  }
  // Standard error holds only warnings, one a line, and the JSON the same ones.
  std::vector<std::string> warnings;
  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);) {
    Check(line.rfind("zover: warning: ", 0) == 0 && line.back() == '.', "only warnings on standard error", err.str());
    warnings.push_back(zover::ValidUtf8(line.substr(16, line.size() - 17)));  // as JSON writes a text
  }
  Check(options.output.empty() ? written.empty() : out.str().empty() && written.size() == 1,
        "the result on standard output or in the -o file alone");
  const std::string result = options.output.empty() ? out.str() : written.begin()->second;
  switch (options.format) {
    case zover::OutputFormat::kJson: {
      const nlohmann::json j = nlohmann::json::parse(result, nullptr, false);
      Check(!j.is_discarded(), "one JSON document", result.substr(0, 400));
      Check(warnings.empty() ? !j.contains("warnings") : j["warnings"] == nlohmann::json(warnings),
            "the warnings of standard error in the JSON", err.str());
      CheckReasons(j, "");
      break;
    }
    case zover::OutputFormat::kCsv: CheckCsv(result); break;
    case zover::OutputFormat::kHtml:
    case zover::OutputFormat::kSvg: {
      std::string why;
      Check(zover::fuzz::SelfContainedXml(result, &why), "well-formed, self-contained XML", why);
      break;
    }
    case zover::OutputFormat::kText: {
      Check(!result.empty() && result.back() == '\n', "text ends with a line end");
      const std::size_t labels = result.find("\nClasses: ");
      const std::size_t end = labels == std::string::npos ? labels : result.find('\n', labels + 1);
      std::string numbers = result;
      if (labels != std::string::npos) numbers.erase(labels, end - labels);
      Check(zover::fuzz::NoLowercaseNonFinite(numbers), "non-finite values as NaN, Inf, -Inf");
      break;
    }
  }
  return 0;
}
