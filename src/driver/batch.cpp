// The batch command: read FILE in its layout, build the tables, analyse the
// pass and write its results. A refusal is the dialogue's message on
// standard error as one line, after "zover: ", with nothing on standard
// output; where an option would have read the field, the message names it.
// The result is complete in memory before anything is written, and an output
// file is created or replaced only then: memory that runs out while the
// result is built, like any other failure, leaves nothing written.

#include "driver/batch.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <ostream>
#include <streambuf>

#include "driver/driver.h"
#include "input/input.h"
#include "output/batch_output.h"

namespace zover {

namespace {

constexpr int kExitRefused = 1;
constexpr const char* kNoMemory = "ERROR: not enough memory for these data.";
constexpr const char* kCannotGoOn = "ERROR: the program could not go on.";

// A message of the dialogue as one line: without the line ends and blanks
// around it.
std::string OneLine(const std::string& message) {
  const std::size_t first = message.find_first_not_of(" \n");
  if (first == std::string::npos) return "";
  const std::size_t last = message.find_last_not_of(" \n");
  return message.substr(first, last - first + 1);
}

int Refuse(BatchSystem& system, const std::string& message) {
  system.err << "zover: " << OneLine(message) << "\n";
  return kExitRefused;
}

// The refusal of a data file, with the option that reads what was refused.
std::string FaultMessage(const BatchOptions& options, ReadFault fault) {
  using Kind = ReadFault::Kind;
  const bool missingFits = options.layout == Layout::kRaw || options.layout == Layout::kLong;
  const char* const missingHint = "; add --missing to read empty fields, NA and . as missing ratings";
  switch (fault.kind) {
    case Kind::kNotClassNumber:
      fault.what = QuotedText(fault.text) + " is " + fault.what +
                   (fault.field == 1 && options.layout == Layout::kRaw && !options.id
                        ? "; add --id if the first column names the objects, or --labels to use text labels as classes"
                        : "; add --labels to use text labels as classes");
      break;
    case Kind::kEmptyRating:
    case Kind::kMissingMark:
      if (missingFits) fault.what += missingHint;
      break;
    case Kind::kSeparators: fault.what += "; choose the separator with --sep ',', ';', tab or blank"; break;
    case Kind::kLooksLikeHeader:
      fault.what += "; add --header to read it as names, or --no-header to read it as data";
      break;
    case Kind::kLongColumns:
      fault.what +=
          "; name the object's, the rater's and the rating's columns with --long-columns OBJECT,RATER,RATING, "
          "by the header's names (with --header) or by their numbers from 1";
      break;
    case Kind::kOther: break;
  }
  return DialogueMessage(fault, options.file);
}

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kFrequencies: return "frequencies";
    case Layout::kModel: return "model";
    case Layout::kLong: return "long";
    case Layout::kRaw: break;
  }
  return "raw";
}

// The options that shaped the reading, as a user would type them.
std::string ReadingOptions(const BatchOptions& options) {
  std::string text;
  const char* const separators[] = {"", "", "blank", "','", "';'", "tab"};
  const std::pair<bool, std::string> flags[] = {
      {options.header, "--header"},
      {options.noHeader, "--no-header"},
      {options.separator != Separator::kDetect, std::string("--sep ") + separators[static_cast<int>(options.separator)]},
      {options.id, "--id"},
      {options.missing, "--missing"},
      {options.labels, "--labels"}};
  for (const auto& [set, name] : flags) {
    if (set) text += (text.empty() ? "" : " ") + name;
  }
  const std::pair<const char*, const std::vector<std::string>*> lists[] = {{"--raters", &options.raters},
                                                                          {"--long-columns", &options.longColumns}};
  for (const auto& [name, list] : lists) {
    if (list->empty()) continue;
    text += std::string(text.empty() ? "" : " ") + name + " ";
    for (std::size_t i = 0; i < list->size(); ++i) text += (i == 0 ? "" : ",") + (*list)[i];
  }
  if (!options.classes.empty()) {
    text += std::string(text.empty() ? "" : " ") + "--classes ";
    for (std::size_t i = 0; i < options.classes.size(); ++i) {
      std::string label = options.classes[i];
      if (label.find_first_of(",\"") != std::string::npos) {
        for (std::size_t at = label.find('"'); at != std::string::npos; at = label.find('"', at + 2)) {
          label.insert(at, 1, '"');
        }
        label = "\"" + label + "\"";
      }
      text += (i == 0 ? "" : ",") + label;
    }
  }
  return text;
}

// With missing ratings, the model and the kappas need two objects that
// every rater rated; the coefficients that use every rating do not.
constexpr double kMinCompleteObjects = 2;

// Why the estimates that are not numbers are missing. Hubert's kappa and H2
// have no number only when their chance agreement is 1, that is when every
// rater put every object in one and the same class; the model's final table
// only when the refit's increased data (K^R/2 pseudo-objects) pass what a
// double holds.
void ExplainMissingEstimates(PassResults& results) {
  const char* kappa = results.raw == 1 ? "every rating is in one class" : "the kappa is not a number";
  if (!std::isfinite(results.hubert.estimate)) results.hubert.reason = kappa;
  if (results.hasH2 && !std::isfinite(results.h2)) results.h2Reason = kappa;
  results.model.reason = results.model.pseudoObjects > 0 ? "the increased data of the refit are too large for a double"
                                                         : "the model gives no number for these data";
}

