#pragma once
// The command line. Without arguments the program is the interactive
// dialogue; with a file it analyses that file at once (the batch command);
// like every command-line tool it also answers --help and --version.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "input/text_fields.h"
#include "tables/results.h"

namespace zover {

constexpr int kExitUsage = 2;  // the command line is not understood

// What FILE holds.
enum class Layout {
  kRaw,          // one line per object, one class per rater
  kFrequencies,  // one line per response tuple: the classes, then the frequency
  kModel,        // K, R, n, then per class its agreements and disagreements
  kLong,         // one line per rating: object, rater, rating
};

enum class OutputFormat { kText, kJson, kCsv, kHtml, kSvg };

// The coefficients for ordered classes that were asked for.
struct OrderedRequest {
  WeightScheme weights = WeightScheme::kIdentity;  // identity: no weighted coefficients
  // Krippendorff's alpha at these levels, each with a bootstrap interval, in
  // the order of AlphaLevel; empty when none of --alpha-level, --bootstrap
  // and --seed was given (the nominal alpha alone, as always).
  std::vector<AlphaLevel> levels;
  long samples = 1000;      // bootstrap resamples; 0: none
  std::uint64_t seed = 1;   // of the bootstrap's random numbers
};

struct BatchOptions {
  std::string file;  // "-": standard input
  Layout layout = Layout::kRaw;
  bool header = false;   // the first line names the raters
  bool id = false;       // the first field of every line labels the object
  bool missing = false;  // an empty field, NA or . is a missing rating
  bool labels = false;   // every rating is a label, any text
  std::vector<std::string> classes;  // the labels of the classes, in their order (--classes)
  Separator separator = Separator::kDetect;  // --sep; by default the first line decides
  bool noHeader = false;  // the first line is data, whatever it looks like (--no-header)
  std::vector<std::string> raters;       // the raters' columns, by name or number (--raters)
  std::vector<std::string> longColumns;  // object, rater, rating columns (--long-columns)
  OutputFormat format = OutputFormat::kText;
  std::string output;    // "" : standard output
  OrderedRequest ordered;
};

// What the command line asks for. kAnswered: --help, --version or a usage
// error, already answered on `out` or `err`, with its exit status.
struct Command {
  enum Kind { kDialogue, kBatch, kAnswered };
  Kind kind = kDialogue;
  int status = 0;
  BatchOptions batch;
};

Command ParseArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zover
