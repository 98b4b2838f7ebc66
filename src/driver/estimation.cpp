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
#include "tables/near.h"

namespace zover {

namespace {

// Two raters and two classes leave the model with more unknowns than degrees
// of freedom: it is fitted on three classes, the third a dummy class with no
// agreements and no disagreements (zero in fresh tables), after adding 0.5
// per response tuple.
void PrepareTwoByTwo(ModelTables& mt) {
  mt.K = 3;
  incremento(mt);
}

// Fits the model and returns the estimate of B: 0, -1 and -2 mark the
// degenerate outcomes.
double Fit(ModelTables& mt) {
  Search1(mt, mt.N);
  Search2(mt, mt.Bt);
  return Search3(mt, mt.t);
}

ModelMeasures Measures(const ModelTables& mt) { return {mt.consist, mt.acuerd, mt.prop, mt.acglobal}; }

// How many chance probabilities of a fit are exactly 0 (a value that is not
// a number is not).
int ZeroProbabilities(const ModelTables& mt) {
  int zeros = 0;
  for (int i = 0; i < mt.K; ++i)
    for (int r = 0; r < mt.R; ++r)
      if (mt.prop[i][r] == 0.0) ++zeros;
  return zeros;
}

// The proportion of the entered objects on which all raters agree. The count
// is truncated after every addition, so fractional agreements typed in mode
// 4 count only in whole objects (2.5 and 3.5 give 5).
double RawAgreement(const ObservedData& data) {
  double count = 0;
  for (int i = 0; i < data.K; ++i) count = std::trunc(count + data.successaux[i]);
  return count / data.Norg;
}

}  // namespace

Report SelectReport(int K, int R, double B, int zeroProbabilities) {
  if (R == K && K == 2) return Report::kTwoByTwo;
  if (Near(B, 0)) return Report::kIndeterminate;
  if (Near(B, -1)) return Report::kMinusInfinity;
  if (Near(B, -2)) return Report::kInfiniteSolutions;
  if (zeroProbabilities > 0) return Report::kZeroProbability;
  return Report::kRegular;
}

PassResults Analyse(Tables& tb) {
  PassResults res;
  const ObservedData& data = tb.data;
  ModelTables& mt = tb.model;
  mt = ModelTables(data.K, data.R);
  mt.N = data.Norg;
  for (int i = 0; i < data.K; ++i) {
    mt.success[i] = data.successaux[i];
    for (int r = 0; r < data.R; ++r) mt.fail[i][r] = data.failaux[i][r];
  }
  const int caso = data.R == data.K && data.K == 2 ? 2 : 1;
  if (caso == 2) PrepareTwoByTwo(mt);

  ModelResults& model = res.model;
  model.B = Fit(mt);
  model.t = mt.t;  // the class of the first fit, whatever a refit picks
  if (caso == 2) {  // the three-class measures
    parametros(mt, 1);
    model.agreementesp = mt.acuerd;
    model.piesp = mt.prop;
    model.overallesp = mt.acglobal;
  }
  parametros(mt, caso);
  model.first = Measures(mt);
  const int zeroProbabilities = ZeroProbabilities(mt);
  const bool refit = desviaciones(mt, caso, model.first.overall);
  model.increment = (caso == 2 ? 0.5 : 0.0) + (refit ? 0.5 : 0.0);
  model.pseudoObjects = mt.N - data.Norg;
  model.latest = Measures(mt);
  model.var_cons = mt.var_cons;
  model.var_alp = mt.var_alp;
  model.var_suc = mt.var_suc;

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
  model.report = SelectReport(data.K, data.R, model.B, zeroProbabilities);
  return res;
}

void AddCoefficients(const Tables& tb, PassResults& res) {
  CoefficientResults& c = res.coefficients;
  c.present = true;
  const PatternSource patterns = RatingPatterns(tb.data);
  c.all = ComputeAgreementCoefficients(patterns, res.K);
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
