// Fleiss' kappa and its large-sample standard error.
//
// With n_si the number of raters who put row s in class i and
// p_i = sum_s n_si / (n R) the pooled proportion of class i:
//   P_e     = sum_i p_i^2
//   kappa_F = 1 - (R n R - sum_s,i n_si^2) / (R n (R - 1) (1 - P_e))
// The variance sums the squared first-order influence u_s of every row,
// weighted by the number of objects the row stands for:
//   Var = sum_s w_s u_s^2 / ((1 - P_e)^4 n^2).
// Objects with the same responses have the same influence, so a row is a
// response tuple, weighted by the objects that gave it.

#include <cmath>
#include <vector>

#include "kappa/kappa.h"

namespace zover {

namespace {

// u_s^2 of one row, weighted, added to v: pe is P_e, meanAgreement is P-bar,
// w = P-bar P_e - 2 P_e + P-bar, classRatings[i] = R s_i + sum_r f_ir. The
// sums over classes visit the row's classes in increasing order, which adds
// exactly what the loop over all K classes adds (the other terms are 0).
struct Influence {
  const ObservedData& tb;
  double pe;
  double meanAgreement;
  double w;
  std::vector<double> classRatings;
  ClassTally tally;
  double v = 0;

  void AddRow(double weight) {
    const int R = tb.R;
    double q = 0;
    double m = 0;
    for (const int i : tally.used()) {
      const int count = tally.raters(i);
      q += count * count;
      m += count * classRatings[i];
    }
    const double pairsAgreeing = (q - R) / (R * (R - 1));
    const double meanRating = m / (R * tb.Norg * R);
    const double u = (1 - pe) * pairsAgreeing - 2 * (1 - meanAgreement) * meanRating - w;
    v += weight * (u * u);
  }
};

// Sum over rows of u_s^2, weighted by the objects each row stands for: the
// occurring response tuples (weight: their counts), in the order of the
// tuple counts.
double InfluenceSum(const ObservedData& tb, double pe, double meanAgreement) {
  const int R = tb.R;
  Influence influence{tb, pe, meanAgreement, meanAgreement * pe - 2 * pe + meanAgreement,
                      std::vector<double>(static_cast<std::size_t>(tb.K)), ClassTally(tb.K)};
  // R s_i + sum_r f_ir: the ratings of class i over all objects.
  for (int i = 0; i < tb.K; ++i) {
    double failures = 0;
    for (int r = 0; r < R; ++r) failures += tb.failaux[i][r];
    influence.classRatings[i] = R * tb.successaux[i] + failures;
  }
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    influence.tally.Tally(tb.frec.Values(u, scratch.data()), R, 1);
    influence.AddRow(tb.frec.count(u));
  }
  return influence.v;
}

}  // namespace

FleissKappa coefficientFleiss(const ObservedData& tb) {
  const double n = tb.Norg;
  const int R = tb.R;
  FleissKappa fleiss;
  fleiss.sumadoble.assign(static_cast<std::size_t>(tb.K), 0.0);
  double squaredTotals = 0;  // sum_i T_i^2
  for (int i = 0; i < tb.K; ++i) {
    double total = 0;  // T_i: how often class i was chosen
    double squares = 0;
    for (int q = 0; q < R; ++q) {
      total += (q + 1.0) * tb.datafleiss[i][q];
      squares += (q + 1.0) * (q + 1.0) * tb.datafleiss[i][q];
    }
    fleiss.sumadoble[i] = squares;
    fleiss.sumaA += fleiss.sumadoble[i];
    squaredTotals += total * total;
  }
  const double sumaA = fleiss.sumaA;
  const double pe = squaredTotals / (static_cast<double>(R * R) * (n * n));
  fleiss.kappa.estimate = 1 - (R * n * R - sumaA) / (R * n * (R - 1) * (1 - pe));

  const double meanAgreement = sumaA / (R * n * (R - 1)) - 1.0 / (R - 1);
  const double variance = InfluenceSum(tb, pe, meanAgreement) / (std::pow(1 - pe, 4) * n * n);
  fleiss.kappa.se = std::sqrt(variance);
  fleiss.kappa.hasSe = true;
  return fleiss;
}

}  // namespace zover
