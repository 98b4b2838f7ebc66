#pragma once
// The model report: which of its variants a pass prints, and the printing.

#include <iosfwd>

#include "tables/tables.h"

namespace zover {

enum class Report {
  kTwoByTwo,           // two raters, two classes: fitted with a dummy class
  kIndeterminate,      // B = 0: the chance probabilities are indeterminate
  kMinusInfinity,      // B = -1: the agreement of class t is minus infinity
  kInfiniteSolutions,  // B = -2: the model equations have infinitely many solutions
  kZeroProbability,    // some chance probability is 0: then the regular report
  kRegular,
};

// The first variant whose condition holds, in this order: R = K = 2, B near
// 0, -1 or -2 (within 1e-12), a chance probability of exactly 0, otherwise
// the regular report. B is the estimate of the first fit.
Report SelectReport(const Tables& tb, double B, int zeroProbabilities);

// Copies the measures of the latest fit (consist, acuerd, acglobal, prop)
// over the report tables (consistency, agreement, overall, pi).
void OverwriteReportTables(Tables& tb);

// Prints the report. The infinite-solutions and zero-probability variants
// overwrite the report tables with the refit's measures on the way.
void PrintReport(Tables& tb, Report report, std::ostream& out);

}  // namespace zover
