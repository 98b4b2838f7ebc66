#pragma once
// What the unweighted and the weighted members of Gwet's family share: the
// check of a rating pattern, the reasons of empty fields, each member's
// estimate from pa and pe, and Gwet's variance summed object by object.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kappa/coefficients.h"
#include "tables/tuple_counts.h"

namespace zover::detail {

constexpr const char* kMalformed = "a rating pattern is malformed";
constexpr const char* kNoPairs = "no object has two ratings";
constexpr const char* kOneClass = "every rating is in one class";
constexpr const char* kOnlyOneClass = "there is only one class";
constexpr const char* kZeroSe = "the standard error is 0";

// The rater count r_i of a pattern, or -1 when the pattern is not well formed
// (a weight that is negative or not finite, a class outside 0..K-1, classes
// not increasing, a count below 1).
int RaterCount(const RatingPattern& pattern, int K);

// The members of Gwet's family: percent agreement, Brennan-Prediger, the
// coefficient with Gwet's chance agreement (AC1, or AC2 with weights) and
// Fleiss' kappa in Gwet's form.
enum Member { kPercent, kBrennanPrediger, kGwet, kFleiss, kMembers };

// One member while its variance is summed.
struct MemberState {
  bool valid = false;    // it has an estimate
  double pe = 0;
  double gamma = 0;
  double squares = 0;    // sum of (gamma*_i - gamma)^2
  bool varies = false;   // some gamma*_i differs from gamma by more than rounding
};

using Members = std::array<MemberState, kMembers>;
using MemberResults = std::array<Inference*, kMembers>;

// Sets each member's estimate gamma = (pa - pe) / (1 - pe) from its chance
// agreement pe, with its range [-pe / (1 - pe), 1], or the reason it has none
// (a single class, or pe = 1).
Members EstimateMembers(double pa, const std::array<double, kMembers>& pe, int K, const MemberResults& out);

// A member's gamma*_i - gamma for a term of r ratings (below).
inline double TermDeviation(const MemberState& s, int r, double pai, double pei, double nOverN2) {
  const double gammai = r >= 2 ? nOverN2 * ((pai - s.pe) / (1 - s.pe)) : 0.0;
  const double star = gammai - 2 * (1 - s.gamma) * ((pei - s.pe) / (1 - s.pe));
  return star - s.gamma;
}

// Whether the deviation d of that term exceeds the rounding its sizes carry.
inline bool BeyondRounding(const MemberState& s, int r, double pai, double pei, double nOverN2, double d) {
  // Relative size of the rounding that a term may carry.
  constexpr double kRounding = 1e-12;
  const double size = std::fabs(s.gamma) + (r >= 2 ? nOverN2 * ((pai + s.pe) / (1 - s.pe)) : 0.0) +
                      2 * std::fabs(1 - s.gamma) * ((pei + s.pe) / (1 - s.pe));
  return std::fabs(d) > kRounding * size;
}

// Adds the term of `weight` objects with r ratings, observed agreement pai
// (0 when r < 2) and per-object chance agreements pei to the variance of each
// member with an estimate; n objects, n2 of them with two ratings or more,
// given as the ratio `nOverN2` = n / n2 that every term shares:
//   gamma_i  = (n/n2) (pa_i - pe) / (1 - pe) if r >= 2, else 0,
//   gamma*_i = gamma_i - 2 (1 - gamma) (pe_i - pe) / (1 - pe).
// A term counts as nonzero only when |gamma*_i - gamma| exceeds 1e-12 of the
// sizes of the terms it is computed from: an exact zero can come out of the
// arithmetic as noise of about 1e-17, whose z of about 1e16 would mean
// nothing. Inline: the passes call it for every tuple, and the raters'
// summaries for every rater of a tuple.
inline void AddVarianceTerm(Members& m, double weight, int r, double pai, const std::array<double, kMembers>& pei,
                            double nOverN2) {
  for (int c = 0; c < kMembers; ++c) {
    MemberState& s = m[c];
    if (!s.valid) continue;
    const double d = TermDeviation(s, r, pai, pei[c], nOverN2);
    s.squares += weight * (d * d);
    if (!s.varies && weight > 0) s.varies = BeyondRounding(s, r, pai, pei[c], nOverN2, d);
  }
}

// Sets the standard error sqrt(sum / (n (n - 1))) of each member with an
// estimate (0 when no term varies), its interval at `level` within its
// range, and z and p from it (not for percent agreement, which is not
// corrected for chance).
void SetStandardErrors(const Members& m, double n, double level, const MemberResults& out);

// Sets the objects used, n, of every member.
void SetObjectsUsed(double n, const MemberResults& out);

// With fewer than two objects that have two ratings there is no variance:
// each member with an estimate says so.
void MarkFewRated(const Members& m, const MemberResults& out);

// A variance computed as the difference of two sums, `terms` - `less`: 0 when
// the difference is within rounding of the terms (1e-12 of them) or below 0,
// where an exact zero comes out of the arithmetic as noise.
double DifferenceOrZero(double terms, double less);

// The p-quantile of sorted values, interpolated between order statistics
// (R's quantile type 7).
double Quantile(const std::vector<double>& sorted, double p);

// How many raters of one tuple chose each class, missing ratings (0) left
// out, with the classes that some rater chose in increasing order.
class RatingTally {
 public:
  explicit RatingTally(int K) : raters_(static_cast<std::size_t>(K > 0 ? K : 0), 0) {}

