// Hubert's pairwise kappa H2: one minus the ratio of the observed to the
// chance-expected number of disagreeing ordered pairs of raters per object.
//
//   S  = sum_i sum_{j<k} t_ij t_ik
//   H2 = 1 - (R R - sumaA / n) / (R (R - 1) - 2 S)
//
// The pairs of raters of class i add up to ((sum_j t_ij)^2 - sum_j t_ij^2) / 2,
// which takes R steps a class instead of R^2 / 2.

#include "kappa/kappa.h"

namespace zover {

double coefficientH2(const ObservedData& tb, const Grid<double>& t_indice, double sumaA) {
  const double n = tb.Norg;
  const int R = tb.R;
  double s = 0;
  for (int i = 0; i < tb.K; ++i) {
    double sum = 0;
    double squares = 0;
    for (int j = 0; j < R; ++j) {
      const double t = t_indice[i][j];
      sum += t;
      squares += t * t;
    }
    s += (sum * sum - squares) / 2;
  }
  return 1 - (R * R - sumaA / n) / (R * (R - 1) - 2 * s);
}

}  // namespace zover
