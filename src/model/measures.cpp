// The measures of a fitted model: agreement and consistency of every class,
// overall agreement, and the chance probabilities of every class and rater.
// With a_i = s_i / n and alpha_i the class parameter of the fit,
//
//     pi_ir = (d_ir + alpha_i) / B,   A_i = a_i - alpha_i,
//     C_i = R A_i / ((1 - O) sum_r pi_ir + R A_i),   O = 1 - B.

#include "model/model.h"
#include "tables/near.h"

namespace zover {

namespace {

double RowSum(const ModelTables& tb, int i) {
  double sum = 0.0;
  for (int r = 0; r < tb.R; ++r) sum += tb.dmat[i][r];
  return sum;
}

// B0 = -1: class t has alpha -> infinity. The agreement is the raw share of
// unanimous objects and there are no chance probabilities; acglobal is left
// as it was (the report shows minus infinity).
void MinusInfinityMeasures(ModelTables& tb) {
  for (int i = 0; i < tb.K; ++i) {
    tb.acuerd[i] = tb.success[i] / tb.N;
    for (int r = 0; r < tb.R; ++r) tb.prop[i][r] = 0;
    tb.consist[i] = tb.R * tb.acuerd[i] / (tb.R * tb.acuerd[i] + RowSum(tb, i));
  }
}

// R = K = 2 fitted with a dummy third class: the two real classes only,
// their agreements rescaled by the share of objects that rater 0 put in one
// of them.
void TwoClassMeasures(ModelTables& tb) {
  const double a0 = tb.success[0] / tb.N;
  const double a1 = tb.success[1] / tb.N;
  const double real = (a1 + a0) + tb.dmat[0][0] + tb.dmat[1][0];
  for (int i = 0; i < 2; ++i) {
    const double a = tb.success[i] / tb.N;
    const double alpha = tb.alp_neg[i];
    for (int r = 0; r < tb.R; ++r) tb.prop[i][r] = (tb.dmat[i][r] + alpha) / tb.B0;
    tb.acuerdaux[i] = a - alpha;
    tb.acuerd[i] = tb.acuerdaux[i] / real;
    tb.consist[i] = 2 * tb.acuerdaux[i] / (2 * a + tb.dmat[i][0] + tb.dmat[i][1]);
  }
  tb.acglobal = tb.acuerd[0] + tb.acuerd[1];
}

void GeneralMeasures(ModelTables& tb) {
  if (tb.paso == RootBranch::kLargerForT) tb.alp_neg[tb.t] = tb.alp_pos;
  tb.acglobal = 1.0 - tb.B0;
  const bool indeterminate = Near(tb.B0, 0);
  for (int i = 0; i < tb.K; ++i) {
    const double alpha = tb.alp_neg[i];
    double S = 0.0;
    for (int r = 0; r < tb.R; ++r) {
      tb.prop[i][r] = indeterminate ? 0 : (tb.dmat[i][r] + alpha) / tb.B0;
      S += tb.prop[i][r];
    }
    tb.acuerd[i] = tb.success[i] / tb.N - alpha;
    tb.consist[i] = tb.R * tb.acuerd[i] / ((1.0 - tb.acglobal) * S + tb.R * tb.acuerd[i]);
  }
}

}  // namespace

void parametros(ModelTables& tb, int caso) {
  if (tb.B0 == -1.0)
    MinusInfinityMeasures(tb);
  else if (caso == 2)
    TwoClassMeasures(tb);
  else
    GeneralMeasures(tb);
}

}  // namespace zover
