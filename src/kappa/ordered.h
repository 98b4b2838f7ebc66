#pragma once
// Coefficients for ordered classes: Gwet's family with weights that credit a
// partial agreement between near classes, Cohen's weighted kappa, and
// Krippendorff's alpha for ordinal, interval and ratio data with its
// bootstrap interval. Like the unweighted coefficients (coefficients.h) they
// are pure functions of counted rating patterns and print nothing; a value
// that cannot be computed is left empty with the reason.
//
// Classes are 0 .. K-1, in their order; class k has the value x_k.

#include <cstdint>
#include <vector>

#include "kappa/coefficients.h"
#include "tables/grid.h"
#include "tables/results.h"
#include "tables/tuple_counts.h"

namespace zover {

// The values the classes weigh by: the labels' values when there are K of
// them (every label a number), else the class numbers 1 .. K.
std::vector<double> ClassValues(const std::vector<double>& labelValues, int K);

// The K x K weights of a scheme, with x_min and x_max the extreme values:
//   identity   w_kl = [k = l]
//   linear     w_kl = 1 - |x_k - x_l| / (x_max - x_min)
//   quadratic  w_kl = 1 - (x_k - x_l)^2 / (x_max - x_min)^2
// One class (no range) gets the identity.
Grid<double> WeightMatrix(WeightScheme scheme, const std::vector<double>& values);

// Weighted percent agreement, Gwet's AC2, and weighted Brennan-Prediger and
// Fleiss' kappa (Gwet's form) of the patterns over the K = weights.rows()
// classes, each with Gwet's standard error; z and p as for the unweighted
// coefficients, the intervals at `level`. With the identity each equals its
// unweighted form.
WeightedAgreement ComputeWeightedCoefficients(const PatternSource& patterns, const Grid<double>& weights,
                                              double level = kDefaultLevel);

// The K x K table of two raters: [k][l] the objects that the first put in
// class k and the second in class l, from the counted tuples of complete
// objects (class numbers 1 .. K).
Grid<double> CrossTable(const TupleCounts& tuples, int K);

// Cohen's weighted kappa of a two raters' table of counts, with its standard
// errors under the alternative and under no agreement beyond chance (Fleiss,
// Cohen and Everitt 1969); the interval at `level` from the former, z and p
// from the latter.
WeightedKappa WeightedCohenKappa(const Grid<double>& table, const Grid<double>& weights,
                                 double level = kDefaultLevel);
// The same, reading only the rows and columns of the classes `used`
// (increasing), where the caller knows that every other cell is 0: the
// result is the same to the bit, at a cost of used^2 cells, not K^2.
WeightedKappa WeightedCohenKappa(const Grid<double>& table, const Grid<double>& weights,
                                 const std::vector<std::size_t>& used, double level = kDefaultLevel);

// The bootstrap interval asked for Krippendorff's alpha.
struct AlphaBootstrap {
  long samples = 0;  // resamples; 0: no interval
  std::uint64_t seed = 1;
  BootstrapMethod method = BootstrapMethod::kObjects;
  double confidence = kDefaultLevel;  // the interval's level P
};

// Krippendorff's alpha of the patterns at each of `levels` (ordinal uses the
// order of the class values, interval and ratio the values), with, when
// `bootstrap.samples` > 0, the percentile interval at the level P of that
// many bootstrap resamples, the same for the same seed: by default of the
// objects with two ratings or more, each with all its ratings (one stream of
// resamples serves every level, so that a level's interval does not depend on
// the others asked for); with BootstrapMethod::kPairs of the pairable values.
// Memory O(K + patterns) for the estimates and the objects bootstrap, whose
// resample takes O(K + the classes of the patterns drawn) at each level but
// the ratio level (O(K^2), its expected disagreement having no shorter form);
// O(K^2) for the pairs bootstrap.
std::vector<LeveledAlpha> ComputeLeveledAlphas(const PatternSource& patterns, const std::vector<double>& values,
                                               const std::vector<AlphaLevel>& levels,
                                               const AlphaBootstrap& bootstrap = {});

// The same at one level.
LeveledAlpha ComputeLeveledAlpha(const PatternSource& patterns, const std::vector<double>& values, AlphaLevel level,
                                 const AlphaBootstrap& bootstrap = {});

}  // namespace zover
