// Agreement coefficients from counted rating patterns.
//
// Notation: n objects i with at least one rating (each pattern stands for
// `weight` of them), q = K classes k, r_ik raters who put object i in class
// k, r_i = sum_k r_ik, n2 the objects with r_i >= 2. An object that nobody
// rated is no observation: counting it among the n would shrink every pi_k,
// so that the shares no longer add up to 1 and the estimates would change
// with the number of blank objects. It is left out.
//
// Gwet's family. The observed agreement of an object with r_i >= 2 is
//   pa_i = sum_k r_ik (r_ik - 1) / (r_i (r_i - 1)),  pa = (1/n2) sum_i pa_i,
// the class shares are pi_k = (1/n) sum_i r_ik / r_i, and each coefficient
// gamma = (pa - pe) / (1 - pe) has its own chance agreement pe and
// per-object part pe_i:
//   percent agreement  pe = 0                            pe_i = 0
//   Brennan-Prediger   pe = 1/q                          pe_i = 1/q
//   Gwet's AC1         pe = sum_k pi_k (1 - pi_k)/(q-1)  pe_i = sum_k (r_ik/r_i)(1 - pi_k)/(q-1)
//   Fleiss (general)   pe = sum_k pi_k^2                 pe_i = sum_k (r_ik/r_i) pi_k
// Gwet's variance, for an infinite population, sums the linearised
// contribution of every object:
//   gamma_i  = (n/n2) (pa_i - pe) / (1 - pe) if r_i >= 2, else 0,
//   gamma*_i = gamma_i - 2 (1 - gamma) (pe_i - pe) / (1 - pe),
//   Var      = sum_i (gamma*_i - gamma)^2 / (n (n - 1)).
//
// Krippendorff's alpha (nominal) from the coincidences of the objects with
// r_i >= 2, each ordered pair of ratings weighted 1 / (r_i - 1):
//   n_c = sum_i r_ic,  n.. = sum_c n_c,
//   D_o = sum_i sum_c r_ic (r_i - r_ic) / (r_i - 1),
//   D_e = sum_c n_c (n.. - n_c) / (n.. - 1),   alpha = 1 - D_o / D_e.
// The products of counts are exact integers, so D_o and D_e need no
// difference of large squares.

#include "kappa/coefficients.h"

#include <array>
#include <cmath>

#include "kappa/detail.h"

