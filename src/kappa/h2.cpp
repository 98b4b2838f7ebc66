// Hubert's pairwise kappa H2: one minus the ratio of the observed to the
// chance-expected number of disagreeing ordered pairs of raters per object.
//
//   S  = sum_i sum_{j<k} t_ij t_ik
//   H2 = 1 - (R R - sumaA / n) / (R (R - 1) - 2 S)

#include "kappa/kappa.h"

namespace zover {

double coefficientH2(Tables& tb) {
  tb.N = tb.Norg;
  const double n = tb.N;
  const int R = tb.R;
  double s = 0;
  for (int i = 0; i < tb.K; ++i) {
    for (int j = 0; j <= R - 2; ++j) {
      for (int k = j + 1; k <= R - 1; ++k) s += tb.t_indice[i][j] * tb.t_indice[i][k];
    }
  }
  return 1 - (R * R - tb.sumaA / n) / (R * (R - 1) - 2 * s);
}

}  // namespace zover
