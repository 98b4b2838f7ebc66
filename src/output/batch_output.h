#pragma once
// The batch command's outputs of a pass: its text (the dialogue's bytes for
// the analysis), JSON, CSV, an HTML page and an SVG figure. Every function reads a const results record
// and writes a stream.

#include <iosfwd>

#include "tables/results.h"

namespace zover {

// From the "\n\n Raw =" line to the end of the model report (the
// dialogue's bytes), then, when the classes have labels, one line
// "Classes: 1 = maybe, 2 = no, 3 = yes", then the table of agreement
// coefficients of observed data, then "\n".
void PrintBatchText(const Results& res, std::ostream& out);

// The table of agreement coefficients: the kappas with their tests against
// chance, Gwet's family and Krippendorff's alpha, and, when asked for, the
// weighted form below each and the alpha of each level, then notes on the
// class values, the weights and the bootstrap.
void PrintCoefficientTable(const Results& res, std::ostream& out);

// The rater pairs and the raters, after the table of coefficients: the
// matrix of the pairs' Cohen's kappas (up to 10 raters) and one line per
// rater (up to 100), or where the JSON and CSV outputs hold them; nothing
// for model data.
void PrintRaterTables(const Results& res, std::ostream& out);

// One JSON object: every number at full precision, null where a value is not
// finite or does not exist.
void PrintJson(const Results& res, std::ostream& out);

// One tidy table: measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,
// class_label.
void PrintCsv(const Results& res, std::ostream& out);

// One self-contained HTML page (inline CSS and SVG, no script, nothing
// fetched from elsewhere) that is also well-formed XML: the input, three
// figures, the tables of numbers (4 decimals), the dialogue's report and
// notes on reading them.
void PrintHtml(const Results& res, std::ostream& out);

// The page's forest plot of the coefficients alone, as an SVG document of a
// fixed size.
void PrintSvg(const Results& res, std::ostream& out);

// --- Groups: the same outputs of several analyses ------------------------------

// All groups' text, the differences between groups, then each group's text
// under a heading of its own.
void PrintGroupedText(const GroupedResults& res, std::ostream& out);

// All groups' JSON object with three more keys: groups_by, groups (each
// group's name and its complete results object, as PrintJson writes it) and
// comparisons.
void PrintGroupedJson(const GroupedResults& res, std::ostream& out);

// The CSV with a first column, group: empty for all groups together, the
// group's name for its rows, "A - others" or "A - B" for a difference.
void PrintGroupedCsv(const GroupedResults& res, std::ostream& out);

// The page of all groups, led by a forest plot of one coefficient across the
// groups and the table of differences, with each group's figures folded.
void PrintGroupedHtml(const GroupedResults& res, std::ostream& out);

// The forest plot across the groups alone.
void PrintGroupedSvg(const GroupedResults& res, std::ostream& out);

}  // namespace zover
