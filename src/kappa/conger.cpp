// Conger's kappa (Conger 1980) with Gwet's variance, as irrCAC's
// conger.kappa.raw computes it (Gwet 2014), missing ratings allowed.
//
// Notation as in coefficients.cpp: n objects i with at least one rating,
// r_ik raters who put i in class k, r_i = sum_k r_ik, n2 the objects with
// r_i >= 2, w_kl the weights (identity without) and r*_ik = sum_l w_kl r_il.
// Of the r raters who rated anything, rater g rated n_g objects and put
// the share p_gk of them in class k; pbar_k = (1/r) sum_g p_gk. Then
//   pa_i = sum_k r_ik (r*_ik - 1) / (r_i (r_i - 1)),  pa = (1/n2) sum_i pa_i,
//   pe   = sum_kl w_kl sum_{g != h} p_gk p_hl / (r (r - 1))
//        = sum_kl w_kl (r^2 pbar_k pbar_l - sum_g p_gk p_gl) / (r (r - 1)),
//   kappa = (pa - pe) / (1 - pe).
// Without missing ratings and weights, pe is the chance agreement of
// Hubert's H2 and kappa is H2.
//
// Gwet's variance linearises pe object by object: with
//   A_gl = sum_k w_kl (r pbar_k - p_gk),  c_g = sum_l A_gl p_gl,
// rater g's part of object i is (n/n_g)(A_g,x - c_g) + c_g when g put i in
// class x and c_g when g did not rate i, and
//   pe_i = sum_g (that part) / (r (r - 1)),
// whose mean over the objects is pe. The variance then sums, as for Gwet's
// family,
//   kappa_i  = (n/n2) (pa_i - pe) / (1 - pe) if r_i >= 2, else 0,
//   kappa*_i = kappa_i - 2 (1 - kappa) (pe_i - pe) / (1 - pe),
//   Var      = sum_i (kappa*_i - kappa)^2 / (n (n - 1)).

#include <cmath>

#include "kappa/detail.h"
#include "kappa/pairs.h"

namespace zover {

using namespace detail;

namespace {

// Tallies worked out once (TallyIndex); 16 bytes each.
constexpr std::size_t kMaxTallies = std::size_t{1} << 16;

}  // namespace

Inference ComputeCongerKappa(const ObservedData& tb, const Grid<double>& weightsIn, double level) {
  Inference result;
  const int R = tb.R, K = tb.K;
  if (R < 2 || K < 1) {
    result.reason = "fewer than two raters";
    return result;
  }
  Grid<double> w = weightsIn;
  if (w.empty()) {
    w = Grid<double>(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
    for (int k = 0; k < K; ++k) w[k][k] = 1;
  }
  if (w.rows() != static_cast<std::size_t>(K) || w.cols() != w.rows()) {
    result.reason = "the weights do not match the classes";
    return result;
  }

  // An object's ratings r_i and agreement sum_k r_ik (r*_ik - 1) / (r_i (r_i - 1))
  // (0 with fewer than two ratings), once per tally.
  struct Facts {
    int rated = 0;
    double agreement = 0;
  };
  RatingTally tally(K);
  TupleTallies index(K, R, kMaxTallies, TupleCount(tb));
  std::vector<Facts> known;  // [tally number]
  auto factsOf = [&](const std::uint16_t* values) {
    const std::ptrdiff_t number = index.Of(values);
    if (number >= 0 && static_cast<std::size_t>(number) < known.size()) return known[static_cast<std::size_t>(number)];
    tally.Tally(values, R);
    Facts facts;
    facts.rated = tally.rated();
    if (facts.rated >= 2) {
      const int r = facts.rated;
      double agreeing = 0;
      for (const int k : tally.used()) {
        double credited = 0;
        for (const int l : tally.used()) credited += w[k][l] * tally.raters(l);
        agreeing += tally.raters(k) * (credited - 1);
      }
      facts.agreement = agreeing / (static_cast<double>(r) * (r - 1));
    }
    if (number >= 0) known.push_back(facts);
    return facts;
  };

  // First pass: each rater's classes, n, n2 and the sum of pa_i. A rating
  // is counted in column `value` of its rater's row, whose column 0 takes
  // the missing ratings and is dropped: no branch on whether a rater rated.
  // A missing rating adds +0 to n_g, which never holds -0.
  Grid<double> counted(static_cast<std::size_t>(R), static_cast<std::size_t>(K) + 1);
  std::vector<double> rated(static_cast<std::size_t>(R), 0.0);  // n_g
  double n = 0, n2 = 0, agreement = 0;
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    const Facts facts = factsOf(values);
    if (facts.rated == 0) return;
    const double c = count;
    for (int g = 0; g < R; ++g) {
      counted[g][values[g]] += c;
      rated[g] += values[g] != 0 ? c : 0.0;
    }
    n += c;
    if (facts.rated < 2) return;
    n2 += c;
    agreement += c * facts.agreement;
  });
  Grid<double> classes(static_cast<std::size_t>(R), static_cast<std::size_t>(K));
  for (int g = 0; g < R; ++g) {
    for (int k = 0; k < K; ++k) classes[g][k] = counted[g][k + 1];
  }
  if (n2 == 0) {
    result.reason = kNoPairs;
    return result;
  }

