// Weighted agreement coefficients for ordered classes.
//
// Gwet's family with weights (Gwet 2008; Gwet 2014, ch. 3; as irrCAC's
// *.raw functions with a weights matrix). With r*_ik = sum_l w_kl r_il, the
// raters of object i whose class counts as agreeing with k,
//   pa_i = sum_k r_ik (r*_ik - 1) / (r_i (r_i - 1)),  pa = (1/n2) sum_i pa_i,
// and with T_w = sum_kl w_kl and pibar_k = sum_l (w_kl + w_lk)/2 pi_l:
//   percent agreement  pe = 0                                 pe_i = 0
//   Brennan-Prediger   pe = T_w / q^2                         pe_i = pe
//   Gwet's AC2         pe = T_w sum_k pi_k (1 - pi_k)/(q(q-1)) pe_i = T_w sum_k (r_ik/r_i)(1 - pi_k)/(q(q-1))
//   Fleiss (general)   pe = sum_kl w_kl pi_k pi_l              pe_i = sum_k (r_ik/r_i) pibar_k
// and the estimate and Gwet's variance as for the unweighted members.
//
// Cohen's weighted kappa (Fleiss, Cohen and Everitt 1969), from the two
// raters' table of proportions p_kl with margins a_k (first rater) and b_l
// (second), wr_k = sum_l w_kl b_l and wc_l = sum_k w_kl a_k:
//   po = sum w_kl p_kl,  pe = sum w_kl a_k b_l,  kappa = (po - pe) / (1 - pe),
//   Var  = [sum p_kl (w_kl - (wr_k + wc_l)(1 - kappa))^2 - (kappa - pe (1 - kappa))^2] / (n (1 - pe)^2),
//   Var0 = [sum a_k b_l (w_kl - (wr_k + wc_l))^2 - pe^2] / (n (1 - pe)^2).

#include <cmath>

#include "kappa/detail.h"
#include "kappa/ordered.h"

namespace zover {

using namespace detail;

double detail::DifferenceOrZero(double terms, double less) {
  const double difference = terms - less;
  return difference > 1e-12 * std::fabs(terms) ? difference : 0.0;
}

std::vector<double> ClassValues(const std::vector<double>& labelValues, int K) {
  if (labelValues.size() == static_cast<std::size_t>(K)) return labelValues;
  std::vector<double> values(static_cast<std::size_t>(K > 0 ? K : 0));
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<double>(k + 1);
  return values;
}

Grid<double> WeightMatrix(WeightScheme scheme, const std::vector<double>& values) {
  const std::size_t q = values.size();
  Grid<double> w(q, q);
  double low = 0, high = 0;
  for (std::size_t k = 0; k < q; ++k) {
    low = k == 0 ? values[k] : std::min(low, values[k]);
    high = k == 0 ? values[k] : std::max(high, values[k]);
  }
  const double range = high - low;
  for (std::size_t k = 0; k < q; ++k) {
    for (std::size_t l = 0; l < q; ++l) {
      const double apart = std::fabs(values[k] - values[l]) / range;
      if (k == l || !(range > 0) || scheme == WeightScheme::kIdentity) {
        w[k][l] = k == l ? 1.0 : 0.0;
      } else {
        w[k][l] = scheme == WeightScheme::kLinear ? 1 - apart : 1 - apart * apart;
      }
    }
  }
  return w;
}

WeightedAgreement ComputeWeightedCoefficients(const PatternSource& patterns, const Grid<double>& weights,
                                              double level) {
  WeightedAgreement result;
  const MemberResults out = {&result.percentAgreement, &result.brennanPrediger, &result.gwetAc2,
                             &result.fleissGeneral};
  auto failAll = [&](const char* reason) {
    for (Inference* member : out) member->reason = reason;
    return result;
  };
  const int K = static_cast<int>(weights.rows());
  if (K < 1 || weights.cols() != weights.rows()) return failAll(kMalformed);

  // The agreement of one object: sum_k r_ik (r*_ik - 1) / (r_i (r_i - 1)).
  auto agreementOf = [&weights](const RatingPattern& pattern, int r) {
    double agreeing = 0;
    for (const auto& [k, count] : pattern.counts) {
      double credited = 0;  // r*_ik
      for (const auto& [l, other] : pattern.counts) credited += weights[k][l] * other;
      agreeing += count * (credited - 1);
    }
    return agreeing / (static_cast<double>(r) * (r - 1));
  };

  // First pass: n, n2, the sum of pa_i and the class shares.
  double n = 0, n2 = 0, agreement = 0;
  std::vector<double> shares(static_cast<std::size_t>(K), 0.0);
  bool malformed = false;
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 0) malformed = true;
    if (r <= 0 || malformed) return;
    const double w = pattern.weight;
    n += w;
    for (const auto& [k, count] : pattern.counts) shares[k] += w * (static_cast<double>(count) / r);
    if (r < 2) return;
    n2 += w;
    agreement += w * agreementOf(pattern, r);
  });
  if (malformed) return failAll(kMalformed);
  SetObjectsUsed(n, out);
  if (n2 == 0) return failAll(kNoPairs);

  const double q = K;
  const double pa = agreement / n2;
  std::vector<double> pi(shares.size());
  for (std::size_t k = 0; k < pi.size(); ++k) pi[k] = shares[k] / n;
  double total = 0;  // T_w
  std::vector<double> pibar(pi.size(), 0.0);
  double fleiss = 0;
  for (int k = 0; k < K; ++k) {
    for (int l = 0; l < K; ++l) {
      total += weights[k][l];
      pibar[k] += (weights[k][l] + weights[l][k]) / 2 * pi[l];
      fleiss += weights[k][l] * pi[k] * pi[l];
    }
  }
  const double gwetScale = K > 1 ? total / (q * (q - 1)) : 0.0;
  std::array<double, kMembers> pe{};
  pe[kBrennanPrediger] = total / (q * q);
  double spread = 0;
  for (const double share : pi) spread += share * (1 - share);
  pe[kGwet] = gwetScale * spread;
  pe[kFleiss] = fleiss;
  Members m = EstimateMembers(pa, pe, K, out);
  if (n2 < 2) {
    MarkFewRated(m, out);
    return result;
  }

  // Second pass: each object's contribution to the variance.
  const double nOverN2 = n / n2;
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r == 0) return;
    std::array<double, kMembers> pei{};
    pei[kBrennanPrediger] = pe[kBrennanPrediger];
    for (const auto& [k, count] : pattern.counts) {
      const double share = static_cast<double>(count) / r;
      pei[kGwet] += share * (1 - pi[k]);
      pei[kFleiss] += share * pibar[k];
    }
    pei[kGwet] *= gwetScale;
    AddVarianceTerm(m, pattern.weight, r, r >= 2 ? agreementOf(pattern, r) : 0.0, pei, nOverN2);
  });
  SetStandardErrors(m, n, level, out);
  return result;
}

