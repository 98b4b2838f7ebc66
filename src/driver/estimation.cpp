// The analysis of one pass, after the data entry: the fit of the Zover model
// with its special cases and standard errors, the raw agreement, the kappa
// coefficients and the choice of the model report, all into the pass's
// results record. Nothing here prints.

#include <cmath>

#include "driver/driver.h"
#include "input/input.h"
#include "kappa/coefficients.h"
#include "kappa/kappa.h"
#include "model/model.h"

namespace zover {

namespace {

// The proportion of the entered objects on which all raters agree. The count
// is truncated after every addition, so fractional agreements typed in mode
// 4 count only in whole objects (2.5 and 3.5 give 5).
double RawAgreement(const ObservedData& data) {
  double count = 0;
  for (int i = 0; i < data.K; ++i) count = std::trunc(count + data.successaux[i]);
  return count / data.Norg;
}

}  // namespace

PassResults Analyse(Tables& tb) {
  const ObservedData& data = tb.data;
  PassResults res;
  res.model = FitModel(data, tb.model);
  res.entrada = data.entrada;
  res.K = data.K;
  res.R = data.R;
  res.n = data.Norg;
  res.raw = RawAgreement(data);
  const KappaResults kappas = Kappas(data, tb.kappa);
  res.hubert = kappas.hubert;
  res.hasFleiss = kappas.hasFleiss;
  res.fleiss = kappas.fleiss;
  res.hasH2 = kappas.hasH2;
  res.h2 = kappas.h2;
  return res;
}

void AddCoefficients(const Tables& tb, PassResults& res) {
  CoefficientResults& c = res.coefficients;
  c.present = true;
  const PatternSource patterns = RatingPatterns(tb.data);
  c.all = ComputeAgreementCoefficients(patterns, res.K, res.level);
  // z and p test the Fleiss' kappa that the report prints.
  c.fleiss = ComputeFleissNullTests(patterns, res.K, res.R,
                                    res.analysed ? std::optional<double>(res.fleiss.estimate) : std::nullopt);
  if (res.R == 2 && res.analysed) {
    const Grid<double>& t_indice = tb.kappa.t_indice;
    std::vector<double> first(static_cast<std::size_t>(res.K)), second(first.size());
    for (int i = 0; i < res.K; ++i) {
      first[i] = t_indice[i][0];
      second[i] = t_indice[i][1];
    }
    c.hasCohen = true;
    c.cohen = CohenNullTest(first, second, tb.data.Norg, res.hubert.estimate);
  }
}

}  // namespace zover
