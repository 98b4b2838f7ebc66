// Hubert's kappa and its standard error.
//
//   P_o = sum_i s_i / n                 (objects on which all raters agree)
//   P_e = sum_i prod_j t_ij             (chance that all raters agree)
//   kappa = (P_o - P_e) / (1 - P_e)
//
// The variance is the first-order large-sample variance over the multinomial
// distribution of the response tuples: unanimous tuples enter through the
// agreements s_i, every other observed tuple through its frequency.

#include <cmath>
#include <vector>

#include "kappa/kappa.h"

namespace zover {

namespace {

double ObservedAgreement(const ObservedData& tb) {
  double po = 0;
  for (int i = 0; i < tb.K; ++i) po += tb.successaux[i] / tb.Norg;
  return po;
}

double ChanceAgreement(const ObservedData& tb, const Grid<double>& t_indice) {
  double pe = 0;
  for (int i = 0; i < tb.K; ++i) {
    double all = 1.0;
    for (int j = 0; j < tb.R; ++j) all *= t_indice[i][j];
    pe += all;
  }
  return pe;
}

// factorE[i][j]: the product of t_indice[i][k] over the raters k other than
// j, as the product of the raters before j (from 1.0, rater 0 first) times
// the product of the raters after j (from 1.0, rater R-1 first): 3R
// multiplications a class instead of R^2. No division, so a proportion of 0
// takes no special care.
Grid<double> LeaveOneRaterOut(const ObservedData& tb, const Grid<double>& t_indice) {
  Grid<double> factorE(static_cast<std::size_t>(tb.K), static_cast<std::size_t>(tb.R));
  for (int i = 0; i < tb.K; ++i) {
    const double* t = t_indice[i];
    double* factor = factorE[i];
    double before = 1.0;
    for (int j = 0; j < tb.R; ++j) {
      factor[j] = before;
      before *= t[j];
    }
    double after = 1.0;
    for (int j = tb.R - 1; j >= 0; --j) {
      factor[j] *= after;
      after *= t[j];
    }
  }
  return factorE;
}

// The part of the variance from the disagreeing tuples: sum of f T^2 / n over
// the observed tuples that are not unanimous, T = sum_j factorE[c_j][j], in
// the order of the tuple counts (the order of the tuple numbers, or the order
// in which the keyboard entry asked for them).
double DisagreeingTuples(const ObservedData& tb, const Grid<double>& factorE) {
  double b = 0;
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R));
  for (std::size_t u = 0; u < tb.frec.size(); ++u) {
    if (tb.frec.unanimous(u)) continue;
    const std::uint16_t* tuple = tb.frec.Values(u, scratch.data());
    double sum = 0;
    for (int j = 0; j < tb.R; ++j) sum += factorE[tuple[j] - 1][j];
    b += static_cast<int>(tb.frec.count(u)) * (sum * sum) / tb.Norg;
  }
  return b;
}

double StandardError(const ObservedData& tb, const Grid<double>& factorE, double kappa, double pe) {
  double a = 0;
  for (int i = 0; i < tb.K; ++i) {
    double s = 0;
    for (int j = 0; j < tb.R; ++j) s += factorE[i][j];
    const double term = 1 - (1 - kappa) * s;
    a += tb.successaux[i] * (term * term) / tb.Norg;
  }
  const double q = (1 - kappa) * (1 - kappa) * DisagreeingTuples(tb, factorE);
  const double d = (tb.R - 1) * (1 - kappa) * pe - kappa;
  const double variance = (a + q - d * d) / (tb.Norg * (1 - pe) * (1 - pe));
  return std::sqrt(variance);
}

}  // namespace

HubertKappa coefficientKappa(const ObservedData& tb, const Grid<double>& t_indice) {
  const double po = ObservedAgreement(tb);
  const double pe = ChanceAgreement(tb, t_indice);
  HubertKappa hubert;
  hubert.kappa.estimate = (po - pe) / (1 - pe);
  // Agreements and disagreements alone carry no tuple frequencies.
  if (tb.entrada == EntryMode::kKeyboardModel) return hubert;
  hubert.factorE = LeaveOneRaterOut(tb, t_indice);
  hubert.kappa.se = StandardError(tb, hubert.factorE, hubert.kappa.estimate, pe);
  hubert.kappa.hasSe = true;
  return hubert;
}

}  // namespace zover
