// The engine's entry for the page in a browser. The page's worker
// (web/worker.js) hands it the name of a file and the page's options; the
// engine reads the file's bytes through the worker, chunk by chunk, analyses
// them and renders every output at once: the page, JSON, CSV, the figure and
// the text, or the message of a refusal.
//
//   int status = zover_analyse(name, settings);     // 0, kRefused or kNoMemory
//   zover_output(kHtml), zover_output_size(kHtml);  // the page's bytes
//
// The settings are one JSON object of strings, named as the command line
// names its options ("header", "classes", "alpha-level", ...): an option that
// is not given is left out, a flag is given as "1".

#include <emscripten.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <iterator>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "analysis/analysis.h"
#include "analysis/option_values.h"
#include "input/text_fields.h"
#include "output/batch_output.h"

namespace {

using zover::BootstrapMethod;
using zover::Layout;
using zover::WeightScheme;

// The outputs of the last analysis, as zover_output numbers them.
// kWarnings: the reading's warnings, one a line, as the command line gives
// them on standard error (the outputs hold them too).
enum Output { kMessage, kHtml, kJson, kCsv, kSvg, kText, kWarnings, kOutputs };
std::string outputs[kOutputs];

constexpr int kAnalysed = 0;
constexpr int kRefused = 1;   // the options or the data were refused: the message says why
constexpr int kNoMemory = 2;  // the browser gave the engine no more memory

// What the page's options ask for.
struct Settings {
  zover::ReadOptions read;
  zover::Request request;
  bool bootstrapGiven = false;  // --bootstrap, --seed or --bootstrap-method
};

std::string Flag(const std::string& value, bool& flag) {
  flag = value == "1";
  return flag || value == "0" ? "" : "is given as 1 or 0";
}

template <typename T, std::size_t N>
std::string Choice(const std::string& value, const std::pair<const char*, T> (&choices)[N], T& chosen) {
  std::string names;
  for (const auto& [name, choice] : choices) {
    if (value == name) {
      chosen = choice;
      return "";
    }
    names += std::string(names.empty() ? "" : ", ") + name;
  }
  return zover::QuotedText(value) + " is not one of " + names;
}

std::string Samples(const std::string& value, long& samples) {
  if (value.empty() || value.size() > 7 || value.find_first_not_of("0123456789") != std::string::npos ||
      std::stol(value) > 1000000) {
    return zover::QuotedText(value) + " is not a whole number from 0 to 1000000";
  }
  samples = std::stol(value);
  return "";
}

// The bootstrap's options, which without --alpha-level ask for the nominal
// alpha with its interval.
std::string Bootstrap(Settings& settings, const std::string& problem) {
  settings.bootstrapGiven = true;
  return problem;
}

// --pairs: every pair of raters, however many.
std::string EveryPair(const std::string& value, std::size_t& maxPairs) {
  bool every = false;
  const std::string problem = Flag(value, every);
  if (every) maxPairs = zover::Request::kEveryPair;
  return problem;
}

const std::pair<const char*, Layout> kLayouts[] = {
    {"raw", Layout::kRaw}, {"frequencies", Layout::kFrequencies}, {"long", Layout::kLong}, {"model", Layout::kModel}};
const std::pair<const char*, WeightScheme> kWeights[] = {
    {"identity", WeightScheme::kIdentity}, {"linear", WeightScheme::kLinear}, {"quadratic", WeightScheme::kQuadratic}};
const std::pair<const char*, BootstrapMethod> kMethods[] = {{"objects", BootstrapMethod::kObjects},
                                                            {"pairs", BootstrapMethod::kPairs}};

// The page's options, one line each, in the order they are read (--header
// before the columns it names): the name that web/page.js gives its
// control, and what its value sets. A value is refused with the command
// line's words for the option of the same name.
using S = Settings;
using V = const std::string;
using Setter = std::string (*)(Settings&, const std::string&);
const std::pair<const char*, Setter> kSettings[] = {
    {"layout", [](S& s, V& v) { return Choice(v, kLayouts, s.read.layout); }},
    {"header", [](S& s, V& v) { return Flag(v, s.read.header); }},
    {"no-header", [](S& s, V& v) { return Flag(v, s.read.noHeader); }},
    {"sep", [](S& s, V& v) { return zover::ParseSeparator(v, s.read.separator); }},
    {"id", [](S& s, V& v) { return Flag(v, s.read.id); }},
    {"raters", [](S& s, V& v) { return zover::ParseColumns(v, false, s.read.header, s.read.raters); }},
    {"long-columns", [](S& s, V& v) { return zover::ParseColumns(v, true, s.read.header, s.read.longColumns); }},
    {"missing", [](S& s, V& v) { return Flag(v, s.read.missing); }},
    {"labels", [](S& s, V& v) { return Flag(v, s.read.labels); }},
    {"classes", [](S& s, V& v) { return zover::ParseClassList(v, s.read.classes); }},
    {"weights", [](S& s, V& v) { return Choice(v, kWeights, s.request.weights); }},
    {"alpha-level", [](S& s, V& v) { return zover::ParseLevels(v, s.request.levels); }},
    {"bootstrap", [](S& s, V& v) { return Bootstrap(s, Samples(v, s.request.samples)); }},
    {"bootstrap-method", [](S& s, V& v) { return Bootstrap(s, Choice(v, kMethods, s.request.method)); }},
    {"seed", [](S& s, V& v) { return Bootstrap(s, zover::ParseSeed(v, s.request.seed)); }},
    {"level", [](S& s, V& v) { return zover::ParseLevel(v, s.request.level); }},
    {"pairs", [](S& s, V& v) { return EveryPair(v, s.request.maxPairs); }},
    {"objects", [](S& s, V& v) { return Flag(v, s.read.objects); }},
};

// The settings' JSON as options; returns what is wrong, or "".
std::string ReadSettings(const char* text, Settings& settings) {
  const nlohmann::json given = nlohmann::json::parse(text, nullptr, false);
  if (!given.is_object()) return "the page's options are not a JSON object";
  for (const auto& [name, value] : given.items()) {
    const bool known = std::any_of(std::begin(kSettings), std::end(kSettings),
                                   [&name = name](const auto& setting) { return name == setting.first; });
    if (!known || !value.is_string()) return "--" + name + " is not an option of this page";
  }
  for (const auto& [name, set] : kSettings) {
    const auto value = given.find(name);
    if (value == given.end()) continue;
    const std::string problem = set(settings, value->get<std::string>());
    if (!problem.empty()) return std::string("--") + name + ": " + problem;
  }
  if (settings.read.header && settings.read.noHeader) return "--no-header excludes --header";
  zover::SettleOptions(settings.bootstrapGiven, settings.read, settings.request);
  return "";
}

}  // namespace