namespace zover {

namespace detail {

int RaterCount(const RatingPattern& pattern, int K) {
  if (!(pattern.weight >= 0) || !std::isfinite(pattern.weight)) return -1;
  int raters = 0;
  int previous = -1;
  for (const auto& [klass, count] : pattern.counts) {
    if (klass <= previous || klass >= K || count < 1) return -1;
    previous = klass;
    raters += count;
  }
  return raters;
}

Members EstimateMembers(double pa, const std::array<double, kMembers>& pe, int K, const MemberResults& out) {
  Members m;
  for (int c = 0; c < kMembers; ++c) {
    m[c].pe = pe[c];
    if (c == kGwet && K == 1) {
      out[c]->reason = kOnlyOneClass;
      continue;
    }
    if (!(1 - m[c].pe > 0)) {
      out[c]->reason = K == 1 ? kOnlyOneClass : kOneClass;
      continue;
    }
    m[c].valid = true;
    m[c].gamma = (pa - m[c].pe) / (1 - m[c].pe);
    out[c]->estimate = m[c].gamma;
    // 0 - x, so that percent agreement (pe = 0) has the floor +0, not -0.
    out[c]->range = {0 - m[c].pe / (1 - m[c].pe), 1};
  }
  return m;
}

namespace {

// Raters who rate by chance agree too, so a test of percent agreement
// against no agreement at all rejects for any real data.
constexpr const char* kNotTested = "no test against 0: raters agree by chance too";

// Sets the standard error of `result` from its variance, and the interval
// at `level` within its range, and, when the coefficient is `tested`, z and
// p that follow from it.
void SetStandardError(Inference& result, double variance, double level, bool tested) {
  const double estimate = *result.estimate;
  const double se = std::sqrt(variance);
  result.se = se;
  result.ci = ConfidenceInterval(estimate, se, result.range, level);
  if (!tested) {
    result.reason = kNotTested;
  } else if (se > 0) {
    result.z = estimate / se;
    result.p = TwoSidedP(*result.z);
  } else {
    result.reason = kZeroSe;
  }
}

}  // namespace

void SetStandardErrors(const Members& m, double n, double level, const MemberResults& out) {
  for (int c = 0; c < kMembers; ++c) {
    if (!m[c].valid) continue;
    const double variance = m[c].varies ? m[c].squares / (n * (n - 1)) : 0.0;
    SetStandardError(*out[c], variance, level, c != kPercent);
  }
}

void SetObjectsUsed(double n, const MemberResults& out) {
  for (Inference* member : out) member->objectsUsed = n;
}

void MarkFewRated(const Members& m, const MemberResults& out) {
  for (int c = 0; c < kMembers; ++c) {
    if (m[c].valid) out[c]->reason = "fewer than two objects have two ratings";
  }
}

}  // namespace detail

namespace {

using namespace detail;

// Sets z and p of `result` from its estimate and se0 > 0.
void SetNullZ(NullTest& result) {
  if (!(*result.se0 > 0)) {
    result.reason = "the null standard error is 0";
    return;
  }
  result.z = *result.estimate / *result.se0;
  result.p = TwoSidedP(*result.z);
}

// The sums of the first pass over the patterns.
struct PatternTotals {
  bool malformed = false;
  double objects = 0;              // n: objects with at least one rating
  double rated = 0;                // n2: objects with two ratings or more
  double agreement = 0;            // sum of pa_i over them
  std::vector<double> shares;      // [class]: sum of r_ik / r_i
  double pairable = 0;             // n..: the ratings of objects with two or more
  std::vector<double> pairableOf;  // [class]: n_c
  double disagreement = 0;         // D_o
};

PatternTotals SumPatterns(const PatternSource& patterns, int K) {
  PatternTotals t;
  t.shares.assign(static_cast<std::size_t>(K), 0.0);
  t.pairableOf.assign(static_cast<std::size_t>(K), 0.0);
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 0) t.malformed = true;
    if (r <= 0 || t.malformed) return;
    const double w = pattern.weight;
    t.objects += w;
    double agreeing = 0;  // sum_k r_ik (r_ik - 1), ordered pairs in one class
    double apart = 0;     // sum_k r_ik (r_i - r_ik), ordered pairs in two classes
    for (const auto& [klass, count] : pattern.counts) {
      t.shares[klass] += w * (static_cast<double>(count) / r);
      agreeing += static_cast<double>(count) * (count - 1);
      apart += static_cast<double>(count) * (r - count);
    }
    if (r < 2) return;
    t.rated += w;
    t.agreement += w * (agreeing / (static_cast<double>(r) * (r - 1)));
    t.pairable += w * r;
    for (const auto& [klass, count] : pattern.counts) t.pairableOf[klass] += w * count;
    t.disagreement += w * (apart / (r - 1));
  });
  return t;
}

Estimate KrippendorffAlpha(const PatternTotals& t) {
  if (!(t.pairable > 1)) return {std::nullopt, kNoPairs};
  double expected = 0;
  for (const double nc : t.pairableOf) expected += nc * (t.pairable - nc);
  expected /= t.pairable - 1;
  if (!(expected > 0)) return {std::nullopt, kOneClass};
  return {1 - t.disagreement / expected, ""};
}

}  // namespace

PatternSource PatternsOf(const std::vector<RatingPattern>& patterns) {
  return [&patterns](const PatternVisitor& visit) {
    for (const RatingPattern& pattern : patterns) visit(pattern);
  };
}

double TwoSidedP(double z) { return std::erfc(std::fabs(z) / std::sqrt(2.0)); }

