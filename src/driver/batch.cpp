// The batch command: read FILE in its layout, build the tables, analyse the
// pass and write its results. A refusal is the dialogue's message on
// standard error, after "zover: ", with nothing on standard output. The
// result is complete in memory before anything is written, and an output
// file is created or replaced only then.

#include "driver/batch.h"

#include <new>
#include <ostream>
#include <sstream>

#include "driver/driver.h"
#include "input/input.h"
#include "output/batch_output.h"

namespace zover {

namespace {

constexpr int kExitRefused = 1;

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

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kFrequencies: return "frequencies";
    case Layout::kModel: return "model";
    case Layout::kRaw: break;
  }
  return "raw";
}

// With missing ratings, the model and the kappas need two objects that
// every rater rated; the coefficients that use every rating do not.
constexpr double kMinCompleteObjects = 2;

// Reads the file and builds the tables of its layout, as the dialogue's data
// entry of the same mode does.
ReadOutcome EnterFile(const BatchOptions& options, DataSource& file, ObservedData& data) {
  const FileLayout layout{options.header, options.id, options.missing};
  switch (options.layout) {
    case Layout::kRaw: {
      ReadOutcome read = ArchivoFrom(file, data, options.file, layout);
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
                   data.missingRatings};
  return results;
}

std::string Render(const BatchOptions& options, const PassResults& results) {
  std::ostringstream text;
  switch (options.format) {
    case OutputFormat::kText: PrintBatchText(results, text); break;
    case OutputFormat::kJson: PrintJson(results, text); break;
    case OutputFormat::kCsv: PrintCsv(results, text); break;
  }
  return text.str();
}

}  // namespace

int RunBatch(const BatchOptions& options, BatchSystem& system) {
  std::string rendered;
  try {
    std::string why;
    const std::unique_ptr<DataSource> file = system.open(options.file, &why);
    if (!file) {
      Refuse(system, "\nERROR opening file. \n\n");
      system.err << "zover: " << options.file << ": " << why << "\n";
      return kExitRefused;
    }
    Tables tb;
    const ReadOutcome read = EnterFile(options, *file, tb.data);
    if (!read.ok) return Refuse(system, read.message);
    rendered = Render(options, AnalyseFile(options, tb));
  } catch (const std::bad_alloc&) {
    return Refuse(system, "\n\n ERROR: not enough memory for these data.\n");
  }
  if (options.output.empty()) {
    system.out << rendered;
    return 0;
  }
  std::string why;
  if (!system.writeFile(options.output, rendered, &why)) {
    system.err << "zover: cannot write the output: " << options.output << ": " << why << "\n";
    return kExitRefused;
  }
  return 0;
}

}  // namespace zover
