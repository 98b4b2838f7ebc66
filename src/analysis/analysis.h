#pragma once
// The engine's door: read a data set, analyse it, and get every result as
// one list of rows. Programs that link the engine (the command line, the
// language bindings, the page in a browser) need nothing else: no console,
// no command-line parser and no global state; each call owns its working
// tables.
//
//   Dataset data = ReadData(source, "ratings.csv", read);
//   if (!data.ok()) { report data.error; }
//   Results results = Analyse(data, request);
//   for (const ResultRow& row : results.rows) { ... }
//
// The printers of src/output turn a Results into text, JSON, CSV, a page or
// a figure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console/data_source.h"
#include "input/text_fields.h"
#include "tables/results.h"
#include "tables/tables.h"
#include "tables/version.h"

namespace zover {

// What a data file holds.
enum class Layout {
  kRaw,          // one line per object, one class per rater
  kFrequencies,  // one line per response tuple: the classes, then the frequency
  kModel,        // K, R, n, then per class its agreements and disagreements
  kLong,         // one line per rating: object, rater, rating
};

// How to read a data file.
struct ReadOptions {
  Layout layout = Layout::kRaw;
  bool header = false;   // the first line names the raters (or the long layout's columns)
  bool id = false;       // the first field of every line labels the object
  bool missing = false;  // an empty field, NA or . is a missing rating
  bool labels = false;   // every rating is a label, any text
  std::vector<std::string> classes;  // the labels of the classes, in their order
  Separator separator = Separator::kDetect;  // by default the first line decides
  bool noHeader = false;  // the first line is data, whatever it looks like
  // The raters' columns of a raw file, or the object's, the rater's and the
  // rating's columns of a long file, each by its header name or its number
  // from 1; empty: every column (raw) or the three there are (long).
  std::vector<std::string> raters;
  std::vector<std::string> longColumns;
  // The analysis treats the classes as ordered (weights, or alpha above the
  // nominal level): text labels then need their order in `classes`.
  // OrderedAnalysis(request) gives it.
  bool ordered = false;
  // Keep every object's name and ratings, for the adjudication list of the
  // results (raw and long files; frequencies and model data hold no objects).
  bool objects = false;
};

// What to compute beside the model and the kappas.
struct Request {
  // The coefficients beside the kappas (Gwet's family, Krippendorff's alpha,
  // the tests against chance, the weighted forms); the dialogue's passes
  // print only the model and the kappas.
  bool coefficients = true;
  WeightScheme weights = WeightScheme::kIdentity;  // identity: no weighted coefficients
  // Krippendorff's alpha at these levels, each with a bootstrap interval, in
  // the order of AlphaLevel; empty: the nominal alpha alone, without one.
  std::vector<AlphaLevel> levels;
  long samples = 1000;     // bootstrap resamples; 0: none
  std::uint64_t seed = 1;  // of the bootstrap's random numbers
  BootstrapMethod method = BootstrapMethod::kObjects;  // what a resample draws
  double level = kDefaultLevel;  // of every confidence interval, normal or bootstrap
  // The pairs of raters (their kappas, tables and Light's kappa) are left
  // out, with the reason, when the raters make more pairs than this: the
  // 4950 pairs of 100 raters by default; kEveryPair: all of them (--pairs).
  // Their cost grows with R^2.
  std::size_t maxPairs = kDefaultPairs;
  static constexpr std::size_t kDefaultPairs = 4950;
  static constexpr std::size_t kEveryPair = static_cast<std::size_t>(-1);
};

// Whether `request` treats the classes as ordered: weights, or
// Krippendorff's alpha at a level above nominal.
bool OrderedAnalysis(const Request& request);

// A data set as read: the observed data (or model data) with what describes
// the reading, or why the file was refused.
struct Dataset {
  ObservedData data;
  std::string name;     // the file's name, as given
  Layout layout = Layout::kRaw;
  std::string options;  // the reading options as a user types them ("--header --missing")
  // Empty when the file was read; otherwise the refusal as one line, with
  // the option that reads what was refused where there is one, e.g.
  // ERROR in file "r.csv", line 3, field 2: the field is empty; add --missing ...
  std::string error;
  bool ok() const { return error.empty(); }
};

// Reads `source` (named `name` in messages) in the layout of `options`.
Dataset ReadData(DataSource& source, const std::string& name, const ReadOptions& options);

// Data that the dialogue entered (its files or the keyboard), as a data set.
Dataset EnteredData(ObservedData&& data);

// The analysis: the Zover model with its report, the raw agreement and the
// kappas (when at least two objects are rated by every rater), then, as
// `request` asks, the coefficients beside them, the pairs of raters and each
// rater (and each object, when the reading kept them); every value as rows,
// the pairs' tables, the raters' class distributions and the adjudication
// list in Results::disagreement.
Results Analyse(const Dataset& data, const Request& request);

}  // namespace zover