  // Tallies R values, class numbers 1 .. K or 0 (the previous tally is
  // cleared first).
  void Tally(const std::uint16_t* values, int R) {
    for (const int k : used_) raters_[static_cast<std::size_t>(k)] = 0;
    used_.clear();
    rated_ = 0;
    const auto K = static_cast<int>(raters_.size());
    // The counts of 0 .. K in the bytes of one word where they fit.
    if (FitsByteCounts(K, R)) {
      const std::uint64_t counts = ByteCounts(values, R, 0);
      rated_ = R - static_cast<int>(counts & 0xff);
      ListByteCounts(counts >> 8, raters_, used_);
      return;
    }
    // The used classes in class order: for a few classes a look at each,
    // else a sort of those met.
    const bool few = K <= 2 * R;
    for (int g = 0; g < R; ++g) {
      if (values[g] == 0) continue;
      const int k = values[g] - 1;
      if (raters_[static_cast<std::size_t>(k)]++ == 0 && !few) used_.push_back(k);
      ++rated_;
    }
    if (few) {
      for (int k = 0; k < K; ++k) {
        if (raters_[static_cast<std::size_t>(k)] != 0) used_.push_back(k);
      }
    } else {
      std::sort(used_.begin(), used_.end());
    }
  }
  const std::vector<int>& used() const { return used_; }
  int raters(int k) const { return raters_[static_cast<std::size_t>(k)]; }
  int rated() const { return rated_; }  // r_i, the ratings of the tuple

 private:
  std::vector<int> raters_;  // [class]: zero outside used_
  std::vector<int> used_;
  int rated_ = 0;
};

// Numbers the tallies of tuples (how many raters chose each class) 0, 1,
// 2, ... as they are first met, so that a pass can work out what a tuple
// gives once per tally and look it up for the other tuples of that tally,
// with the same arithmetic and so to the same bits: with 10 raters and 5
// classes there are 1001 complete tallies, 3003 with missing ratings, for
// millions of tuples. With at most 7 classes a tally is one word of byte
// counts. Beyond 7 classes, past `limit` tallies, or where a word's probe
// runs long, a tuple has no number and the pass works it out alone.
class TallyIndex {
 public:
  TallyIndex(int K, int R, std::size_t limit) : R_(R), limit_(FitsByteCounts(K, R) && R >= 1 ? limit : 0) {}