// The worker's reading of the file: up to `size` bytes into `buffer`; the
// number read, 0 at the end, -1 when the browser could not read the file.
EM_JS(long, zover_page_read, (char* buffer, std::size_t size), { return Module.pageRead(buffer, size); });
// Why the last read failed, into `buffer` of `size` bytes.
EM_JS(void, zover_page_read_error, (char* buffer, std::size_t size), {
  stringToUTF8(Module.pageReadError || "", buffer, size);
});

namespace {

class PageFile : public zover::DataSource {
 public:
  long Read(char* buffer, std::size_t size) override { return zover_page_read(buffer, size); }
  std::string Error() const override {
    char text[256];
    zover_page_read_error(text, sizeof text);
    return text;
  }
};

int Analyse(const char* name, const char* settingsText) {
  Settings settings;
  std::string& message = outputs[kMessage];
  message = ReadSettings(settingsText, settings);
  if (!message.empty()) return kRefused;
  PageFile file;
  zover::Results results;
  {
    const zover::Dataset data = zover::ReadData(file, name, settings.read);
    if (!data.ok()) {
      message = data.error;
      return kRefused;
    }
    for (const std::string& warning : data.data.warnings) outputs[kWarnings] += warning + "\n";
    results = zover::Analyse(data, settings.request);
  }
  using Printer = void (*)(const zover::Results&, std::ostream&);
  const std::pair<Output, Printer> printers[] = {{kHtml, zover::PrintHtml},
                                                 {kJson, zover::PrintJson},
                                                 {kCsv, zover::PrintCsv},
                                                 {kSvg, zover::PrintSvg},
                                                 {kText, zover::PrintBatchText}};
  for (const auto& [output, print] : printers) {
    std::ostringstream text;
    text.exceptions(std::ios::badbit | std::ios::failbit);
    print(results, text);
    outputs[output] = text.str();
  }
  return kAnalysed;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int zover_analyse(const char* name, const char* settings) {
  for (std::string& output : outputs) std::string().swap(output);
  try {
    return Analyse(name, settings);
  } catch (const std::bad_alloc&) {
    for (std::string& output : outputs) std::string().swap(output);
    outputs[kMessage] = "ERROR: not enough memory for these data.";
    return kNoMemory;
  } catch (const std::exception&) {
    for (std::string& output : outputs) std::string().swap(output);
    outputs[kMessage] = "ERROR: the program could not go on.";
    return kRefused;
  }
}

EMSCRIPTEN_KEEPALIVE const char* zover_output(int which) {
  return which >= 0 && which < kOutputs ? outputs[which].data() : "";
}

EMSCRIPTEN_KEEPALIVE std::size_t zover_output_size(int which) {
  return which >= 0 && which < kOutputs ? outputs[which].size() : 0;
}

}  // extern "C"
