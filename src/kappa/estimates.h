#pragma once
// The shapes in which the kappa code returns its coefficients: an estimate
// with Gwet's standard error (Inference), a test against chance (NullTest),
// an estimate alone (Estimate), Krippendorff's alpha at one level with its
// bootstrap interval (LeveledAlpha), and what the rater pairs, each rater
// and each object give. The engine (src/analysis) turns them into the rows
// of the results; no printer reads them.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tables/rated_objects.h"
#include "tables/results.h"

namespace zover {

// --- Agreement coefficients beside the kappas (batch outputs only) -----------

// A coefficient with its own (non-null) standard error and what follows from
// it: ci = estimate -/+ z_P se at the pass's level P (1.959963984540054 se
// at 95 %) within the coefficient's range, z = estimate / se, and p the
// two-sided normal p-value of z (none for percent agreement, which is not
// corrected for chance). A field that cannot be computed is empty, and so is
// every later field that needs it (the interval needs estimate and se; z
// needs se > 0; p needs z); `reason` says why the first empty field is empty,
// e.g. "every rating is in one class". All fields set: reason empty.
struct Inference {
  std::optional<double> estimate;
  std::optional<double> se;
  std::optional<std::pair<double, double>> ci;  // (lower, upper), at the pass's level
  std::optional<double> z;
  std::optional<double> p;
  std::string reason;
  // The values the coefficient can take, where `ci` stops: [-pe/(1-pe), 1]
  // for Gwet's family (pe its chance agreement, once there is an estimate),
  // [-1, 1] for Cohen's weighted kappa.
  Range range = kKappaRange;
  // The objects it is computed from: for Gwet's family every object with at
  // least one rating (its n), for Cohen's weighted kappa those both raters
  // rated. 0 when the data could not be read as patterns.
  double objectsUsed = 0;
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
  double objectsUsed = 0;  // the objects every rater rated (Cohen's and Fleiss' tests)
};

// An estimate without a standard error, or the reason there is none.
struct Estimate {
  std::optional<double> value;
  std::string reason;
  // The objects it is computed from: for Krippendorff's alpha the pairable
  // objects, those with two ratings or more.
  double objectsUsed = 0;
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

// --- Ordered classes (batch --weights, --alpha-level) -------------------------



// Gwet's family with weights: weighted percent agreement, Brennan-Prediger and
// Fleiss' kappa (Gwet's form), and Gwet's AC2.
struct WeightedAgreement {
  Inference percentAgreement;
  Inference brennanPrediger;
  Inference gwetAc2;
  Inference fleissGeneral;
};

// Cohen's weighted kappa: estimate, its own standard error and interval in
// `kappa`, whose z and p come from the null standard error se0.
struct WeightedKappa {
  Inference kappa;
  std::optional<double> se0;
};


// Krippendorff's alpha at one level, with its bootstrap percentile interval
// at the pass's level when one was asked for and the alpha exists.
struct LeveledAlpha {
  AlphaLevel level = AlphaLevel::kNominal;
  Estimate alpha;
  std::optional<std::pair<double, double>> ci;  // (lower, upper)
  // Resamples of the objects method in which alpha does not exist (every
  // resampled rating in one class): left out of the percentiles, which come
  // from the others. No interval when more than half of them are.
  long undefinedResamples = 0;
  std::string ciReason;  // why there is no interval when one was asked for
};


// --- Who disagrees, and on what: rater pairs, each rater, each object -------

// One pair of raters, rater < rater2, on the objects that both rated.
struct PairResult {
  int rater = 0;
  int rater2 = 0;
  double objects = 0;                // rated by both
  std::optional<double> agreement;   // the share of them that both put in one class; none without objects
  WeightedKappa cohen;               // Cohen's kappa, unweighted, with se, interval and z, p from se0
};

// Every pair of raters, (0, 1), (0, 2), ..., (R-2, R-1): pair (a, b) is
// number a (2R - a - 1) / 2 + b - a - 1. Left out (computed false, with the
// reason) when there are more pairs than asked for, or their tables would
// not fit in memory.
struct PairwiseResults {
  bool computed = false;
  std::string reason;
  int R = 0;
  int K = 0;
  std::vector<PairResult> pairs;
  // [pair]: Cohen's weighted kappa of the pair, when weights were given;
  // empty without weights.
  std::vector<WeightedKappa> weighted;
  // The pairs' K x K tables one after another: objects that the first rater
  // put in class k and the second in class l at [pair * K * K + k * K + l].
  std::vector<std::uint32_t> tables;
  // The classes in some pair's table, increasing: every other row and column
  // of every table is 0.
  std::vector<std::size_t> classes;

  const std::uint32_t* Table(std::size_t pair) const {
    return tables.data() + pair * static_cast<std::size_t>(K) * static_cast<std::size_t>(K);
  }
};

// Light's kappa: the mean of the pairs' unweighted Cohen's kappas (pairs
// without a kappa left out and counted), with the 95 % percentile interval
// of resamplings of the objects.
struct LightKappa {
  Estimate kappa;
  long pairs = 0;        // pairs whose kappa the mean takes
  long pairsLeftOut = 0; // pairs without a kappa
  std::optional<std::pair<double, double>> ci95;
  std::string ciReason;  // why there is no interval
  long samples = 0;      // resamples asked for
  long samplesLeftOut = 0;  // resamples in which no pair had a kappa
  std::uint64_t seed = 0;
};

// One rater: what it chose, how it agrees with what most of the others
// chose, and how well the others agree without it.
struct RaterSummary {
  int rater = 0;
  double objects = 0;           // the objects it rated
  std::vector<double> counts;   // [class]: those it put in the class
  std::vector<double> shares;   // [class]: counts / objects; empty when it rated none
  // The objects it rated on which one class leads among the other raters'
  // ratings (a unique most frequent class), its agreement with that class
  // there, and Cohen's kappa (unweighted) of it against that class.
  double majorityObjects = 0;
  std::optional<double> majorityAgreement;
  WeightedKappa majorityKappa;
  // Fleiss' kappa in Gwet's general form (every rating used, Gwet's
  // standard error) of the other raters, this one left out.
  Inference fleissWithout;
};

// Everything above for one pass.
struct DisagreementResults {
  PairwiseResults pairs;
  std::vector<int> raterOrder;  // raters with similar ones side by side; empty beyond 100 raters
  LightKappa light;
  Inference conger;           // Conger's kappa (weighted with weights) with Gwet's standard error
  bool hasScott = false;      // two raters
  Inference scott;            // Scott's pi (weighted with weights) with Gwet's standard error
  std::vector<RaterSummary> raters;
  ObjectResults objects;
};

}  // namespace zover