  // p_gk (rows of the raters who rated nothing stay 0; they are no raters
  // here), pbar_k and pe.
  double r = 0;
  for (int g = 0; g < R; ++g) {
    if (rated[g] == 0) continue;
    r += 1;
    for (int k = 0; k < K; ++k) classes[g][k] /= rated[g];
  }
  const Grid<double>& p = classes;
  std::vector<double> pbar(static_cast<std::size_t>(K), 0.0);
  for (int g = 0; g < R; ++g) {
    for (int k = 0; k < K; ++k) pbar[k] += p[g][k];
  }
  for (double& share : pbar) share /= r;
  std::vector<std::vector<int>> usedBy(static_cast<std::size_t>(R));  // the classes of each rater
  for (int g = 0; g < R; ++g) {
    for (int k = 0; k < K; ++k) {
      if (p[g][k] > 0) usedBy[g].push_back(k);
    }
  }
  double pooled = 0, own = 0;  // sum w r^2 pbar pbar, sum_g sum w p_g p_g
  for (int k = 0; k < K; ++k) {
    for (int l = 0; l < K; ++l) pooled += w[k][l] * (r * pbar[k]) * (r * pbar[l]);
  }
  for (int g = 0; g < R; ++g) {
    for (const int k : usedBy[g]) {
      for (const int l : usedBy[g]) own += w[k][l] * p[g][k] * p[g][l];
    }
  }
  const double pe = (pooled - own) / (r * (r - 1));
  if (!(1 - pe > 0)) {
    result.reason = kOneClass;
    return result;
  }
  const double pa = agreement / n2;
  const double kappa = (pa - pe) / (1 - pe);
  result.estimate = kappa;
  result.objectsUsed = n;

  // Conger's kappa is the one member here: its variance has the form of
  // Gwet's family.
  Inference unused[kMembers];
  MemberResults out{};
  for (int c = 0; c < kMembers; ++c) out[c] = c == kFleiss ? &result : &unused[c];
  Members m;
  m[kFleiss].valid = true;
  m[kFleiss].pe = pe;
  m[kFleiss].gamma = kappa;
  if (n2 < 2) {
    MarkFewRated(m, out);
    return result;
  }

  // A_gl and c_g, and C = sum_g c_g.
  std::vector<double> base(static_cast<std::size_t>(K), 0.0);  // sum_k w_kl r pbar_k
  for (int k = 0; k < K; ++k) {
    for (int l = 0; l < K; ++l) base[l] += w[k][l] * (r * pbar[k]);
  }
  Grid<double> A(static_cast<std::size_t>(R), static_cast<std::size_t>(K));
  std::vector<double> cg(static_cast<std::size_t>(R), 0.0);
  double C = 0;
  for (int g = 0; g < R; ++g) {
    if (rated[g] == 0) continue;
    for (int l = 0; l < K; ++l) {
      double less = 0;
      for (const int k : usedBy[g]) less += w[k][l] * p[g][k];
      A[g][l] = base[l] - less;
    }
    for (const int l : usedBy[g]) cg[g] += A[g][l] * p[g][l];
    C += cg[g];
  }

  // Second pass: each object's contribution to the variance.
  std::vector<double> shareOf(static_cast<std::size_t>(R), 0.0);  // [g]: n / rated_g
  for (int g = 0; g < R; ++g) {
    if (rated[g] != 0) shareOf[g] = n / rated[g];
  }
  // Rater g's part beyond c_g for each value of its rating: column 0 (no
  // rating) adds -0, which leaves every sum as it is.
  Grid<double> partOf(static_cast<std::size_t>(R), static_cast<std::size_t>(K) + 1);
  for (int g = 0; g < R; ++g) {
    partOf[g][0] = -0.0;
    for (int x = 0; x < K; ++x) partOf[g][x + 1] = shareOf[g] * (A[g][x] - cg[g]);
  }
  const double nOverN2 = n / n2;
  index.Again();
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    const Facts facts = factsOf(values);
    const int ri = facts.rated;
    if (ri == 0) return;
    double parts = C;
    for (int g = 0; g < R; ++g) parts += partOf[g][values[g]];
    std::array<double, kMembers> pei{};
    pei[kFleiss] = parts / (r * (r - 1));
    AddVarianceTerm(m, count, ri, facts.agreement, pei, nOverN2);
  });
  SetStandardErrors(m, n, level, out);
  return result;
}

}  // namespace zover
