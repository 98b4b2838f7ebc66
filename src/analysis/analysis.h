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
  // The column that names each line's group (raw, frequencies and long
  // layouts), by its header name or its number from 1: ReadGroups reads one
  // data set per group; ReadData the data set of all groups together.
  std::string by;
  // A frequencies file that is one shard of a table (AddShards): a file
  // without data lines holds nothing, and the checks of the whole (2
  // objects, 2 classes) wait for the sum.
  bool shard = false;
  // The threads the reader may use (--threads; 0: one per core).
  int threads = 0;
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
  // The threads the analysis of large data may use (--threads); 0: one per
  // core of the machine. It has four parts to share out: the model with
  // the kappas and the coefficients of every rating, the pairs, the raters
  // and Conger's kappa; and Light's bootstrap counts several resamples at
  // once. The results are the same bit for bit whatever this is.
  int threads = 0;
  // Groups (AnalyseGroups): the coefficients compared between groups, by
  // their keys (the CSV's measure); empty: every coefficient of all classes
  // together that has a standard error. The page draws the first across the
  // groups (Fleiss' kappa when empty).
  std::vector<std::string> compare;
  // Two groups, by name, compared with each other; empty: each group with
  // the others pooled.
  std::vector<std::string> compareGroups;
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

// --- Groups: several analyses in one run -----------------------------------

// Data sets in groups, from one file with a group column (ReadGroups) or
// from several files, one a group (GroupFiles): each group's data set and
// the data set of every group together. The groups share the classes of
// all of them, so that a class means the same in each.
struct GroupedDataset {
  std::string by;                  // what names the groups: the --by column as given, or "file"
  Dataset all;                     // every group together
  std::vector<std::string> names;  // [group], in the order they first appear (files: as given)
  std::vector<Dataset> groups;     // [group]
  std::string error;               // as Dataset::error
  bool ok() const { return error.empty(); }
};

// Reads `source` with the group column `options.by`: the whole file (as
// ReadData reads it without the column) and each group's lines.
GroupedDataset ReadGroups(DataSource& source, const std::string& name, const ReadOptions& options);

// Several files read with the same options, each file its own group (named
// by the file); all groups together are the files' objects together, their
// raters matched by name (or by place, without names).
GroupedDataset GroupFiles(std::vector<Dataset>&& files, const ReadOptions& options);

// The frequencies files of one table cut into shards, added into one data
// set: they must describe the same raters (the same names with --header,
// or the same number); their classes are united as one file would hold
// them. Grouped shards (ReadGroups) add group by group, matched by name.
Dataset AddShards(std::vector<Dataset>&& shards, const ReadOptions& options);
GroupedDataset AddGroupedShards(std::vector<GroupedDataset>&& shards, const ReadOptions& options);

// The analysis of every group and of all of them together, and the
// comparisons of the groups that `request` asks for.
GroupedResults AnalyseGroups(const GroupedDataset& data, const Request& request);

// The analysis: the Zover model with its report, the raw agreement and the
// kappas (when at least two objects are rated by every rater), then, as
// `request` asks, the coefficients beside them, the pairs of raters and each
// rater (and each object, when the reading kept them); every value as rows,
// the pairs' tables, the raters' class distributions and the adjudication
// list in Results::disagreement.
Results Analyse(const Dataset& data, const Request& request);

}  // namespace zover
