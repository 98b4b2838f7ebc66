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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

// One rater's term of the variance of Fleiss' kappa of the others: d =
// gamma*_i - gamma, and whether it exceeds rounding; none (`none`) where no
// other rater rated the object.
struct Term {
  double d = 0;
  bool none = true;
  bool beyond = false;
};

// What one rating with value v (class v, 0 for none) adds to its rater's
// sums in the first pass, for the tuples of one tally: 1 or 0 objects rated,
// 1 or 0 objects with others (n) and with two others or more (n2), the
// others' agreement (0 with fewer than two others) and the cell of the
// table against the leading class (the rater's spare cell where there is
// none). Its shares are in the tally's rows. A 0 adds +0 to a sum that
// never holds -0: the sums are those of the tuples that add something.
struct RatingAdds {
  double rated = 0, n = 0, n2 = 0, agreement = 0;
  std::size_t cell = 0;
};

// What the passes take from a tuple's tally (how many raters chose each
// class); with the rating of the rater left out, the rest follows.
struct TallyFacts {
  explicit TallyFacts(int K) : fractions(K), leadWithout(static_cast<std::size_t>(K)) {}
  int rated = 0;
  std::vector<int> used;         // the classes chosen, increasing
  TupleFractions fractions;
  std::vector<int> leadWithout;  // [class of the rating left out], with two ratings or more
  std::vector<Term> terms;       // [g * (K + 1) + x + 1], once the second pass has set them
  bool shared = false;           // kept for the tuples of the same tally
  // Kept tallies only, so that a tuple's first pass needs no branch on its
  // ratings: [v] for the rating values v = 0 .. K, and the shares r'_ik /
  // r'_i each adds, [v * K + k] (0 for the classes no other rater chose).
  std::vector<RatingAdds> adds;
  std::vector<double> shares;
};

// The facts of each tuple's tally, worked out once per tally (TallyIndex).
class TallyMemo {
 public:
  // `spare`: the cell of a rater's table that stands for no cell.
  TallyMemo(int K, int R, bool majority, std::size_t spare, std::size_t tuples)
      : K_(K), R_(R), majority_(majority), spare_(spare),
        index_(K, R, std::min(kMaxTallies, kMaxCells / ((R + K + 4u) * (K + 1u))), tuples), tally_(K),
        scratch_(K) {}

  // The facts of the next tuple's tally (values[0 .. R-1]).
  TallyFacts& Of(const std::uint16_t* values) {
    const std::ptrdiff_t number = index_.Of(values);
    if (number < 0) {
      Work(values, scratch_);
      return scratch_;
    }
    if (static_cast<std::size_t>(number) == shared_.size()) {
      shared_.emplace_back(K_);
      Work(values, shared_.back());
      Spread(shared_.back());
      shared_.back().shared = true;
    }
    return shared_[static_cast<std::size_t>(number)];
  }
  // Starts a pass over the same tuples.
  void Again() { index_.Again(); }

 private:
  static constexpr std::size_t kMaxTallies = std::size_t{1} << 16;
  // Cells of 16 bytes for the terms, and the rows of the first pass
  // (about 24 MiB at most).
  static constexpr std::size_t kMaxCells = std::size_t{1} << 20;

  void Work(const std::uint16_t* values, TallyFacts& facts) {
    tally_.Tally(values, R_);
    facts.rated = tally_.rated();
    facts.used = tally_.used();
    facts.terms.clear();
    if (facts.rated == 0) return;
    facts.fractions.Set(tally_);
    if (majority_ && facts.rated >= 2) {
      const Leaders leaders(tally_);
      for (const int k : tally_.used()) facts.leadWithout[k] = leaders.Without(k);
    }
  }