  // The number of the tally of values[0 .. R-1] (class numbers 1 .. K, 0 for
  // none), or -1; a number equal to size() before the call is a new tally.
  std::ptrdiff_t Of(const std::uint16_t* values) {
    if (limit_ == 0) return -1;
    const std::uint64_t word = ByteCounts(values, R_, 0);  // not 0: R >= 1
    if ((size_ + 1) * 2 > slots_.size() && size_ < limit_) Grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = Hash(word) & mask;
    for (int probe = 0; probe < kMaxProbes; ++probe, at = (at + 1) & mask) {
      if (slots_[at].word == word) return slots_[at].number;
      if (slots_[at].word != 0) continue;
      if (size_ == limit_) break;
      slots_[at] = {word, static_cast<std::uint32_t>(size_)};
      return static_cast<std::ptrdiff_t>(size_++);
    }
    return -1;
  }
  std::size_t size() const { return size_; }
  // Whether any tally can have a number.
  bool numbers() const { return limit_ > 0; }

 private:
  static constexpr int kMaxProbes = 32;
  struct Slot {
    std::uint64_t word = 0;  // 0: free
    std::uint32_t number = 0;
  };
  static std::uint64_t Hash(std::uint64_t word) { return (word * 0x9e3779b97f4a7c15ull) >> 32; }
  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.word == 0) continue;
      std::size_t at = Hash(slot.word) & mask;
      while (slots_[at].word != 0) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  int R_;
  std::size_t limit_;
  std::size_t size_ = 0;
  std::vector<Slot> slots_;
};

// A TallyIndex for passes that visit the same tuples in the same order:
// the first pass numbers each tuple's tally and keeps the number (4 bytes a
// tuple), and the passes after Again() read it back instead of tallying the
// tuple once more.
class TupleTallies {
 public:
  TupleTallies(int K, int R, std::size_t limit, std::size_t tuples) : index_(K, R, limit) {
    if (index_.numbers()) kept_.reserve(tuples);
  }

  // The number of the next tuple's tally (values[0 .. R-1]), or -1, as
  // TallyIndex::Of gives it.
  std::ptrdiff_t Of(const std::uint16_t* values) {
    if (!index_.numbers()) return -1;
    if (again_) return kept_[next_++];
    const std::ptrdiff_t number = index_.Of(values);
    kept_.push_back(static_cast<std::int32_t>(number));
    return number;
  }
  // Starts a pass over the same tuples.
  void Again() {
    again_ = true;
    next_ = 0;
  }

 private:
  TallyIndex index_;
  std::vector<std::int32_t> kept_;  // [tuple]: its tally's number, or -1
  bool again_ = false;
  std::size_t next_ = 0;
};

// The classes whose flag is not 0, increasing.
template <typename Flag>
std::vector<std::size_t> FlaggedClasses(const std::vector<Flag>& flags) {
  std::vector<std::size_t> classes;
  for (std::size_t c = 0; c < flags.size(); ++c) {
    if (flags[c] != 0) classes.push_back(c);
  }
  return classes;
}

// The response tuples ForEachTuple visits.
inline std::size_t TupleCount(const ObservedData& tb) { return tb.frec.size() + tb.incompleteTuples.size(); }

// Visits every response tuple of the observed data, those of frec and then
// those with missing ratings, as visit(values, count): R values, class
// numbers 1 .. K or 0 for a missing rating, and the objects that gave it.
template <typename Visit>
void ForEachTuple(const ObservedData& tb, Visit&& visit) {
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(tb.R > 0 ? tb.R : 0));
  for (const TupleCounts* tuples : {&tb.frec, &tb.incompleteTuples}) {
    for (std::size_t u = 0; u < tuples->size(); ++u) visit(tuples->Values(u, scratch.data()), tuples->count(u));
  }
}

}  // namespace zover::detail
