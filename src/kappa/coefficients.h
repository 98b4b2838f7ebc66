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
// the reason, and no NaN or infinity is ever given as a result.
//
// Classes are 0 .. K-1. Every function takes one or two passes over the
// patterns and O(K) memory.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tables/results.h"

namespace zover {

// The objects that share one rating pattern: how many there are, and for each
// class that some rater chose, how many raters chose it. The pattern's rater
// count r = sum of its counts is below R when ratings are missing, and 0 for
// an object that nobody rated.
struct RatingPattern {
  double weight = 0;                        // objects with this pattern (>= 0)
  std::vector<std::pair<int, int>> counts;  // (class 0..K-1, raters > 0), classes increasing
};

// A coefficient with its own (non-null) standard error and what follows from
// it: ci95 = estimate -/+ 1.959963984540054 se, z = estimate / se, and p the
// two-sided normal p-value of z. A field that cannot be computed is empty,
// and so is every later field that needs it (the interval needs estimate and
// se; z needs se > 0; p needs z); `reason` says why the first empty field is
// empty, e.g. "every rating is in one class". All fields set: reason empty.
struct Inference {
  std::optional<double> estimate;
  std::optional<double> se;
  std::optional<std::pair<double, double>> ci95;  // (lower, upper)
  std::optional<double> z;
  std::optional<double> p;
  std::string reason;
};

// A kappa tested against chance agreement with its null standard error:
// z = estimate / se0 and p its two-sided normal p-value. Empty fields and
// `reason` as in Inference.
struct NullTest {
  std::optional<double> estimate;
  std::optional<double> se0;
  std::optional<double> z;
  std::optional<double> p;
  std::string reason;
};

// An estimate without a standard error, or the reason there is none.
struct Estimate {
  std::optional<double> value;
  std::string reason;
};

// The coefficients that use every rating.
struct AgreementCoefficients {
  Inference percentAgreement;
  Inference brennanPrediger;
  Inference gwetAc1;
  Inference fleissGeneral;  // Fleiss' kappa in Gwet's general form
  Estimate krippendorffAlpha;
};

// Fleiss' kappa of the objects with all R ratings, tested against chance.
struct FleissNullTests {
  double completeObjects = 0;     // the objects used
  NullTest kappa;                 // se0 of Fleiss, Nee and Landis
  std::vector<NullTest> perClass; // [class], K entries (Fleiss 1971)
};

// The two-sided p-value 2 (1 - Phi(|z|)) = erfc(|z| / sqrt 2) of a finite z.
double TwoSidedP(double z);

// Percent agreement, Brennan-Prediger, Gwet's AC1, Fleiss' kappa in Gwet's
// general form and Krippendorff's alpha (nominal) of the objects in
// `patterns`, over K classes (empty classes included). Each of Gwet's family
// comes with Gwet's standard error (infinite population); its z and p test
// the coefficient against 0 with that same, non-null standard error.
// Objects with a single rating count among the n objects and in the class
// shares but carry no agreement; objects that nobody rated are left out.
// Two passes over the patterns.
AgreementCoefficients ComputeAgreementCoefficients(const std::vector<RatingPattern>& patterns, int K);

// Fleiss' kappa and the per-class kappas of the patterns with exactly R
// ratings (the others are left out), each with its standard error under the
// null hypothesis of chance agreement; z and p use that null standard error.
// `kappa` is the estimate to test: by default Fleiss' kappa of the same
// objects, computed here; a caller that prints its own kappa passes it, so
// that z and p belong to the printed value. A class that nobody used has no
// kappa. One pass over the patterns.
FleissNullTests ComputeFleissNullTests(const std::vector<RatingPattern>& patterns, int K, int R,
                                       std::optional<double> kappa = std::nullopt);

// Cohen's kappa of two raters over n objects tested against chance: the null
// standard error from the raters' class proportions alone (rowShares for the
// first rater, colShares for the second, one per class), and z and p from it.
NullTest CohenNullTest(const std::vector<double>& rowShares, const std::vector<double>& colShares, double n,
                       double kappa);

}  // namespace zover
