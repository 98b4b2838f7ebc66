#pragma once
// The printed analysis of a pass, as the dialogue shows it: the raw
// agreement line, the kappa lines and the model report in its variant.
// Every function reads a const results record and writes a stream.

#include <iosfwd>

#include "tables/results.h"

namespace zover {

// From the "\n\n Raw =" line to the end of the model report.
void PrintAnalysis(const Results& res, std::ostream& out);

// The raw agreement line and the kappa lines.
void PrintKappaLines(const Results& res, std::ostream& out);

// The model report in the variant the results name.
void PrintReport(const Results& res, std::ostream& out);

}  // namespace zover
