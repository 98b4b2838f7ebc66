// Each rater apart: what it chose, how it agrees with what most of the others
// chose, and how well the others agree without it.
//
// The others' leading class on an object is the class that more of the other
// raters chose than any other class (none on a tie, or when no other rater
// rated the object). With the tuple's counts tallied once, the leading class
// without rater g needs only the three largest counts: taking g's rating
// from its class x lowers one count by one. The rater's table against that
// class gives its agreement and Cohen's kappa (WeightedCohenKappa with
// identity weights).
//
// Fleiss' kappa of the others is Fleiss' kappa in Gwet's general form
// (coefficients.cpp) of the tuples with rater g's rating taken out: for each
// tuple and rater the counts change in class x alone, so that
//   r'_i = r_i - 1,  sum_k r'_ik (r'_ik - 1) = sum_k r_ik (r_ik - 1) - 2 (r_ix - 1),
// and a tuple costs O(R) for the tally and O(classes it uses) per rater.

#include <cmath>

#include "kappa/detail.h"
#include "kappa/ordered.h"
#include "kappa/pairs.h"

namespace zover {

using namespace detail;

namespace {

// At most this many cells for the raters' tables against the leading class
// (8 bytes each: 128 MiB).
constexpr std::size_t kMaxMajorityCells = std::size_t{1} << 24;

// The three largest counts of a tally, with the classes of the first two (-1
// and 0 where there are fewer classes; among equal counts the lower class
// first).
struct Leaders {
  int c1 = -1, c2 = -1;
  int m1 = 0, m2 = 0, m3 = 0;

  explicit Leaders(const RatingTally& tally) {
    for (const int k : tally.used()) {
      const int m = tally.raters(k);
      if (m > m1) {
        m3 = m2;
        c2 = c1, m2 = m1;
        c1 = k, m1 = m;
      } else if (m > m2) {
        m3 = m2;
        c2 = k, m2 = m;
      } else if (m > m3) {
        m3 = m;
      }
    }
  }

  // The others' leading class when the rater who chose class x is left out
  // (the tuple has two ratings or more), or -1 on a tie.
  int Without(int x) const {
    if (x == c1) {
      if (m1 - 1 > m2) return c1;
      if (m1 - 1 == m2) return -1;
      return m3 < m2 ? c2 : -1;  // c1 and c2 were level: c2 leads unless a third class is too
    }
    const int second = x == c2 ? std::max(m2 - 1, m3) : m2;
    return m1 > second ? c1 : -1;
  }
};

// The sums of Fleiss' kappa (Gwet's form) of the others, for one rater.
struct LeftOut {
  double n = 0, n2 = 0, agreement = 0;
  std::vector<double> shares;  // [class]: sum of r'_ik / r'_i
  Members m;
};

// What a tuple gives the others of each rater. With the rating x of rater g
// taken out, the others' counts differ from the tuple's in class x alone, so
// the shares r'_ik / r'_i and the agreement
//   sum_k r'_ik (r'_ik - 1) / (r'_i (r'_i - 1))
// take one of a few values per class, computed once per tuple instead of
// once per rater. Each is the same division the rater's own would be.
class TupleFractions {
 public:
  explicit TupleFractions(int K)
      : rated_(2 * static_cast<std::size_t>(K)), unrated_(static_cast<std::size_t>(K)),
        agreementWithout_(unrated_.size()) {}

