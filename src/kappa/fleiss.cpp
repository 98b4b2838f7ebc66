// Fleiss' kappa and its large-sample standard error.
//
// With n_si the number of raters who put row s in class i and
// p_i = sum_s n_si / (n R) the pooled proportion of class i:
//   P_e     = sum_i p_i^2
//   kappa_F = 1 - (R n R - sum_s,i n_si^2) / (R n (R - 1) (1 - P_e))
// The variance sums the squared first-order influence u_s of every row,
// weighted by the number of objects the row stands for:
//   Var = sum_s w_s u_s^2 / ((1 - P_e)^4 n^2).

#include <cmath>
#include <vector>

#include "kappa/kappa.h"

namespace zover {

namespace {

// The rows of the object-by-class table and the objects each stands for:
// objects (weight 1), lines of the frequencies file, or response tuples.
std::size_t RowCount(const Tables& tb) {
  switch (tb.entrada) {
    case 1: return static_cast<std::size_t>(tb.Norg);
    case 2: return static_cast<std::size_t>(tb.contextra);
    default: return tb.indicexten.rows();
  }
}

// How many raters put a row in each class: RFleiss in mode 3; in the file
// modes counted from the row's classes in `data` into one scratch row, which
// is cleared again for the next row, so that no table of every row by every
// class is needed.
class RowCounts {
 public:
  explicit RowCounts(const Tables& tb)
      : tb_(tb), scratch_(tb.entrada == 3 ? 0 : static_cast<std::size_t>(tb.K), 0) {}

  const int* Of(std::size_t s) {
    if (tb_.entrada == 3) return tb_.RFleiss[s];
    Clear();
    row_ = tb_.data[s];
    for (int r = 0; r < tb_.R; ++r) ++scratch_[row_[r] - 1];
    return scratch_.data();
  }

 private:
  void Clear() {
    if (row_ == nullptr) return;
    for (int r = 0; r < tb_.R; ++r) scratch_[row_[r] - 1] = 0;
  }

  const Tables& tb_;
  std::vector<int> scratch_;
  const int* row_ = nullptr;  // the row whose counts the scratch row holds
};

double RowWeight(const Tables& tb, std::size_t s) {
  switch (tb.entrada) {
    case 1: return 1;
    case 2: return tb.data[s][tb.R];
    default: return tb.indicexten[s][tb.R];
  }
}

// Sum over rows of u_s^2, weighted; pe is P_e and meanAgreement is P-bar.
double InfluenceSum(const Tables& tb, double pe, double meanAgreement) {
  const int R = tb.R;
  const double w = meanAgreement * pe - 2 * pe + meanAgreement;
  // R s_i + sum_r f_ir: the ratings of class i over all objects.
  std::vector<double> classRatings(static_cast<std::size_t>(tb.K));
  for (int i = 0; i < tb.K; ++i) {
    double failures = 0;
    for (int r = 0; r < R; ++r) failures += tb.failaux[i][r];
    classRatings[i] = R * tb.successaux[i] + failures;
  }
  double v = 0;
  const std::size_t rows = RowCount(tb);
  RowCounts rowCounts(tb);
  for (std::size_t s = 0; s < rows; ++s) {
    const double weight = RowWeight(tb, s);
    if (weight <= 0) continue;
    const int* counts = rowCounts.Of(s);
    double q = 0;
    double m = 0;
    for (int i = 0; i < tb.K; ++i) {
      const int count = counts[i];
      q += count * count;
      m += count * classRatings[i];
    }
    const double pairsAgreeing = (q - R) / (R * (R - 1));
    const double meanRating = m / (R * tb.Norg * R);
    const double u = (1 - pe) * pairsAgreeing - 2 * (1 - meanAgreement) * meanRating - w;
    v += weight * (u * u);
  }
  return v;
}

}  // namespace

KappaEstimate coefficientFleiss(Tables& tb) {
  tb.N = tb.Norg;
  const double n = tb.N;
  const int R = tb.R;
  tb.sumaA = 0;
  double squaredTotals = 0;  // sum_i T_i^2
  for (int i = 0; i < tb.K; ++i) {
    double total = 0;  // T_i: how often class i was chosen
    double squares = 0;
    for (int q = 0; q < R; ++q) {
      total += (q + 1.0) * tb.datafleiss[i][q];
      squares += (q + 1.0) * (q + 1.0) * tb.datafleiss[i][q];
    }
    tb.sumadoble[i] = squares;
    tb.sumaA += tb.sumadoble[i];
    squaredTotals += total * total;
  }
  const double pe = squaredTotals / (static_cast<double>(R * R) * (n * n));
  KappaEstimate kappa;
  kappa.estimate = 1 - (R * n * R - tb.sumaA) / (R * n * (R - 1) * (1 - pe));

  const double meanAgreement = tb.sumaA / (R * n * (R - 1)) - 1.0 / (R - 1);
  const double variance = InfluenceSum(tb, pe, meanAgreement) / (std::pow(1 - pe, 4) * n * n);
  kappa.se = std::sqrt(variance);
  kappa.hasSe = true;
  return kappa;
}

}  // namespace zover