  // What each rating value adds in the first pass, as that pass works it
  // out for one tuple.
  void Spread(TallyFacts& facts) const {
    const auto K = static_cast<std::size_t>(K_);
    facts.adds.assign(K + 1, RatingAdds{0, 0, 0, 0, spare_});
    facts.shares.assign((K + 1) * K, 0.0);
    const int r = facts.rated;
    if (r == 0) return;
    for (int x = -1; x < K_; ++x) {
      const bool chosen = x < 0 || std::binary_search(facts.used.begin(), facts.used.end(), x);
      if (!chosen) continue;  // no rating has this value
      RatingAdds& adds = facts.adds[static_cast<std::size_t>(x + 1)];
      double* shares = &facts.shares[static_cast<std::size_t>(x + 1) * K];
      if (x >= 0) {
        adds.rated = 1;
        if (majority_ && r >= 2 && facts.leadWithout[x] >= 0) {
          adds.cell = static_cast<std::size_t>(x) * K + static_cast<std::size_t>(facts.leadWithout[x]);
        }
      }
      const int rest = r - (x >= 0 ? 1 : 0);
      if (rest == 0) continue;
      adds.n = 1;
      for (const int k : facts.used) shares[k] = x >= 0 ? facts.fractions.Rated(k, x) : facts.fractions.Unrated(k);
      if (rest < 2) continue;
      adds.n2 = 1;
      adds.agreement = facts.fractions.Agreement(x);
    }
  }

  int K_, R_;
  bool majority_;
  std::size_t spare_;
  TupleTallies index_;
  RatingTally tally_;
  std::vector<TallyFacts> shared_;
  TallyFacts scratch_;
};

}  // namespace

