// The model of a pass behind one door: the preparation of two raters and two
// classes, the fit, the measures kept for the report, the standard errors
// with their refit, and the choice of the report.

#include <algorithm>
#include <cmath>

#include "model/model.h"
#include "tables/near.h"

namespace zover {

namespace {

// The case of desviaciones and parametros: 2 for two raters and two
// classes, fitted with a dummy third class; 1 for every other data set.
int CaseOf(const ObservedData& data) { return data.R == data.K && data.K == 2 ? 2 : 1; }

// The model's copies of the agreements and disagreements; the dummy class
// of the two-by-two case is a row of zeros.
void CopyCounts(const ObservedData& data, ModelTables& tb) {
  tb.N = data.Norg;
  for (int i = 0; i < data.K; ++i) {
    tb.success[i] = data.successaux[i];
    for (int r = 0; r < data.R; ++r) tb.fail[i][r] = data.failaux[i][r];
  }
}

// A fit is stable when this many times its input-rounding spread is within
// the printed 4th decimal (see ModelFit).
constexpr double kSpreadMargin = 16;
constexpr double kPrintedDecimal = 5e-5;

ModelFit FitOf(const ModelTables& tb, int caso) {
  ModelFit fit{tb.B0, tb.t, tb.alp_neg, tb.consist, tb.acuerd, tb.prop, tb.acglobal};
  fit.overallSum = fit.overall;
  const bool special = tb.B0 == 0 || tb.B0 == -1.0 || tb.B0 == -2.0;
  if (caso != 2 && !special) {
    double sum = 0.0;
    for (int i = 0; i < tb.K; ++i) sum += tb.acuerd[i];
    fit.overallSum = sum;
  }
  fit.spread = tb.spread;
  fit.stable = !(kSpreadMargin * tb.spread > kPrintedDecimal);
  return fit;
}

// How many chance probabilities of the fit are exactly 0 (a value that is
// not a number is not).
int ZeroProbabilities(const ModelTables& tb) {
  int zeros = 0;
  for (int i = 0; i < tb.K; ++i)
    for (int r = 0; r < tb.R; ++r)
      if (tb.prop[i][r] == 0.0) ++zeros;
  return zeros;
}

Report SelectReport(int caso, double B, int zeroProbabilities) {
  if (caso == 2) return Report::kTwoByTwo;
  if (Near(B, 0)) return Report::kIndeterminate;
  if (Near(B, -1)) return Report::kMinusInfinity;
  if (Near(B, -2)) return Report::kInfiniteSolutions;
  if (zeroProbabilities > 0) return Report::kZeroProbability;
  return Report::kRegular;
}

std::vector<double> SquareRoots(const std::vector<double>& variances) {
  std::vector<double> roots(variances.size());
  for (std::size_t i = 0; i < roots.size(); ++i) roots[i] = std::sqrt(variances[i]);
  return roots;
}

}  // namespace

double Fit(ModelTables& tb) {
  Search1(tb, tb.N);
  Search2(tb, tb.Bt);
  return Search3(tb, tb.t);
}

ModelResults FitModel(const ObservedData& data, ModelTables& tb) {
  tb = ModelTables(data.K, data.R);
  CopyCounts(data, tb);
  const int caso = CaseOf(data);
  if (caso == 2) {
    tb.K = 3;
    incremento(tb);
  }

  ModelResults res;
  Fit(tb);
  if (caso == 2) {
    parametros(tb, 1);
    res.agreementesp = tb.acuerd;
    res.piesp = tb.prop;
    res.overallesp = tb.acglobal;
  }
  parametros(tb, caso);
  res.first = FitOf(tb, caso);
  const int zeroProbabilities = ZeroProbabilities(tb);

  if (desviaciones(tb, caso, res.first.overall)) res.refit = FitOf(tb, caso);
  res.stable = res.first.stable && (!res.refit || res.refit->stable);
  res.spread = std::max(res.first.spread, res.refit ? res.refit->spread : 0.0);
  res.objectsUsed = data.Norg;
  res.consistencySe = SquareRoots(tb.var_cons);
  res.agreementSe = SquareRoots(tb.var_alp);
  res.overallSe = std::sqrt(tb.var_suc);
  res.increment = (caso == 2 ? 0.5 : 0.0) + (res.refit ? 0.5 : 0.0);
  res.pseudoObjects = tb.N - data.Norg;
  res.report = SelectReport(caso, res.first.B, zeroProbabilities);
  return res;
}

}  // namespace zover