AgreementCoefficients ComputeAgreementCoefficients(const PatternSource& patterns, int K, double level) {
  AgreementCoefficients result;
  const MemberResults out = {&result.percentAgreement, &result.brennanPrediger, &result.gwetAc1,
                             &result.fleissGeneral};
  auto failAll = [&](const char* reason) {
    for (Inference* member : out) member->reason = reason;
    result.krippendorffAlpha.reason = reason;
    return result;
  };
  if (K < 1) return failAll(kMalformed);
  const PatternTotals t = SumPatterns(patterns, K);
  if (t.malformed) return failAll(kMalformed);
  SetObjectsUsed(t.objects, out);
  result.krippendorffAlpha = KrippendorffAlpha(t);
  result.krippendorffAlpha.objectsUsed = t.rated;
  if (t.rated == 0) return failAll(kNoPairs);

  const double n = t.objects;
  const double q = K;
  const double pa = t.agreement / t.rated;
  std::vector<double> pi(t.shares.size());
  for (std::size_t k = 0; k < pi.size(); ++k) pi[k] = t.shares[k] / n;

  std::array<double, kMembers> pe{};
  pe[kPercent] = 0;
  pe[kBrennanPrediger] = 1 / q;
  if (K > 1) {
    double spread = 0;
    for (const double share : pi) spread += share * (1 - share);
    pe[kGwet] = spread / (q - 1);
  }
  double squares = 0;
  for (const double share : pi) squares += share * share;
  pe[kFleiss] = squares;
  Members m = EstimateMembers(pa, pe, K, out);
  if (t.rated < 2) {
    MarkFewRated(m, out);
    return result;
  }

  // Second pass: each object's contribution to the variance.
  const double nOverN2 = n / t.rated;
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r == 0) return;
    double ac1 = 0;
    double fleiss = 0;
    double agreeing = 0;
    for (const auto& [klass, count] : pattern.counts) {
      const double share = static_cast<double>(count) / r;
      ac1 += share * (1 - pi[klass]);
      fleiss += share * pi[klass];
      agreeing += static_cast<double>(count) * (count - 1);
    }
    std::array<double, kMembers> pei{};  // pe_i
    pei[kBrennanPrediger] = 1 / q;
    if (K > 1) pei[kGwet] = ac1 / (q - 1);
    pei[kFleiss] = fleiss;
    const double pai = r >= 2 ? agreeing / (static_cast<double>(r) * (r - 1)) : 0.0;
    AddVarianceTerm(m, pattern.weight, r, pai, pei, nOverN2);
  });
  SetStandardErrors(m, n, level, out);
  return result;
}

