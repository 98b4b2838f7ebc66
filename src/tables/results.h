#pragma once
// The results of one pass: everything that any printer shows, filled by the
// analysis and read by the dialogue's report, the batch text, JSON and CSV.
// Nothing here is computed by a printer, so that every output of a pass
// shows the same numbers.
//
// Classes are 0 .. K-1 here (1 .. K in every output), raters 0 .. R-1.

#include <string>
#include <utility>
#include <vector>

#include "tables/grid.h"

namespace zover {

// 1.959963984540054: the two-sided 95 % point of the standard normal.
constexpr double kNormal975 = 1.959963984540054;

// The 95 % confidence interval estimate -/+ kNormal975 se, as (lower, upper).
inline std::pair<double, double> ConfidenceInterval95(double estimate, double se) {
  return {estimate - kNormal975 * se, estimate + kNormal975 * se};
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
};

// The printed measures of one fit of the model.
struct ModelMeasures {
  std::vector<double> consistency;  // [class]
  std::vector<double> agreement;    // [class]
  Grid<double> pi;                  // [class][rater]: chance probabilities
  double overall = 0;
};

struct ModelResults {
  Report report = Report::kRegular;
  double B = 0;           // the estimate of the first fit: 0, -1 and -2 mark its outcomes
  int t = 0;              // class t of the first fit: the minus-infinity report marks it
  ModelMeasures first;    // the first fit, as the report copies it
  ModelMeasures latest;   // after the standard errors: the refit's, when there was one
  std::vector<double> var_cons;  // [class] variances of the latest fit
  std::vector<double> var_alp;
  double var_suc = 0;
  // Two raters and two classes: the three-class fit with the dummy class.
  std::vector<double> agreementesp;  // [3]
  Grid<double> piesp;                // [3][rater]
  double overallesp = 0;
  // The data the printed standard errors belong to: increments of 0.5 per
  // response tuple (0 without, 0.5 once, 1 for a refit of the two-by-two
  // case) and the objects they add, N - n.
  double increment = 0;
  double pseudoObjects = 0;
};

// Where the data came from (the batch command's outputs name it).
struct InputDescription {
  std::string file;                     // as given on the command line
  std::string layout;                   // "raw", "frequencies" or "model"
  std::vector<std::string> raterNames;  // from a header line; empty without one
};

struct PassResults {
  InputDescription input;
  int entrada = 0;  // data-entry mode 1 to 4
  int K = 0;        // classes as entered
  int R = 0;
  double n = 0;     // objects as entered
  double raw = 0;   // share of objects on which all raters agree
  KappaEstimate hubert;  // Cohen's kappa when R = 2
  bool hasFleiss = false;  // observed responses only
  KappaEstimate fleiss;
  bool hasH2 = false;      // observed responses and R > 2
  double h2 = 0;
  ModelResults model;
};

}  // namespace zover
