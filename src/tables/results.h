#pragma once
// The results of one analysis: everything that any printer shows, filled by
// the engine (src/analysis) and read by the dialogue's report and the batch
// command's text, JSON, CSV, page and figure. Every coefficient is one row
// of Results::rows, with its estimate, standard errors, interval, test and
// the reason of every missing value; nothing here is computed by a printer,
// so that every output shows the same numbers. The kappa code returns its
// coefficients in shapes of its own (kappa/estimates.h), which the engine
// turns into rows.
//
// Classes are 0 .. K-1 here (1 .. K in every output), raters 0 .. R-1.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tables/entry_mode.h"
#include "tables/grid.h"
#include "tables/rated_objects.h"

namespace zover {

// The level of every confidence interval unless --level asks for another.
constexpr double kDefaultLevel = 0.95;

// 1.959963984540054: the two-sided 95 % point of the standard normal, as the
// program has always printed its intervals with (the nearest double to the
// exact 1.95996398454005423552 is one unit in the last place above it).
constexpr double kNormal975 = 1.959963984540054;

// The two-sided point z of the standard normal for a confidence level P
// (0 < P < 1): P(|Z| <= z) = P, the upper (1 + P)/2 quantile. From Wichura's
// algorithm AS 241 (1988, PPND16, relative error about 1e-16) on the upper
// tail (1 - P)/2, except that P = 0.95 gives kNormal975, so that the 95 %
// intervals keep their bytes. Not a number outside (0, 1).
double TwoSidedNormalPoint(double level);

// The values a measure can take; its interval stops at them.
struct Range {
  double low;
  double high;
};
// The kappas (Hubert's, Cohen's, Fleiss', Cohen's weighted).
constexpr Range kKappaRange{-1, 1};
// Percent agreement, a share of agreeing pairs.
constexpr Range kShareRange{0, 1};
// The model's agreements, consistencies and overall degree: at most 1, and
// not bounded below (a degenerate fit can give any negative value).
constexpr Range kModelRange{-std::numeric_limits<double>::infinity(), 1};

// The range of a coefficient gamma = (pa - pe) / (1 - pe) with an observed
// agreement pa between 0 and 1 (Gwet's family, weighted or not): from
// -pe / (1 - pe), where nobody agrees, to 1. Below -1 when pe > 1/2, as the
// weighted Brennan-Prediger and Fleiss' kappa in Gwet's form can be; percent
// agreement (pe = 0) gets [0, 1].
inline Range ChanceCorrectedRange(double pe) { return {-pe / (1 - pe), 1}; }

// The confidence interval estimate -/+ z se at `level` (z =
// TwoSidedNormalPoint(level)), as (lower, upper), clamped to the measure's
// range (as irrCAC clamps the upper end of its intervals at 1); an estimate
// outside the range, which only a degenerate fit gives, stays inside its
// interval, so that a clamp never crosses the estimate.
inline std::pair<double, double> ConfidenceInterval(double estimate, double se, Range range,
                                                    double level = kDefaultLevel) {
  const double z = TwoSidedNormalPoint(level);
  return {std::max(std::min(range.low, estimate), estimate - z * se),
          std::min(std::max(range.high, estimate), estimate + z * se)};
}

// Which model report a pass prints, chosen from the first fit.
enum class Report {
  kTwoByTwo,           // two raters, two classes: fitted with a dummy class
  kIndeterminate,      // B = 0: the chance probabilities are indeterminate
  kMinusInfinity,      // B = -1: the agreement of class t is minus infinity
  kInfiniteSolutions,  // B = -2: the model equations have infinitely many solutions
  kZeroProbability,    // some chance probability is 0: then the regular report
  kRegular,
};

// A kappa coefficient with its large-sample standard error, when the data
// give one (model data carry no tuple frequencies).
struct KappaEstimate {
  double estimate = 0;
  double se = 0;
  bool hasSe = false;
  std::string reason;  // why the estimate is not a number, for the batch outputs
  Range range = kKappaRange;  // the values the kappa can take, where its interval stops
  double objectsUsed = 0;     // the objects it is computed from: those every rater rated
};

// One fit of the model: its estimate of B, class t, the class parameters
// and the measures derived from them.
struct ModelFit {
  double B = 0;                     // exactly 0, -1 and -2 mark the degenerate outcomes
  int t = 0;                        // the class with the largest bound
  std::vector<double> alpha;        // [class]: class parameters (class t at its
                                    // larger solution when the fit took it)
  std::vector<double> consistency;  // [class]
  std::vector<double> agreement;    // [class]
  Grid<double> pi;                  // [class][rater]: chance probabilities
  double overall = 0;               // 1 - B, as the reports have always printed it
  // The overall degree as the sum of the class agreements, sum_i A_i (the
  // two real classes' of two raters and two classes; `overall` itself for
  // the degenerate outcomes). Equal to 1 - B in exact arithmetic, but where
  // the pseudo-objects of a refit swamp the data, B lies within rounding of
  // 1 and 1 - B is noise of about 1e-13 whose sign means nothing, while each
  // A_i = s_i / n - alpha_i keeps the digits, and the sign, that the data
  // give: the batch outputs' value of a refit.
  double overallSum = 0;
  // A fit far below chance (see doc/statistics.md, "How the model is
  // solved") is fixed only as well as the data's own rounding allows:
  // `spread` is how far B, and with it the overall degree, moves when every
  // proportion moves by one rounding (0 for every other fit); the fit is
  // `stable` when 16 times that is within the printed 4th decimal (5e-5), so
  // that every value it prints has its true 4 decimals.
  double spread = 0;
  bool stable = true;
};

// The model of a pass, as FitModel returns it. The per-class tables of a fit
// with the dummy class (two raters, two classes) hold that class too.
struct ModelResults {
  Report report = Report::kRegular;  // chosen from the first fit
  ModelFit first;                    // the fit of the data as entered
  // The refit on data increased by 0.5 per response tuple, when the first
  // fit has a proportion of exactly 0 or B within 1e-12 of -1 or -2.
  std::optional<ModelFit> refit;
  // The fit that the standard errors belong to.
  const ModelFit& latest() const { return refit ? *refit : first; }
  // Large-sample standard errors of the latest fit's measures.
  std::vector<double> consistencySe;  // [class]
  std::vector<double> agreementSe;    // [class]
  double overallSe = 0;
  // Two raters and two classes: the three-class fit with the dummy class.
  std::vector<double> agreementesp;  // [3]
  Grid<double> piesp;                // [3][rater]
  double overallesp = 0;
  // The data the printed standard errors belong to: increments of 0.5 per
  // response tuple (0 without, 0.5 once, 1 for a refit of the two-by-two
  // case) and the objects they add, N - n.
  double increment = 0;
  double pseudoObjects = 0;
  // Why a value of the printed final table is not a number, for the batch
  // outputs.
  std::string reason;
  // Whether every fit printed (the first and the refit) is stable, and the
  // larger of their spreads (ModelFit).
  bool stable = true;
  double spread = 0;
  double objectsUsed = 0;  // the real objects fitted, n (every rater rated them)
};

// The table printed with standard errors: the first fit in the regular and
// the two-raters-two-classes reports, the latest fit (the refit on increased
// data) in every other report.
inline const ModelFit& FinalMeasures(const ModelResults& model) {
  return model.report == Report::kRegular || model.report == Report::kTwoByTwo ? model.first : model.latest();
}

// A value the outputs show as a number: finite, or none.
inline std::optional<double> Finite(double x) { return std::isfinite(x) ? std::optional<double>(x) : std::nullopt; }

// --- What the ordered coefficients were asked with ---------------------------

// The weights that credit a partial agreement between two classes: identity
// (none: the unweighted coefficients), linear or quadratic in the distance of
// the classes' values.
enum class WeightScheme { kIdentity, kLinear, kQuadratic };

// The level of measurement Krippendorff's alpha assumes.
enum class AlphaLevel { kNominal, kOrdinal, kInterval, kRatio };

// How the bootstrap of Krippendorff's alpha resamples: whole objects with
// every rating of each (the default), or the pairs of values within objects
// as if they were independent (Hayes and Krippendorff 2007), which makes the
// interval too narrow when objects have more than two ratings.
enum class BootstrapMethod { kObjects, kPairs };

// --- The rows: every coefficient once ----------------------------------------

// A confidence interval and the share of repeated samples it is built to
// cover.
struct Interval {
  double low = 0;
  double high = 0;
  double level = 0.95;
};

// What a row measures, which decides where the outputs put it.
enum class RowGroup {
  kAgreement,  // the raw agreement: the share of objects on which all raters agree
  kKappa,      // Hubert's (Cohen's) kappa, Fleiss' kappa and per class, H2, and weighted Cohen
  kGwet,       // percent agreement, Brennan-Prediger, Gwet's AC1, Fleiss' in Gwet's form; weighted
  kAlpha,      // Krippendorff's alpha at each level
  kModel,      // the Zover model's overall agreement, and per class its agreement and consistency
  // Kappas of the whole data built on the raters one by one: Conger's kappa
  // (each rater's own chance shares; H2 for complete data), Light's kappa
  // (the mean of the pairs' Cohen's kappas) and Scott's pi of two raters.
  kRaterKappa,
  kPair,   // one pair of raters: its agreement and Cohen's kappa (rater and rater2 say which)
  kRater,  // one rater against the others (rater says which)
};

// The values a row gives, each possibly null: the JSON writes exactly
// these fields (the estimate and the reason always).
enum RowField : unsigned {
  kFieldLabel = 1,  // the row's label, as a field of its own
  kFieldSe = 2,     // its own (non-null) standard error
  kFieldCi = 4,     // its confidence interval
  kFieldSe0 = 8,    // the standard error under chance agreement
  kFieldZ = 16,     // z and
  kFieldP = 32,     // its two-sided p
};

// One coefficient. Empty optionals are values that do not exist here or are
// not finite; `reason` says why the first of them is missing when the data
// are the cause ("every rating is in one class").
struct ResultRow {
  std::string key;      // "fleiss_kappa": the CSV's measure and the JSON's key
  std::string jsonKey;  // the JSON's key where it differs from `key` ("fleiss")
  std::string label;    // as a reader reads it: "Fleiss' kappa, class 2 (maybe)"
  // Under the row it belongs to: "class 2 (maybe)", "weighted (linear)".
  std::string shortLabel;
  RowGroup group = RowGroup::kKappa;
  std::string parent;   // the key of the row it belongs under (its unweighted form, say)
  WeightScheme weights = WeightScheme::kIdentity;
  int cls = 0;          // the class, from 1; 0: all classes
  int rater = 0;        // the rater of a row of kRater or the first of a kPair, from 1; 0: all raters
  int rater2 = 0;       // the second rater of a kPair row, from 1, above `rater`; 0: none
  unsigned fields = 0;  // RowField bits
  std::optional<double> estimate;
  std::optional<double> se;
  std::optional<Interval> ci;
  std::optional<double> se0;
  std::optional<double> z;
  std::optional<double> p;
  std::optional<double> objectsUsed;  // the objects the estimate is computed from
  std::string reason;
  // Why the estimate is not to be read as it stands, when it is not (a
  // refit that describes its pseudo-objects more than the raters, a fit
  // whose 4th decimal is not sure), and the value to read instead, if any.
  std::string caution;
  std::optional<double> instead;