  void Set(const RatingTally& tally) {
    const int r = tally.rated();
    double agreeing = 0;  // sum_k r_ik (r_ik - 1)
    for (const int k : tally.used()) agreeing += static_cast<double>(tally.raters(k)) * (tally.raters(k) - 1);
    for (const int k : tally.used()) {
      const int rk = tally.raters(k);
      unrated_[k] = static_cast<double>(rk) / r;
      if (r < 2) continue;
      rated_[2 * k] = static_cast<double>(rk) / (r - 1);
      rated_[2 * k + 1] = static_cast<double>(rk - 1) / (r - 1);
      if (r >= 3) agreementWithout_[k] = (agreeing - 2.0 * (rk - 1)) / (static_cast<double>(r - 1) * (r - 2));
    }
    agreementUnrated_ = r >= 2 ? agreeing / (static_cast<double>(r) * (r - 1)) : 0.0;
  }
  // r'_ik / r'_i for a rater who chose class x, when the tuple has two
  // ratings or more (chosen without a branch: which k is x is anyone's
  // guess), and for a rater who did not rate the object.
  double Rated(int k, int x) const { return rated_[2 * static_cast<std::size_t>(k) + (k == x ? 1 : 0)]; }
  double Unrated(int k) const { return unrated_[k]; }
  // The others' agreement when the rater's rating is class x (-1: none);
  // they have two ratings or more.
  double Agreement(int x) const { return x < 0 ? agreementUnrated_ : agreementWithout_[x]; }

