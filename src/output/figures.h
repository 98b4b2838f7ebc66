#pragma once
// The figures of a pass as SVG, written straight to a stream from the const
// results record:
//   1. a forest plot of every coefficient with an estimate: a dot at the
//      estimate and a line for its 95 % interval, a line at 0;
//   2. per class, the Zover consistency and agreement with their 95 %
//      intervals beside the class's Fleiss kappa;
//   3. the model's chance-response probabilities as a grid of classes by
//      raters;
//   4. a heatmap of the pairs' Cohen's kappas, raters with similar kappas
//      side by side, on one diverging scale centred at 0;
//   5. each rater's class distribution as a stacked bar.
// Every text is text (no outlines), in the first of Helvetica, Arial and
// the viewer's sans-serif font that it has; colours are the Okabe-Ito
// palette and one blue scale, with shapes and written values beside them, so
// that no figure needs colour vision. A value that is not finite is left out
// of its figure, and a note under the figure says which and why.

#include <cstddef>
#include <iosfwd>
#include <string>

#include "tables/results.h"

namespace zover {

// Inside the page, a figure is an svg element followed by its notes as an
// HTML list; alone, it is an SVG document of a fixed size with its notes as
// lines of text below the drawing.
enum class SvgMode { kInline, kStandalone };

// The most classes that figure 2 and the per-class rows of figure 1 draw,
// and the largest grid of figure 3: beyond them, with up to 1000 classes and
// 1000 raters, a figure would be many metres long or a wall of cells too
// small to read; the page says so and points to the tables instead.
constexpr int kMaxFigureClasses = 40;
constexpr int kMaxGridRaters = 16;

// A page of several analyses gives each one's figures ids of their own
// (`idPrefix` + "figure-1").
void WriteForestPlot(const Results& res, SvgMode mode, std::ostream& out, const std::string& idPrefix = "");

// Needs the model (res.analysed) and at most kMaxFigureClasses classes.
void WriteClassFigure(const Results& res, std::ostream& out, const std::string& idPrefix = "");

// Needs the model and at most kMaxFigureClasses classes and kMaxGridRaters
// raters.
void WriteChanceGrid(const Results& res, std::ostream& out, const std::string& idPrefix = "");

// The most groups that the forest plot across groups draws, and whose
// figures the page folds in: beyond them the page says so and points to the
// JSON and CSV.
constexpr std::size_t kMaxFigureGroups = 100;

// A forest plot of one coefficient (res.compare's first) across the groups:
// a row for all groups together, then one per group, each with its interval.
void WriteGroupForest(const GroupedResults& res, SvgMode mode, std::ostream& out);

// The most raters that figures 4 and 5 draw (a heatmap of 60 raters is 3300
// px wide), and the most classes that figure 5 colours: the palette has 8
// colours that every kind of colour vision tells apart.
constexpr int kMaxDrawnRaters = 60;
constexpr int kMaxShareClasses = 8;

// Needs the pairs (res.disagreement.pairs) and at most kMaxDrawnRaters
// raters.
void WriteKappaHeatmap(const Results& res, std::ostream& out, const std::string& idPrefix = "");

// Needs observed data (res.disagreement.computed), at most kMaxDrawnRaters
// raters and kMaxShareClasses classes.
void WriteClassShares(const Results& res, std::ostream& out, const std::string& idPrefix = "");

}  // namespace zover