  bool has(RowField field) const { return (fields & field) != 0; }
  const std::string& jsonName() const { return jsonKey.empty() ? key : jsonKey; }
};

// --- The whole analysis -------------------------------------------------------

// Where the data came from (the batch command's outputs name it).
struct InputDescription {
  std::string file;                     // as given on the command line
  std::string layout;                   // "raw", "frequencies", "model" or "long"
  std::vector<std::string> raterNames;  // from a header line; empty without one
  double objects = 0;          // every object of the file
  double completeObjects = 0;  // the objects that every rater rated
  double missingRatings = 0;   // ratings marked missing (--missing)
  // The labels of the classes (--labels, --classes), and their values when
  // every label is a number; both empty when the classes are numbers.
  std::vector<std::string> classLabels;
  std::vector<double> classValues;
  // The options that shaped the reading, as given ("--header --missing");
  // empty without any.
  std::string options;
  // How a first column of row names that no option named was read (R's row
  // names, pandas' index); empty otherwise.
  std::string rowNames;
  // What the data may not mean as read, each a sentence without its final
  // period; every output shows them.
  std::vector<std::string> warnings;
};

// What the coefficients of ordered classes were computed with, when any was
// asked for.
struct OrderedSettings {
  bool asked = false;               // weights or levels of alpha were asked for
  WeightScheme weights = WeightScheme::kIdentity;
  std::vector<double> classValues;  // [class]: the value each class weighs by
  Grid<double> weightMatrix;        // [class][class]; empty without weights
  std::vector<AlphaLevel> levels;   // the levels of alpha asked for
  long bootstrapSamples = 0;        // 0: no bootstrap intervals
  std::uint64_t seed = 0;
  BootstrapMethod bootstrapMethod = BootstrapMethod::kObjects;
};

// Pair (a, b) of R raters, 0 <= a < b < R, is number a (2R - a - 1) / 2 +
// b - a - 1: the pairs are (0, 1), (0, 2), ..., (0, R-1), (1, 2), ...,
//
inline std::size_t PairNumber(int a, int b, int R) {
  const auto sa = static_cast<std::size_t>(a);
  return sa * (2 * static_cast<std::size_t>(R) - sa - 1) / 2 + static_cast<std::size_t>(b - a - 1);
}

// Who disagrees, and on what: what the rows of the pairs and the raters
// (kPair, kRater) do not hold. Observed data only.
struct DisagreementRecord {
  bool computed = false;    // observed data: the pairs were tried and the raters summarised
  // The pairs' rows are there (every pair of raters), or why not.
  bool pairs = false;
  std::string pairsReason;
  // The pairs' K x K tables one after another: the objects that the first
  // rater of pair p (PairNumber) put in class k and the second in class l
  // at [p * K * K + k * K + l]; empty, with the reason, when they would be
  // too many cells to write.
  std::vector<std::uint32_t> tables;
  std::string tablesReason;
  // The raters (0-based) in an order that puts raters with similar pairwise
  // kappas side by side; empty without the pairs or beyond 100 raters.
  std::vector<int> raterOrder;
  // Each rater's class distribution: the objects it rated, and how many of
  // them, and which share, it put in each class (shares 0 for a rater who
  // rated nothing).
  std::vector<double> raterObjects;  // [rater]
  Grid<double> raterCounts;          // [rater][class]
  Grid<double> raterShares;          // [rater][class]
  // Light's kappa's bootstrap: resamples asked for and the seed.
  long lightSamples = 0;
  std::uint64_t lightSeed = 0;
  // The adjudication list, when the objects were kept (--objects).
  ObjectResults objects;

