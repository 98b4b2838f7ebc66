#pragma once
// Agreement coefficients that researchers report beside the kappas, and the
// tests of the kappas against chance, as pure functions of counted rating
// patterns:
//   - Gwet's family (percent agreement, Brennan-Prediger, Gwet's AC1 and
//     Fleiss' kappa in Gwet's general form), each with Gwet's standard error,
//     and Krippendorff's alpha for nominal data; these use every rating, so
//     objects that some raters skipped take part;
//   - Fleiss' kappa and the per-class kappas under the null hypothesis of
//     chance agreement (Fleiss, Nee and Landis; Fleiss 1971), on the objects
//     that all R raters rated;
//   - Cohen's kappa under the null hypothesis (Fleiss, Cohen and Everitt),
//     from the two raters' margins.
// Nothing here prints: a value that cannot be computed is left empty with
// the reason, and no NaN or infinity is ever given as a result. The result
// types are part of the pass's results record (tables/results.h).
//
// Classes are 0 .. K-1. Every function takes one or two passes over the
// patterns and O(K) memory.

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "kappa/estimates.h"
#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// The objects that share one rating pattern: how many there are, and for each
// class that some rater chose, how many raters chose it. The pattern's rater
// count r = sum of its counts is below R when ratings are missing, and 0 for
// an object that nobody rated.
struct RatingPattern {
  double weight = 0;                        // objects with this pattern (>= 0)
  std::vector<std::pair<int, int>> counts;  // (class 0..K-1, raters > 0), classes increasing
};

// The patterns of a data set, handed one after another to a visitor, in the
// same order every time a computation asks for them. A source may build
// each pattern as it goes (from the counted response tuples, say), so that
// no list of millions of patterns need be kept.
using PatternVisitor = std::function<void(const RatingPattern&)>;
using PatternSource = std::function<void(const PatternVisitor&)>;

// The patterns of a list, which must outlive the source.
PatternSource PatternsOf(const std::vector<RatingPattern>& patterns);

// The two-sided p-value 2 (1 - Phi(|z|)) = erfc(|z| / sqrt 2) of a finite z.
double TwoSidedP(double z);

// Percent agreement, Brennan-Prediger, Gwet's AC1, Fleiss' kappa in Gwet's
// general form and Krippendorff's alpha (nominal) of the objects in
// `patterns`, over K classes (empty classes included). Each of Gwet's family
// comes with Gwet's standard error (infinite population); its z and p test
// the coefficient against 0 with that same, non-null standard error.
// Objects with a single rating count among the n objects and in the class
// shares but carry no agreement; objects that nobody rated are left out.
// The intervals are at `level`. Two passes over the patterns.
AgreementCoefficients ComputeAgreementCoefficients(const PatternSource& patterns, int K,
                                                   double level = kDefaultLevel);

// Fleiss' kappa and the per-class kappas of the patterns with exactly R
// ratings (the others are left out), each with its standard error under the
// null hypothesis of chance agreement; z and p use that null standard error.
// `kappa` is the estimate to test: by default Fleiss' kappa of the same
// objects, computed here; a caller that prints its own kappa passes it, so
// that z and p belong to the printed value. A class that nobody used has no
// kappa. One pass over the patterns.
FleissNullTests ComputeFleissNullTests(const PatternSource& patterns, int K, int R,
                                       std::optional<double> kappa = std::nullopt);

// Cohen's kappa of two raters over n objects tested against chance: the null
// standard error from the raters' class proportions alone (rowShares for the
// first rater, colShares for the second, one per class), and z and p from it.
NullTest CohenNullTest(const std::vector<double>& rowShares, const std::vector<double>& colShares, double n,
                       double kappa);

// The rating patterns of the pass's observed data (modes 1 and 2): one per
// counted response tuple, built as they are visited, then the objects with
// missing ratings. The source reads `tb`, which must outlive it.
PatternSource RatingPatterns(const ObservedData& tb);

}  // namespace zover