Grid<double> CrossTable(const TupleCounts& tuples, int K) {
  Grid<double> table(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
  if (tuples.raters() != 2) return table;
  std::uint16_t scratch[2];
  for (std::size_t u = 0; u < tuples.size(); ++u) {
    const std::uint16_t* classes = tuples.Values(u, scratch);
    if (classes[0] < 1 || classes[0] > K || classes[1] < 1 || classes[1] > K) continue;
    table[classes[0] - 1][classes[1] - 1] += tuples.count(u);
  }
  return table;
}

WeightedKappa WeightedCohenKappa(const Grid<double>& table, const Grid<double>& weights, double level) {
  const std::size_t K = table.rows() == table.cols() ? table.rows() : 0;
  std::vector<char> seen(K, 0);
  for (std::size_t k = 0; k < K; ++k) {
    for (std::size_t l = 0; l < K; ++l) {
      if (table[k][l] != 0) seen[k] = seen[l] = 1;
    }
  }
  return WeightedCohenKappa(table, weights, FlaggedClasses(seen), level);
}

// The sums read only the classes used: every term of another class is a
// product with a count or share of 0, which leaves a sum begun at +0 the
// same to the bit.
WeightedKappa WeightedCohenKappa(const Grid<double>& table, const Grid<double>& weights,
                                 const std::vector<std::size_t>& used, double level) {
  WeightedKappa result;
  Inference& kappa = result.kappa;
  const std::size_t K = weights.rows();
  if (table.rows() != K || table.cols() != K || weights.cols() != K) {
    kappa.reason = "the table and the weights do not match";
    return result;
  }
  double n = 0;
  for (const std::size_t k : used) {
    for (const std::size_t l : used) n += table[k][l];
  }
  if (!(n > 0)) {
    kappa.reason = "there are no objects";
    return result;
  }
  kappa.objectsUsed = n;
  std::vector<double> a(K, 0.0), b(K, 0.0);
  for (const std::size_t k : used) {
    for (const std::size_t l : used) {
      a[k] += table[k][l] / n;
      b[l] += table[k][l] / n;
    }
  }
  double po = 0, pe = 0;
  std::vector<double> wr(K, 0.0), wc(K, 0.0);
  for (const std::size_t k : used) {
    for (const std::size_t l : used) {
      po += weights[k][l] * (table[k][l] / n);
      pe += weights[k][l] * a[k] * b[l];
      wr[k] += weights[k][l] * b[l];
      wc[l] += weights[k][l] * a[k];
    }
  }
  if (!(1 - pe > 0)) {
    kappa.reason = kOneClass;
    return result;
  }
  const double estimate = (po - pe) / (1 - pe);
  double spread = 0, spread0 = 0;
  for (const std::size_t k : used) {
    for (const std::size_t l : used) {
      const double d = weights[k][l] - (wr[k] + wc[l]) * (1 - estimate);
      const double d0 = weights[k][l] - (wr[k] + wc[l]);
      spread += table[k][l] / n * (d * d);
      spread0 += a[k] * b[l] * (d0 * d0);
    }
  }
  const double scale = n * ((1 - pe) * (1 - pe));
  const double centre = estimate - pe * (1 - estimate);
  const double se = std::sqrt(DifferenceOrZero(spread, centre * centre) / scale);
  const double se0 = std::sqrt(DifferenceOrZero(spread0, pe * pe) / scale);
  kappa.estimate = estimate;
  kappa.se = se;
  kappa.ci = ConfidenceInterval(estimate, se, kappa.range, level);
  result.se0 = se0;
  if (se0 > 0) {
    kappa.z = estimate / se0;
    kappa.p = TwoSidedP(*kappa.z);
  } else {
    kappa.reason = "the null standard error is 0";
  }
  return result;
}

}  // namespace zover