  const std::uint32_t* Table(std::size_t pair, int K) const {
    return tables.data() + pair * static_cast<std::size_t>(K) * static_cast<std::size_t>(K);
  }
};

struct Results {
  InputDescription input;
  // The model, the raw agreement and the kappas need at least two objects
  // that every rater rated; without them only the coefficients are given.
  bool analysed = true;
  std::string notAnalysed;  // why not
  EntryMode entrada = EntryMode::kRawFile;  // data-entry mode
  int K = 0;        // classes as entered
  int R = 0;
  double n = 0;     // objects as entered: those the model, the raw agreement,
                    // Hubert's and Fleiss' kappas and H2 use (every rater rated them)
  // The level P of every confidence interval (--level), normal or bootstrap.
  double level = kDefaultLevel;
  // The dialogue's report prints these as they are (a kappa that is not a
  // number included); their rows carry the same values.
  double raw = 0;   // share of objects on which all raters agree
  KappaEstimate hubert;  // Cohen's kappa when R = 2
  bool hasFleiss = false;  // observed responses only
  KappaEstimate fleiss;
  bool hasH2 = false;      // observed responses and R > 2
  double h2 = 0;
  ModelResults model;
  // The coefficients of observed ratings beside the kappas were computed
  // (model data have none).
  bool observed = false;
  OrderedSettings ordered;
  // Every coefficient: the raw agreement, the kappas (Fleiss' per class
  // under Fleiss'), H2, Conger's and Light's kappa and Scott's pi, Gwet's
  // family, Krippendorff's alpha, the weighted forms and alpha by level, the
  // model's overall agreement, then per class its agreement and
  // consistency; then every pair of raters, then every rater.
  std::vector<ResultRow> rows;
  // What the rows of the pairs and the raters do not hold.
  DisagreementRecord disagreement;

