#pragma once
// The coefficients of one analysis as the kappa code returns them, and the
// one list that turns them into rows. Inside the engine only.

#include <optional>
#include <vector>

#include "kappa/estimates.h"
#include "tables/results.h"

namespace zover {

// The coefficients of ordered classes that were asked for.
struct OrderedCoefficients {
  bool hasCohen = false;  // two raters, and weights: Cohen's weighted kappa
  WeightedKappa cohen;
  bool weighted = false;  // weights: Gwet's family with them
  WeightedAgreement gwet;
  std::vector<LeveledAlpha> alphas;  // the levels asked for, in the order of AlphaLevel
};

// Who disagrees: the pairs of raters (weighted too with weights), Light's
// kappa, each rater, and Conger's kappa and Scott's pi unweighted and, with
// weights, weighted. The pairs' tables and the objects are moved to the
// results' record.
struct RaterCoefficients {
  bool computed = false;
  DisagreementResults d;  // its conger and scott with the weights asked for
  Inference conger;       // unweighted
  Inference scott;        // unweighted, two raters
  bool weighted = false;  // d.conger and d.scott are weighted forms
  double lightObjects = 0;  // the objects with two ratings or more, from which Light's kappa resamples
};

// The coefficients of observed ratings beside the kappas.
struct Coefficients {
  bool hasCohen = false;      // two raters, analysed
  NullTest cohen;             // Cohen's kappa against chance
  FleissNullTests fleiss;     // Fleiss' kappa, overall and per class, against chance
  AgreementCoefficients all;  // Gwet's family and Krippendorff's alpha
  OrderedCoefficients ordered;
  RaterCoefficients raters;
};

// Fills res.rows from what res holds (the model, the raw agreement and the
// kappas when res.analysed) and, when res.observed, from `c`.
void BuildRows(const Coefficients& c, Results& res);

}  // namespace zover