// Fleiss' kappa under the null hypothesis. With p_k = sum_i r_ik / (n R) the
// pooled class proportions, q_k = 1 - p_k and S = sum_k p_k q_k:
//   kappa   = 1 - sum_i,k r_ik (R - r_ik) / (n R (R - 1) S)
//   SE0     = sqrt 2 / (S sqrt(n R (R - 1))) sqrt(S^2 - sum_k p_k q_k (q_k - p_k))
//   kappa_k = 1 - sum_i r_ik (R - r_ik) / (n R (R - 1) p_k q_k)
//   SE0_k   = sqrt(2 / (n R (R - 1)))
// z = kappa / SE0 and z_k = kappa_k / SE0_k, with p from the normal
// distribution: these p-values use the null standard errors.
FleissNullTests ComputeFleissNullTests(const PatternSource& patterns, int K, int R,
                                       std::optional<double> kappa) {
  FleissNullTests result;
  auto failAll = [&](const char* reason) {
    result.kappa.reason = reason;
    for (NullTest& k : result.perClass) k.reason = reason;
    return result;
  };
  if (K < 1) return failAll(kMalformed);
  result.perClass.resize(static_cast<std::size_t>(K));
  if (R < 2) return failAll("fewer than two raters");
  std::vector<double> ratings(result.perClass.size(), 0.0);  // sum_i r_ik
  std::vector<double> apart(result.perClass.size(), 0.0);    // sum_i r_ik (R - r_ik)
  std::vector<bool> used(result.perClass.size(), false);     // by any object, rated by every rater or not
  double n = 0;
  bool malformed = false;
  patterns([&](const RatingPattern& pattern) {
    const int r = RaterCount(pattern, K);
    if (r < 0) malformed = true;
    if (malformed) return;
    for (const auto& [klass, count] : pattern.counts) used[klass] = used[klass] || pattern.weight > 0;
    if (r != R) return;
    const double w = pattern.weight;
    n += w;
    for (const auto& [klass, count] : pattern.counts) {
      ratings[klass] += w * count;
      apart[klass] += w * (static_cast<double>(count) * (R - count));
    }
  });
  if (malformed) return failAll(kMalformed);
  result.completeObjects = n;
  result.kappa.objectsUsed = n;
  for (NullTest& k : result.perClass) k.objectsUsed = n;
  if (n == 0) return failAll("no object was rated by every rater");

  const double pairs = n * R * (R - 1);  // ordered pairs of ratings of one object
  const double classSe0 = std::sqrt(2 / pairs);
  double s = 0;
  double skew = 0;  // sum_k p_k q_k (q_k - p_k)
  double disagreement = 0;
  for (std::size_t k = 0; k < ratings.size(); ++k) {
    const double p = ratings[k] / (n * R);
    const double q = 1 - p;
    s += p * q;
    skew += p * q * (q - p);
    disagreement += apart[k];
    NullTest& classTest = result.perClass[k];
    if (p == 0) {
      classTest.reason = used[k] ? "no object rated by every rater got this class" : "nobody used this class";
    } else if (q == 0) {
      classTest.reason = "every rating is in this class";
    } else {
      classTest.estimate = 1 - apart[k] / (pairs * p * q);
      classTest.se0 = classSe0;
      SetNullZ(classTest);
    }
  }

  NullTest& overall = result.kappa;
  if (!(s > 0)) {
    overall.reason = kOneClass;
    return result;
  }
  overall.estimate = kappa ? *kappa : 1 - disagreement / (pairs * s);
  if (!std::isfinite(*overall.estimate)) {
    overall.estimate.reset();
    overall.reason = "the kappa is not a number";
    return result;
  }
  const double spread = s * s - skew;
  overall.se0 = std::sqrt(2.0) / (s * std::sqrt(pairs)) * std::sqrt(spread > 0 ? spread : 0.0);
  SetNullZ(overall);
  return result;
}

// Cohen's kappa under the null hypothesis (Fleiss, Cohen and Everitt 1969):
// with margins a_k (first rater) and b_k (second) and pe = sum_k a_k b_k,
//   Var0 = (pe + pe^2 - sum_k a_k b_k (a_k + b_k)) / (n (1 - pe)^2);
// z = kappa / SE0, and p from it uses this null standard error.
NullTest CohenNullTest(const std::vector<double>& rowShares, const std::vector<double>& colShares, double n,
                       double kappa) {
  NullTest result;
  if (rowShares.size() != colShares.size()) {
    result.reason = "the raters' margins have different numbers of classes";
    return result;
  }
  if (!(n > 0)) {
    result.reason = "there are no objects";
    return result;
  }
  result.objectsUsed = n;
  double pe = 0;
  double cross = 0;  // sum_k a_k b_k (a_k + b_k)
  for (std::size_t k = 0; k < rowShares.size(); ++k) {
    const double both = rowShares[k] * colShares[k];
    pe += both;
    cross += both * (rowShares[k] + colShares[k]);
  }
  if (!(1 - pe > 0)) {
    result.reason = kOneClass;
    return result;
  }
  if (!std::isfinite(kappa)) {
    result.reason = "the kappa is not a number";
    return result;
  }
  result.estimate = kappa;
  const double spread = pe + pe * pe - cross;
  result.se0 = std::sqrt((spread > 0 ? spread : 0.0) / (n * ((1 - pe) * (1 - pe))));
  SetNullZ(result);
  return result;
}

}  // namespace zover
