// The analysis of one pass, after the data entry: the fit of the Zover model
// with its special cases and standard errors, the raw agreement line, the
// kappa coefficients and the model report.

#include <cmath>
#include <ostream>

#include "driver/driver.h"
#include "console/format.h"
#include "driver/report.h"
#include "kappa/kappa.h"
#include "model/model.h"

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
void PrintRawAgreement(const Tables& tb, std::ostream& out) {
  double count = 0;
  for (int i = 0; i < tb.K; ++i) count = std::trunc(count + tb.successaux[i]);
  Print(out, "\n\n Raw = %.4lf and n = %.0lf", {count / tb.Norg, tb.Norg});
}

// t_indice[i][r]: the proportion of the objects that rater r put in class i.
void FillMarginalProportions(Tables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    for (int r = 0; r < tb.R; ++r) {
      tb.t_indice[i][r] = tb.successaux[i] / tb.Norg + tb.failaux[i][r] / tb.Norg;
    }
  }
}

void PrintKappas(Tables& tb, std::ostream& out) {
  coefficientKappa(tb, out);
  if (tb.entrada == 4) return;  // no observed responses: no Fleiss' kappa, no H2
  coefficientFleiss(tb, out);
  if (tb.R > 2) coefficientH2(tb, out);
}

}  // namespace

void AnalysePass(Console& con, Tables& tb) {
  std::ostream& out = con.out;
  if (tb.R == tb.K && tb.K == 2) PrepareTwoByTwo(tb);

  const double B = Fit(tb);
  if (tb.KR == 2) {
    parametros(tb, 1);
    CopyThreeClassMeasures(tb);
  }
  parametros(tb, tb.KR);
  const int zeroProbabilities = CopyFirstEstimate(tb);
  desviaciones(tb, tb.KR);
  if (tb.KR == 2) tb.K = 2;

  Print(out, "\n\n");
  Print(out, "\n");
  PrintRawAgreement(tb, out);
  FillMarginalProportions(tb);
  PrintKappas(tb, out);
  PrintReport(tb, SelectReport(tb, B, zeroProbabilities), out);
}

}  // namespace zover
