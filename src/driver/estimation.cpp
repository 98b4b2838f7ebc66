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
// agreements and no disagreements, after adding 0.5 per response tuple.
void PrepareTwoByTwo(Tables& tb) {
  tb.KR = 2;
  tb.K = 3;
  tb.success[2] = 0;
  for (int r = 0; r < tb.R; ++r) tb.fail[2][r] = 0;
  incremento(tb);
}

// Fits the model and returns the estimate of B: 0, -1 and -2 mark the
// degenerate outcomes.
double Fit(Tables& tb) {
  Search1(tb, tb.N);
  Search2(tb, tb.Bt);
  return Search3(tb, tb.t);
}

// Keeps the three-class measures of the R = K = 2 fit.
void CopyThreeClassMeasures(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.agreementesp[i] = tb.acuerd[i];
    for (int r = 0; r < tb.R; ++r) tb.piesp[i][r] = tb.prop[i][r];
  }
  tb.overallesp = tb.acglobal;
}

// Copies the first estimate into the report tables; returns how many chance
// probabilities are exactly 0 (a value that is not a number is not).
int CopyFirstEstimate(Tables& tb) {
  int zeroProbabilities = 0;
  for (int i = 0; i < tb.K; ++i) {
    tb.agreement[i] = tb.acuerd[i];
    tb.consistency[i] = tb.consist[i];
    tb.overall = tb.acglobal;
    for (int r = 0; r < tb.R; ++r) {
      tb.pi[i][r] = tb.prop[i][r];
      if (tb.pi[i][r] == 0.0) ++zeroProbabilities;
    }
  }
  return zeroProbabilities;
}

// The proportion of the entered objects on which all raters agree. The count
// is truncated after every addition, so fractional agreements typed in mode
// 4 count only in whole objects (2.5 and 3.5 give 5).
double RawAgreement(const Tables& tb) {
  double count = 0;
  for (int i = 0; i < tb.K; ++i) count = std::trunc(count + tb.successaux[i]);
  return count / tb.Norg;
}

// t_indice[i][r]: the proportion of the objects that rater r put in class i.
void FillMarginalProportions(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    for (int r = 0; r < tb.R; ++r) {
      tb.t_indice[i][r] = tb.successaux[i] / tb.Norg + tb.failaux[i][r] / tb.Norg;
    }
  }
}

void Kappas(Tables& tb, PassResults& res) {
  res.hubert = coefficientKappa(tb);
  if (tb.entrada == EntryMode::kKeyboardModel) return;  // no observed responses: no Fleiss' kappa, no H2
  res.hasFleiss = true;
  res.fleiss = coefficientFleiss(tb);
  if (tb.R > 2) {
    res.hasH2 = true;
    res.h2 = coefficientH2(tb);
  }
}

ModelMeasures Measures(const std::vector<double>& consistency, const std::vector<double>& agreement,
                       const Grid<double>& pi, double overall) {
  return {consistency, agreement, pi, overall};
}

}  // namespace

void BuildFileTables(Tables& tb) {
  SizeWorkingTables(tb);
  if (tb.entrada == EntryMode::kFrequencyFile) {
    TablaInicialExtra(tb);
    TablaFleissExtra(tb);
  } else {
    TablaInicial(tb);
    TablaFleiss(tb);
  }
}

Report SelectReport(const Tables& tb, double B, int zeroProbabilities) {
  if (tb.R == tb.K && tb.K == 2) return Report::kTwoByTwo;
  if (Near(B, 0)) return Report::kIndeterminate;
  if (Near(B, -1)) return Report::kMinusInfinity;
  if (Near(B, -2)) return Report::kInfiniteSolutions;
  if (zeroProbabilities > 0) return Report::kZeroProbability;
  return Report::kRegular;
}

PassResults Analyse(Tables& tb) {
  PassResults res;
  if (tb.R == tb.K && tb.K == 2) PrepareTwoByTwo(tb);

  ModelResults& model = res.model;
  model.B = Fit(tb);
  model.t = tb.t;  // the class of the first fit, whatever a refit picks
  if (tb.KR == 2) {
    parametros(tb, 1);
    CopyThreeClassMeasures(tb);
  }
  parametros(tb, tb.KR);
  const int zeroProbabilities = CopyFirstEstimate(tb);
  const double beforeRefit = tb.N;
  desviaciones(tb, tb.KR);
  model.increment = (tb.KR == 2 ? 0.5 : 0.0) + (tb.N != beforeRefit ? 0.5 : 0.0);
  model.pseudoObjects = tb.N - tb.Norg;
  if (tb.KR == 2) tb.K = 2;

  model.first = Measures(tb.consistency, tb.agreement, tb.pi, tb.overall);
  model.latest = Measures(tb.consist, tb.acuerd, tb.prop, tb.acglobal);
  model.var_cons = tb.var_cons;
  model.var_alp = tb.var_alp;
  model.var_suc = tb.var_suc;
  model.agreementesp = tb.agreementesp;
  model.piesp = tb.piesp;
  model.overallesp = tb.overallesp;

  res.entrada = tb.entrada;
  res.K = tb.K;
  res.R = tb.R;
  res.n = tb.Norg;
  res.raw = RawAgreement(tb);
  FillMarginalProportions(tb);
  Kappas(tb, res);
  model.report = SelectReport(tb, model.B, zeroProbabilities);
  return res;
}

void AddCoefficients(const Tables& tb, PassResults& res) {
  CoefficientResults& c = res.coefficients;
  c.present = true;
  const PatternSource patterns = RatingPatterns(tb);
  c.all = ComputeAgreementCoefficients(patterns, res.K);
  // z and p test the Fleiss' kappa that the report prints.
  c.fleiss = ComputeFleissNullTests(patterns, res.K, res.R,
                                    res.analysed ? std::optional<double>(res.fleiss.estimate) : std::nullopt);
  if (res.R == 2 && res.analysed) {
    std::vector<double> first(static_cast<std::size_t>(res.K)), second(first.size());
    for (int i = 0; i < res.K; ++i) {
      first[i] = tb.t_indice[i][0];
      second[i] = tb.t_indice[i][1];
    }
    c.hasCohen = true;
    c.cohen = CohenNullTest(first, second, tb.Norg, res.hubert.estimate);
  }
}

}  // namespace zover
