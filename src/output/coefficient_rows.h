#pragma once
// Every coefficient of a pass as one list, in the order in which the page's
// forest plot and its table show them: Hubert's (Cohen's) kappa, Fleiss'
// kappa and its per-class kappas, H2, Gwet's family, Krippendorff's alpha and
// the Zover model's overall agreement. A coefficient that the results record
// gains later is one more line in CoefficientRows.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tables/results.h"

namespace zover {

struct CoefficientRow {
  std::string label;
  int cls = 0;  // the class (from 1) of a per-class kappa; 0 for the others
  std::optional<double> estimate;
  std::optional<double> se;                       // its own (non-null) standard error
  std::optional<std::pair<double, double>> ci95;  // from se, within the coefficient's range
  std::optional<double> se0;                      // under chance agreement
  std::optional<double> z;
  std::optional<double> p;
  std::string reason;  // why the first missing value is missing, when the data are the cause
};

// The coefficients that the results hold, every value finite or empty.
std::vector<CoefficientRow> CoefficientRows(const PassResults& res);

}  // namespace zover