 private:
  std::vector<double> rated_;             // [2 k]: r_ik / (r_i - 1); [2 k + 1]: (r_ik - 1) / (r_i - 1)
  std::vector<double> unrated_;           // [k]: r_ik / r_i
  std::vector<double> agreementWithout_;  // [class of the rating taken out]
  double agreementUnrated_ = 0;
};

}  // namespace

std::vector<RaterSummary> ComputeRaterSummaries(const ObservedData& tb, double level) {
  const int R = tb.R, K = tb.K;
  std::vector<RaterSummary> raters(static_cast<std::size_t>(R > 0 ? R : 0));
  if (R < 1 || K < 1) return raters;
  const auto k2 = static_cast<std::size_t>(K) * static_cast<std::size_t>(K);
  const bool majority = R >= 2 && k2 <= kMaxMajorityCells / static_cast<std::size_t>(R);
  std::vector<double> tables(majority ? static_cast<std::size_t>(R) * k2 : 0, 0.0);
  std::vector<LeftOut> left(static_cast<std::size_t>(R));
  for (int g = 0; g < R; ++g) {
    raters[g].rater = g;
    raters[g].counts.assign(static_cast<std::size_t>(K), 0.0);
    left[g].shares.assign(static_cast<std::size_t>(K), 0.0);
  }

  // First pass: counts, the tables against the leading class, and the sums
  // of the first pass of Fleiss' kappa of the others.
  RatingTally tally(K);
  TupleFractions fractions(K);
  std::vector<int> leadWithout(static_cast<std::size_t>(K));  // [class of the rating left out]
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    tally.Tally(values, R);
    const int r = tally.rated();
    if (r == 0) return;
    const double c = count;
    fractions.Set(tally);
    if (majority && r >= 2) {
      const Leaders leaders(tally);
      for (const int k : tally.used()) leadWithout[k] = leaders.Without(k);
    }
    for (int g = 0; g < R; ++g) {
      const int x = values[g] - 1;  // -1: g did not rate the object
      if (x >= 0) {
        raters[g].counts[x] += c;
        raters[g].objects += c;
        if (majority && r >= 2) {
          const int lead = leadWithout[x];
          if (lead >= 0) tables[g * k2 + static_cast<std::size_t>(x) * K + lead] += c;
        }
      }
      const int rest = r - (x >= 0 ? 1 : 0);
      if (rest == 0) continue;
      LeftOut& s = left[g];
      s.n += c;
      // A class no other rater chose adds c * 0 = +0, which leaves the sum
      // of shares as it is.
      if (x >= 0) {
        for (const int k : tally.used()) s.shares[k] += c * fractions.Rated(k, x);
      } else {
        for (const int k : tally.used()) s.shares[k] += c * fractions.Unrated(k);
      }
      if (rest < 2) continue;
      s.n2 += c;
      s.agreement += c * fractions.Agreement(x);
    }
  });

  Grid<double> identityGrid(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
  for (int k = 0; k < K; ++k) identityGrid[k][k] = 1;
  bool anyVariance = false;
  std::vector<MemberResults> outs(static_cast<std::size_t>(R));
  std::vector<std::array<Inference, kMembers>> unused(static_cast<std::size_t>(R));
  for (int g = 0; g < R; ++g) {
    RaterSummary& rater = raters[g];
    if (rater.objects > 0) {
      for (const double count : rater.counts) rater.shares.push_back(count / rater.objects);
    }
    // Against the others' leading class.
    if (!majority) {
      rater.majorityKappa.kappa.reason =
          R < 2 ? "there are no other raters" : "the tables against the leading class would need too many cells";
    } else {
      Grid<double> table(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
      double agreeing = 0;
      for (int k = 0; k < K; ++k) {
        for (int l = 0; l < K; ++l) {
          table[k][l] = tables[g * k2 + static_cast<std::size_t>(k) * K + l];
          rater.majorityObjects += table[k][l];
        }
        agreeing += table[k][k];
      }
      rater.majorityKappa = WeightedCohenKappa(table, identityGrid);
      if (rater.majorityObjects > 0) {
        rater.majorityAgreement = agreeing / rater.majorityObjects;
      } else {
        rater.majorityKappa.kappa.reason = "no object it rated has a leading class among the others";
      }
    }
    // Fleiss' kappa of the others: the estimate.
    LeftOut& s = left[g];
    Inference& fleiss = rater.fleissWithout;
    if (R < 3) {
      fleiss.reason = "one other rater is left";
      continue;
    }
    if (s.n2 == 0) {
      fleiss.reason = kNoPairs;
      continue;
    }
    double pe = 0;
    for (double& share : s.shares) {
      share /= s.n;
      pe += share * share;
    }
    if (!(1 - pe > 0)) {
      fleiss.reason = kOneClass;
      continue;
    }
    const double kappa = (s.agreement / s.n2 - pe) / (1 - pe);
    fleiss.estimate = kappa;
    fleiss.objectsUsed = s.n;
    for (int c = 0; c < kMembers; ++c) outs[g][c] = c == kFleiss ? &fleiss : &unused[g][c];
    s.m[kFleiss].valid = true;
    s.m[kFleiss].pe = pe;
    s.m[kFleiss].gamma = kappa;
    if (s.n2 < 2) {
      MarkFewRated(s.m, outs[g]);
      s.m[kFleiss].valid = false;
      continue;
    }
    anyVariance = true;
  }
  if (!anyVariance) return raters;

  // Second pass: the variance of Fleiss' kappa of the others, object by
  // object: pe_i = sum_k (r'_ik / r'_i) pi'_k.
  std::vector<double> nOverN2(static_cast<std::size_t>(R), 0.0);
  for (int g = 0; g < R; ++g) {
    if (left[g].m[kFleiss].valid) nOverN2[g] = left[g].n / left[g].n2;
  }
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    tally.Tally(values, R);
    const int r = tally.rated();
    if (r == 0) return;
    fractions.Set(tally);
    for (int g = 0; g < R; ++g) {
      LeftOut& s = left[g];
      if (!s.m[kFleiss].valid) continue;
      const int x = values[g] - 1;
      const int rest = r - (x >= 0 ? 1 : 0);
      if (rest == 0) continue;
      std::array<double, kMembers> pei{};
      if (x >= 0) {
        for (const int k : tally.used()) pei[kFleiss] += fractions.Rated(k, x) * s.shares[k];
      } else {
        for (const int k : tally.used()) pei[kFleiss] += fractions.Unrated(k) * s.shares[k];
      }
      const double pai = rest >= 2 ? fractions.Agreement(x) : 0.0;
      AddVarianceTerm(s.m, count, rest, pai, pei, nOverN2[g]);
    }
  });
  for (int g = 0; g < R; ++g) {
    if (left[g].m[kFleiss].valid) SetStandardErrors(left[g].m, left[g].n, level, outs[g]);
  }
  return raters;
}

}  // namespace zover
