// The coefficients of ordered classes in the batch outputs: the weighted
// coefficients with the weights of the class values, and Krippendorff's
// alpha at the levels asked for. The Zover model and the kappas treat the
// classes as nominal whatever is asked here.

#include "driver/driver.h"
#include "kappa/ordered.h"

namespace zover {

void AddOrderedCoefficients(const Tables& tb, const OrderedRequest& request, PassResults& res) {
  if (request.weights == WeightScheme::kIdentity && request.levels.empty()) return;
  OrderedResults& ordered = res.coefficients.ordered;
  ordered.weights = request.weights;
  ordered.classValues = ClassValues(res.input.classValues, res.K);
  ordered.bootstrapSamples = request.levels.empty() ? 0 : request.samples;
  ordered.seed = request.seed;
  ordered.bootstrapMethod = request.method;
  const PatternSource patterns = RatingPatterns(tb.data);
  if (request.weights != WeightScheme::kIdentity) {
    ordered.weightMatrix = WeightMatrix(request.weights, ordered.classValues);
    ordered.gwet = ComputeWeightedCoefficients(patterns, ordered.weightMatrix, res.level);
    ordered.hasCohen = res.R == 2;
    if (ordered.hasCohen && res.analysed) {
      ordered.cohen = WeightedCohenKappa(CrossTable(tb.data.frec, res.K), ordered.weightMatrix, res.level);
    } else if (ordered.hasCohen) {
      ordered.cohen.kappa.reason = res.notAnalysed;
    }
  }
  if (!request.levels.empty()) {
    ordered.alphas = ComputeLeveledAlphas(patterns, ordered.classValues, request.levels,
                                          {ordered.bootstrapSamples, request.seed, request.method, res.level});
  }
}

}  // namespace zover