// Reads the file and builds the tables of its layout, as the dialogue's data
// entry of the same mode does.
ReadOutcome EnterFile(const BatchOptions& options, DataSource& file, ObservedData& data) {
  FileLayout layout;
  layout.header = options.header;
  layout.id = options.id;
  layout.missing = options.missing;
  layout.labels = options.labels;
  layout.classes = options.classes;
  layout.zeroFractions = true;
  layout.separator = options.separator;
  layout.noHeader = options.noHeader;
  layout.columns = options.layout == Layout::kLong ? options.longColumns : options.raters;
  const std::vector<AlphaLevel>& levels = options.ordered.levels;
  layout.ordered = options.ordered.weights != WeightScheme::kIdentity ||
                   std::any_of(levels.begin(), levels.end(), [](AlphaLevel l) { return l != AlphaLevel::kNominal; });
  switch (options.layout) {
    case Layout::kRaw:
    case Layout::kLong: {
      ReadOutcome read = options.layout == Layout::kRaw ? ArchivoFrom(file, data, options.file, layout)
                                                        : ReadLongFile(file, data, options.file, layout);
      if (read.ok && data.Norg >= kMinCompleteObjects) BuildTupleTables(data);
      return read;
    }
    case Layout::kFrequencies: {
      ReadOutcome read = ArchivoExtraFrom(file, data, options.file, layout);
      if (read.ok) BuildTupleTables(data);
      return read;
    }
    case Layout::kModel:
      return ReadModelFile(file, data, options.file);
  }
  return {};
}

// The analysis of the complete objects, when there are enough of them, and
// the coefficients of observed data.
PassResults AnalyseFile(const BatchOptions& options, Tables& tb) {
  PassResults results;
  const ObservedData& data = tb.data;
  if (data.Norg >= kMinCompleteObjects) {
    results = Analyse(tb);
    ExplainMissingEstimates(results);
  } else {
    results.analysed = false;
    results.notAnalysed = "fewer than 2 objects are rated by every rater";
    results.entrada = data.entrada;
    results.K = data.maxclase;
    results.R = data.R;
    results.n = data.Norg;
  }
  if (options.layout != Layout::kModel) AddCoefficients(tb, results);
  double incomplete = 0;
  for (const auto& pattern : data.incomplete) incomplete += pattern.second;
  results.input = {options.file, LayoutName(options.layout), data.raterNames, data.Norg + incomplete, data.Norg,
                   data.missingRatings, data.classLabels, data.classValues, ReadingOptions(options),
                   data.rowNames, data.warnings};
  if (options.layout != Layout::kModel) AddOrderedCoefficients(tb, options.ordered, results);
  return results;
}

// A stream buffer that appends to a string, so that a result of many
// megabytes is not copied again at the end, as std::ostringstream::str()
// would. A failed allocation throws out of it.
class StringBuf : public std::streambuf {
 public:
  explicit StringBuf(std::string& text) : text_(text) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) text_.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  std::string& text_;
};

// The whole result as text. A stream keeps an exception of its buffer to
// itself and only turns bad, which would leave a result cut short where
// memory ran out: here the exception is thrown on.
std::string Render(const BatchOptions& options, const PassResults& results) {
  std::string rendered;
  StringBuf buffer(rendered);
  std::ostream text(&buffer);
  text.exceptions(std::ios::badbit | std::ios::failbit);
  switch (options.format) {
    case OutputFormat::kText: PrintBatchText(results, text); break;
    case OutputFormat::kJson: PrintJson(results, text); break;
    case OutputFormat::kCsv: PrintCsv(results, text); break;
    case OutputFormat::kHtml: PrintHtml(results, text); break;
    case OutputFormat::kSvg: PrintSvg(results, text); break;
  }
  return rendered;
}

}  // namespace

int RunBatch(const BatchOptions& options, BatchSystem& system) {
  try {
    std::string why;
    const std::unique_ptr<DataSource> file = system.open(options.file, &why);
    if (!file) {
      Refuse(system, "\nERROR opening file. \n\n");
      system.err << "zover: " << options.file << ": " << why << "\n";
      return kExitRefused;
    }
    std::string rendered;
    {
      Tables tb;
      const ReadOutcome read = EnterFile(options, *file, tb.data);
      if (!read.ok) return Refuse(system, FaultMessage(options, read.fault));
      for (const std::string& warning : tb.data.warnings) system.err << "zover: warning: " << warning << ".\n";
      rendered = Render(options, AnalyseFile(options, tb));
    }
    if (options.output.empty()) {
      system.out << rendered;
      return 0;
    }
    if (!system.writeFile(options.output, rendered, &why)) {
      system.err << "zover: cannot write the output: " << why << "\n";
      return kExitRefused;
    }
    return 0;
  } catch (const std::bad_alloc&) {
    return Refuse(system, kNoMemory);
  } catch (const std::exception&) {
    return Refuse(system, kCannotGoOn);
  }
}

}  // namespace zover