  // The row of `key` (and class `cls`), or null.
  const ResultRow* Find(const std::string& key, int cls = 0) const {
    for (const ResultRow& row : rows) {
      if (row.key == key && row.cls == cls) return &row;
    }
    return nullptr;
  }
};

// --- Groups -------------------------------------------------------------------

// The difference of one coefficient between a group and the others pooled
// (their inverse-variance weighted mean), or between two named groups: the
// samples are independent (different objects), so its standard error is
// sqrt(se1^2 + se2^2); the interval is the difference -/+ z se at the
// request's level, unclamped, and z and p test a difference of 0.
struct GroupComparison {
  std::size_t row = 0;  // the row of all groups' results (its key, class and label)
  std::size_t group = 0;
  // The group it is compared with; none: the other groups pooled.
  std::optional<std::size_t> versus;
  std::optional<double> estimate;  // of the group
  std::optional<double> other;     // of the other group, or the pooled value
  std::optional<double> otherSe;   // its standard error
  int pooled = 0;                  // the groups pooled (each with a standard error above 0)
  std::optional<double> difference;
  std::optional<double> se;
  std::optional<Interval> ci;
  std::optional<double> z;
  std::optional<double> p;
  std::string reason;  // why the difference is missing
};

// Several analyses of one run: each group's and all groups' together.
struct GroupedResults {
  std::string by;      // the --by column as given, or "file"
  Results all;         // every group together
  std::vector<std::string> names;  // [group]
  std::vector<Results> groups;     // [group]
  // The coefficients compared (keys), the first drawn across the groups.
  std::vector<std::string> compare;
  bool pairOnly = false;  // --compare-groups: one pair, not each group against the others
  std::vector<GroupComparison> comparisons;  // by row, then group
  double level = kDefaultLevel;
  std::string error;  // a request that these results cannot answer (an unknown key or group)
};

}  // namespace zover