std::vector<RaterSummary> ComputeRaterSummaries(const ObservedData& tb, double level) {
  const int R = tb.R, K = tb.K;
  std::vector<RaterSummary> raters(static_cast<std::size_t>(R > 0 ? R : 0));
  if (R < 1 || K < 1) return raters;
  const auto k2 = static_cast<std::size_t>(K) * static_cast<std::size_t>(K);
  const bool majority = R >= 2 && k2 <= kMaxMajorityCells / static_cast<std::size_t>(R);
  // Each rater's table has a spare cell after its K * K, for the ratings
  // that have no cell; its counts a column 0 in front, for no rating.
  const std::size_t stride = majority ? k2 + 1 : 1;
  std::vector<double> tables(static_cast<std::size_t>(R) * stride, 0.0);
  const auto row = static_cast<std::size_t>(K) + 1;
  std::vector<double> counts(static_cast<std::size_t>(R) * row, 0.0);
  std::vector<LeftOut> left(static_cast<std::size_t>(R));
  for (int g = 0; g < R; ++g) {
    raters[g].rater = g;
    left[g].shares.assign(static_cast<std::size_t>(K), 0.0);
  }

  // First pass: counts, the tables against the leading class, and the sums
  // of the first pass of Fleiss' kappa of the others.
  TallyMemo memo(K, R, majority, stride - 1, TupleCount(tb));
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    const TallyFacts& facts = memo.Of(values);
    const int r = facts.rated;
    if (r == 0) return;
    const double c = count;
    if (facts.shared) {
      for (int g = 0; g < R; ++g) {
        const std::size_t v = values[g];
        const RatingAdds& adds = facts.adds[v];
        counts[g * row + v] += c;
        raters[g].objects += c * adds.rated;
        tables[g * stride + adds.cell] += c;
        LeftOut& s = left[g];
        s.n += c * adds.n;
        const double* shares = &facts.shares[v * static_cast<std::size_t>(K)];
        for (int k = 0; k < K; ++k) s.shares[k] += c * shares[k];
        s.n2 += c * adds.n2;
        s.agreement += c * adds.agreement;
      }
      return;
    }
    for (int g = 0; g < R; ++g) {
      const int x = values[g] - 1;  // -1: g did not rate the object
      if (x >= 0) {
        counts[g * row + static_cast<std::size_t>(x) + 1] += c;
        raters[g].objects += c;
        if (majority && r >= 2) {
          const int lead = facts.leadWithout[x];
          if (lead >= 0) tables[g * stride + static_cast<std::size_t>(x) * K + lead] += c;
        }
      }
      const int rest = r - (x >= 0 ? 1 : 0);
      if (rest == 0) continue;
      LeftOut& s = left[g];
      s.n += c;
      // A class no other rater chose adds c * 0 = +0, which leaves the sum
      // of shares as it is.
      if (x >= 0) {
        for (const int k : facts.used) s.shares[k] += c * facts.fractions.Rated(k, x);
      } else {
        for (const int k : facts.used) s.shares[k] += c * facts.fractions.Unrated(k);
      }
      if (rest < 2) continue;
      s.n2 += c;
      s.agreement += c * facts.fractions.Agreement(x);
    }
  });

  Grid<double> identityGrid(static_cast<std::size_t>(K), static_cast<std::size_t>(K));
  for (int k = 0; k < K; ++k) identityGrid[k][k] = 1;
  bool anyVariance = false;
  std::vector<MemberResults> outs(static_cast<std::size_t>(R));
  std::vector<std::array<Inference, kMembers>> unused(static_cast<std::size_t>(R));
  for (int g = 0; g < R; ++g) {
    RaterSummary& rater = raters[g];
    rater.counts.assign(counts.begin() + static_cast<std::ptrdiff_t>(g * row + 1),
                        counts.begin() + static_cast<std::ptrdiff_t>((g + 1) * row));
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
          table[k][l] = tables[g * stride + static_cast<std::size_t>(k) * K + l];
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
  // The term of rater g with rating x (-1: none); `beyond` is worked out
  // only when asked.
  auto termOf = [&](const TallyFacts& facts, int g, int x, bool withBeyond) {
    Term term;
    const int rest = facts.rated - (x >= 0 ? 1 : 0);
    if (rest == 0) return term;
    const LeftOut& s = left[g];
    double pei = 0;
    if (x >= 0) {
      for (const int k : facts.used) pei += facts.fractions.Rated(k, x) * s.shares[k];
    } else {
      for (const int k : facts.used) pei += facts.fractions.Unrated(k) * s.shares[k];
    }
    const double pai = rest >= 2 ? facts.fractions.Agreement(x) : 0.0;
    term.none = false;
    term.d = TermDeviation(s.m[kFleiss], rest, pai, pei, nOverN2[g]);
    term.beyond = withBeyond && BeyondRounding(s.m[kFleiss], rest, pai, pei, nOverN2[g], term.d);
    return term;
  };
  const auto cells = static_cast<std::size_t>(K + 1);
  memo.Again();
  ForEachTuple(tb, [&](const std::uint16_t* values, std::uint32_t count) {
    TallyFacts& facts = memo.Of(values);
    if (facts.rated == 0) return;
    if (facts.shared && facts.terms.empty()) {
      facts.terms.resize(static_cast<std::size_t>(R) * cells);
      for (int g = 0; g < R; ++g) {
        if (!left[g].m[kFleiss].valid) continue;
        Term* terms = &facts.terms[g * cells + 1];  // [x]
        if (facts.rated < R) terms[-1] = termOf(facts, g, -1, true);
        for (const int k : facts.used) terms[k] = termOf(facts, g, k, true);
      }
    }
    const double weight = count;
    for (int g = 0; g < R; ++g) {
      MemberState& m = left[g].m[kFleiss];
      if (!m.valid) continue;
      const int x = values[g] - 1;
      const Term term = facts.shared ? facts.terms[g * cells + static_cast<std::size_t>(x + 1)]
                                     : termOf(facts, g, x, !m.varies);
      if (term.none) continue;
      m.squares += weight * (term.d * term.d);
      if (!m.varies && weight > 0) m.varies = term.beyond;
    }
  });
  for (int g = 0; g < R; ++g) {
    if (left[g].m[kFleiss].valid) SetStandardErrors(left[g].m, left[g].n, level, outs[g]);
  }
  return raters;
}

}  // namespace zover
