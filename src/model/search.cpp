// The fit of the model: class minimisers and bounds (Search1), the class
// parameters for one B (Search2) and the search for B itself (Search3).

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "model/detail.h"
#include "model/model.h"
#include "tables/near.h"

namespace zover {

using detail::SameBits;
using detail::Sign;

namespace {

// At most 1001 trial values of B: the counter is tested before it grows.
constexpr int kMaxBSteps = 1000;

// --- Search1 ---------------------------------------------------------------

// Fills row i of dmat and flags the class when a proportion is exactly 0;
// adds the row to D; returns the ends of the bracket of the class minimiser:
// the smallest proportion capped at 1 and the largest floored at 0.
void ClassProportions(ModelTables& tb, int i, double x, double& lo, double& hi) {
  tb.N0[i] = 0;
  lo = 1.0;
  hi = 0.0;
  for (int r = 0; r < tb.R; ++r) {
    const double d = tb.dmat[i][r] = tb.fail[i][r] / x;
    if (d == 0) tb.N0[i] = 1;
    tb.D += d;
    if (d < lo) lo = d;
    if (d > hi) hi = d;
  }
}

// B_i = exp(g_i(alp_i) / (R - 1)), the smallest B for which the equation of
// class i has a solution.
double ClassBound(const ModelTables& tb, int i) {
  double L = 0.0;
  for (int r = 0; r < tb.R; ++r) L += std::log(tb.dmat[i][r] + tb.alp[i]);
  L = L - std::log(tb.alp[i]);
  return std::exp(L / (tb.R - 1.0));
}

}  // namespace

void Search1(ModelTables& tb, double x) {
  tb.farBelow = false;
  tb.D = 0;
  tb.Bt = 0;
  for (int i = 0; i < tb.K; ++i) {
    double lo, hi;
    ClassProportions(tb, i, x, lo, hi);
    // dmat[i] is the rater vector of the class; Biseccion only reads it.
    tb.alp[i] = tb.N0[i] == 1
                    ? 0
                    : Biseccion(tb, lo / (tb.R - 1.0), hi / (tb.R - 1.0), tb.dmat[i], Equation::kAlpha, 0);
  }
  tb.D = tb.D / tb.R;
  tb.facts.assign(tb.K, ClassFacts());
  for (int i = 0; i < tb.K; ++i)
    if (tb.N0[i] != 1) tb.facts[i] = FactsOf(tb, tb.dmat[i], tb.alp[i]);
  for (int i = 0; i < tb.K; ++i) {
    if (tb.N0[i] == 1) continue;
    const double Bi = ClassBound(tb, i);
    if (Bi > tb.Bt) {
      tb.Bt = Bi;
      tb.t = i;
    }
  }
}

// --- Search2 ---------------------------------------------------------------

namespace {

// The lower end of the smaller solution of class i for B = Bv:
// prod_r d_ir / Bv^(R-1), where the class equation is positive. With many
// raters the product and the power can both underflow (0/0), or the power
// alone (P/0), or the product alone leave the normal range, where it keeps
// fewer digits than it has factors (a subnormal P of 3e-319 has 13 bits);
// the quotient is then taken from logarithms, and may itself underflow to
// 0, where the class equation is +Inf: still a valid end.
double SmallerRootBound(const ModelTables& tb, const ClassFacts& facts, double Bv) {
  const double P = facts.product;
  const double lo = P / std::pow(Bv, tb.R - 1.0);
  const bool exact = std::isfinite(lo) && !(P < std::numeric_limits<double>::min());
  if (exact || !(Bv > 0)) return lo;
  return std::exp(facts.logSum - (tb.R - 1.0) * std::log(Bv));
}

// The class's fixed quantities, when Search1 left them for its minimiser.
const ClassFacts* FactsFor(const ModelTables& tb, int i) {
  if (static_cast<int>(tb.facts.size()) != tb.K || !SameBits(tb.facts[i].alpha, tb.alp[i])) return nullptr;
  return &tb.facts[i];
}

}  // namespace

void Search2(ModelTables& tb, double Bv) {
  const int t = tb.t;
  const bool atBound = Near(Bv, tb.Bt);
  double m = 100.0;  // smallest proportion of class t, capped at 100
  for (int r = 0; r < tb.R; ++r)
    if (tb.dmat[t][r] < m) m = tb.dmat[t][r];

  for (int i = 0; i < tb.K; ++i) {
    if (tb.N0[i] == 1) {
      tb.alp_neg[i] = 0;
      continue;
    }
    // Double root at the class bound: class t, and any class whose bound
    // ties Bt (near a double root the bisection would leave alpha to
    // rounding, about 1e-8, which outweighs G for large n).
    if (atBound && (i == t || Near(ClassBound(tb, i), tb.Bt))) {
      tb.alp_neg[i] = tb.alp[i];
      if (i == t) tb.alp_pos = tb.alp[t];
      continue;
    }
    const ClassFacts* kept = FactsFor(tb, i);
    const ClassFacts facts = kept ? *kept : FactsOf(tb, tb.dmat[i], tb.alp[i]);
    const double lo = SmallerRootBound(tb, facts, Bv);
    tb.alp_neg[i] = SmallerRoot(tb, lo, tb.alp[i], tb.dmat[i], Bv, &facts);
    if (i != t) continue;
    const double gap = tb.farBelow ? LargerRootGap(tb, m, tb.alp[t], tb.dmat[t], Bv) : NAN;
    if (std::isnan(gap)) {
      tb.alp_pos = Biseccion(tb, tb.alp[t], Bv - m, tb.dmat[i], Equation::kAlphaNeg, Bv);
      tb.gap_pos = Bv - tb.alp_pos;
    } else {
      tb.alp_pos = Bv - gap;
      tb.gap_pos = gap;
    }
  }
}

// --- Search3 ---------------------------------------------------------------

namespace {

// How the search for B starts, judged on D, on G (the B equation with the
// smaller solutions at Bt) and on whether the rater sums of class t match
// (R - 1) D.
enum class StartCase {
  kNoDisagreements,    // D = 0: B = 0, the chance probabilities are indeterminate
  kInfiniteSolutions,  // G = 0 and the sums match: B = -2
  kMinusInfinity,      // G < 0 and the sums match: B = -1
  kAtBound,            // |G| < 1e-12: B = Bt, class t at its double root
  kSmallerRoots,       // G > 0: a search above Bt, every class at its smaller solution
  kLargerRootForT,     // G < 0: a search above Bt, class t at its larger solution
};

// Where the search for B starts: the case, and for a search the interval
// (lo, hi), its branch of the B equation and the value ref at the end lo.
struct BStart {
  StartCase start = StartCase::kNoDisagreements;
  double lo = 0;
  double hi = 0;
  RootBranch paso = RootBranch::kNone;
  double ref = 0;

  // The special outcome of B that the case gives without a search, if any.
  bool Special(double& outcome) const {
    switch (start) {
      case StartCase::kNoDisagreements: outcome = 0; return true;
      case StartCase::kInfiniteSolutions: outcome = -2.0; return true;
      case StartCase::kMinusInfinity: outcome = -1.0; return true;
      default: return false;
    }
  }
};

// Sum over the rater pairs k < l of (D - d_ck)(D - d_cl).
double RaterPairSum(const ModelTables& tb, int cl) {
  double Q = 0.0;
  for (int k = 0; k < tb.R; ++k)
    for (int l = k + 1; l < tb.R; ++l)
      Q += (tb.D - tb.dmat[cl][k]) * (tb.D - tb.dmat[cl][l]);
  return Q;
}

BStart ChooseStart(const ModelTables& tb, int cl) {
  double SD = 0.0, SA = 0.0, SP = 0.0;
  for (int r = 0; r < tb.R; ++r) SD += tb.dmat[cl][r];
  for (int i = 0; i < tb.K; ++i) SA += tb.alp_neg[i];
  for (int i = 0; i < tb.K; ++i) SP += tb.alp[i];
  const double G = (tb.D + SA) - tb.Bt;  // B equation in mode 2 at Bt
  const bool sumsMatch = Near(SD, (tb.R - 1.0) * tb.D);
  // The reference value is taken on a copy of the parameters at Bt.
  const std::vector<double> atBt(tb.alp_neg.begin(), tb.alp_neg.begin() + tb.K);

  // B equation relative to the scale of the problem: multiplying every
  // proportion by c multiplies alpha, B and G by c.
  const double gr = G / tb.Bt;

  BStart s;
  if (Near(tb.D, 0)) {
    s.start = StartCase::kNoDisagreements;
  } else if (Near(gr * gr, 0) && sumsMatch) {  // |G / Bt| < 1e-6
    s.start = StartCase::kInfiniteSolutions;
  } else if (Near(G, 0)) {
    // |G| < 1e-12: Bt itself solves the B equation with the larger solution
    // for class t (at its double root, where the B equation equals G).
    s.start = StartCase::kAtBound;
    s.paso = RootBranch::kLargerForT;
  } else if (G > 0) {
    s.start = StartCase::kSmallerRoots;
    s.lo = tb.Bt;
    s.hi = tb.D + SP;
    s.paso = RootBranch::kSmaller;
    s.ref = FuncionB(tb, tb.Bt, atBt.data(), s.paso);
  } else if (sumsMatch) {  // G < 0 (or not a number)
    s.start = StartCase::kMinusInfinity;
  } else {
    s.start = StartCase::kLargerRootForT;
    s.lo = tb.Bt;
    s.hi = RaterPairSum(tb, cl) / ((tb.R - 1.0) * tb.D - SD);
    s.paso = RootBranch::kLargerForT;
    s.ref = FuncionB(tb, tb.Bt, atBt.data(), s.paso);
  }
  return s;
}

// Bisection on B: each trial solves the class equations (Search2) and
// evaluates the B equation; lo moves to a trial whose value has the sign of
// ref, hi to any other. Ends when |f| < 1e-12 w or after 1001 trials, where
// the scale w is 1, or 100 D where that is smaller: B is at least D, so a
// problem whose proportions are all small has B to 1e-10 of D instead of
// 1e-12 absolute. It also ends when an update would leave (lo, hi)
// unchanged: every later trial would repeat this one up to the cap, so the
// result and every table are the same.
void BisectB(ModelTables& tb, double lo, double hi, double ref) {
  const double w = 100 * tb.D < 1 ? 100 * tb.D : 1;
  for (int k = 0;; ++k) {
    tb.B = (lo + hi) / 2;
    Search2(tb, tb.B);
    const double f = FuncionB(tb, tb.B, tb.alp_neg.data(), tb.paso) / w;
    ++tb.counters.bTrials;
    if (BelowTolerance(f * f) || k == kMaxBSteps) return;
    double& end = Sign(f) == Sign(ref) ? lo : hi;
    if (SameBits(end, tb.B)) return;
    end = tb.B;
  }
}

// Far below chance
// ----------------
// On the branch kLargerForT, as B grows class t's larger solution follows
// it, alpha_t = B - u with u tending to sum_r d_tr / (R - 1), every other
// parameter falls like B^-(R-1), and the B equation tends to a constant:
// with u = c0 + c1 / B + ..., its slope is about c1 / B^2. Where B is far
// above the proportions that slope can be 1e-8 or far less, and |f| <
// 1e-12 w then fixes B only to 1e-12 w / slope, up to a hundredth or more;
// worse, alpha_t - B formed from alpha_t ~ B carries a rounding of eps B,
// which beyond B ~ 5e4 is larger than the tolerance itself.
//
// Every searched fit is therefore probed: the B equation is evaluated again
// at B (1 + 1e-3) and the slope taken from the difference. Where it is
// below 1e-4 (scaled by w as f is), the tolerance on f leaves B uncertain by
// more than 1e-8; on the branch kLargerForT the search is then run again
// from its first interval in the far form, whatever B (a flat equation with
// B below 1 loses its digits the same way, to the tolerance of the class
// roots): class t's solution is solved as its distance u from B
// (LargerRootGap, or the usual bisection where that has no root), every
// class root to its last digit, the B equation is (D + sum_{i != t}
// alpha_i) - u, which keeps the digits of u, and the search ends on B
// itself, once its interval is narrower than 1e-13 B (or stops moving).
// What double precision cannot give then is only what the data's own
// rounding leaves undetermined, the fit's input-rounding spread (the
// results record says how the model judges it stable). On the branch
// kSmaller a flat fit is left as the search ends; its spread is the
// distance from the root that the tolerances allow.
constexpr double kFarProbeStep = 1e-3;
constexpr double kFlatSlope = 1e-4;
constexpr double kFarWidth = 1e-13;

double FarBEquation(const ModelTables& tb) {
  double S = 0.0;
  for (int i = 0; i < tb.K; ++i)
    if (i != tb.t) S += tb.alp_neg[i];
  return (tb.D + S) - tb.gap_pos;
}

// The slope of the B equation (scaled by w) at the trial tb.B, from a
// second trial at B (1 + kFarProbeStep); the tables of tb.B are restored.
double ProbeSlope(ModelTables& tb, double f, double w) {
  const std::vector<double> alpNeg(tb.alp_neg.begin(), tb.alp_neg.begin() + tb.K);
  const double alpPos = tb.alp_pos, gapPos = tb.gap_pos, B = tb.B;
  const double probe = B * (1 + kFarProbeStep);
  Search2(tb, probe);
  const double f2 = FuncionB(tb, probe, tb.alp_neg.data(), tb.paso) / w;
  std::copy(alpNeg.begin(), alpNeg.end(), tb.alp_neg.begin());
  tb.alp_pos = alpPos;
  tb.gap_pos = gapPos;
  return std::fabs(f2 - f) / (probe - B);
}

// The search again in the far form, from the first interval (lo, hi).
void BisectFarB(ModelTables& tb, double lo, double hi, double ref) {
  tb.farBelow = true;
  for (int k = 0;; ++k) {
    tb.B = (lo + hi) / 2;
    Search2(tb, tb.B);
    const double f = FarBEquation(tb);
    ++tb.counters.bTrials;
    if (hi - lo <= kFarWidth * tb.B || k == kMaxBSteps) return;
    double& end = Sign(f) == Sign(ref) ? lo : hi;
    if (SameBits(end, tb.B)) return;
    end = tb.B;
  }
}

// The input-rounding spread of a fit far below chance: how far B moves when
// every proportion moves by one rounding, the B equation (of the size of D +
// u) moved by 2^-53 of it over its slope at B, from a second trial at
// B (1 + kFarProbeStep); the tables of B are restored.
double InputRoundingSpread(ModelTables& tb) {
  const std::vector<double> alpNeg(tb.alp_neg.begin(), tb.alp_neg.begin() + tb.K);
  const double alpPos = tb.alp_pos, gapPos = tb.gap_pos, B = tb.B;
  const double at = FarBEquation(tb);
  const double probe = B * (1 + kFarProbeStep);
  Search2(tb, probe);
  const double above = FarBEquation(tb);
  std::copy(alpNeg.begin(), alpNeg.end(), tb.alp_neg.begin());
  tb.alp_pos = alpPos;
  tb.gap_pos = gapPos;
  return (tb.D + gapPos) * 0x1.0p-53 / (std::fabs(above - at) / (probe - B));
}

// BisectB, and where the B equation is flat (scaled slope below kFlatSlope,
// probed at B (1 + 1e-3)) the fit's spread: for a fit of B > 1 on the branch
// kLargerForT, far below chance (see above), BisectFarB and its
// input-rounding spread; for any other, which the search leaves where |f| <
// 1e-12 w and the class roots within their tolerance, how far B may lie
// from the root for that, (1e-12 w + 4 eps B (|ln B| + 1)) / slope, as the
// cross-check against the 50-digit solution bounds it.
void SearchB(ModelTables& tb, double lo, double hi, double ref) {
  BisectB(tb, lo, hi, ref);
  const double w = 100 * tb.D < 1 ? 100 * tb.D : 1;
  const double f = FuncionB(tb, tb.B, tb.alp_neg.data(), tb.paso) / w;
  const double slope = ProbeSlope(tb, f, w);
  if (!(slope < kFlatSlope)) return;
  if (tb.paso == RootBranch::kLargerForT) {
    BisectFarB(tb, lo, hi, ref);
    tb.spread = InputRoundingSpread(tb);
  } else {
    constexpr double kEps = 0x1.0p-52;
    tb.spread = (1e-12 * w + 4 * kEps * tb.B * (std::fabs(std::log(tb.B)) + 1)) / (slope * w);
  }
}

// The double root. Within 1e-12 of Bt, Search2 gives class t its minimiser
// alp[t], and a class whose bound ties Bt is in the same state, but its
// smaller solution is left to rounding: near a double root the class
// equation fixes alpha only to about the square root of the rounding of B.
// There the B equation fixes it instead: every tied class is put at its
// minimiser and all are moved by the same amount u so that the B equation
// holds, D + sum_i alpha_i = B: alpha = alp - u with u = f / (tied classes)
// when every class takes its smaller solution (f > 0), alp_pos = alp[t] - f
// when class t alone takes its larger one (f < 0). The B equation jumps at
// the edge of that zone, Bt + 1e-12, so a search whose root lies inside can
// end on the edge: within 1e-12 of it counts as well. Near a double root f
// is of the order of u, about 1e-6 of the scale at most; a B equation that
// misses by more than 1e-4 Bt has no root here (the branch has no
// solution) and the tables are left as the search ended.
void SettleDoubleRoots(ModelTables& tb) {
  if (!Near(tb.B, tb.Bt) && !Near(tb.B - 1e-12, tb.Bt)) return;
  std::vector<int> tied;
  for (int i = 0; i < tb.K; ++i)
    if (tb.N0[i] != 1 && Near(ClassBound(tb, i), tb.Bt)) tied.push_back(i);
  std::vector<double> alpha(tb.alp_neg.begin(), tb.alp_neg.begin() + tb.K);
  for (int i : tied) alpha[i] = tb.alp[i];
  const double alpPos = tb.alp_pos;
  tb.alp_pos = tb.alp[tb.t];
  const double f = FuncionB(tb, tb.B, alpha.data(), tb.paso);
  if (!(std::fabs(f) <= 1e-4 * tb.Bt)) {
    tb.alp_pos = alpPos;
    return;
  }
  for (int i : tied) tb.alp_neg[i] = tb.alp[i];
  if (tb.paso == RootBranch::kSmaller && f > 0) {
    const double u = f / static_cast<double>(tied.size());
    for (int i : tied) tb.alp_neg[i] = tb.alp[i] - u;
  } else if (tb.paso == RootBranch::kLargerForT && f < 0 && tied.size() == 1) {
    tb.alp_pos = tb.alp[tb.t] - f;
  }
}

// The upper end of the search on the branch kLargerForT, Q / ((R-1) D - SD),
// comes from an expansion of the larger solution of class t and can fall
// below Bt, or short of the root, when the proportions of class t differ
// widely between raters; the search would then end at a point where the B
// equation has no root. The end is checked: while the B equation there (on
// that branch) has the sign it has at Bt, it is doubled, from 2 Bt when it is
// not above Bt, at most 20 times (beyond about 2e6 Bt the rounding of
// alpha_t ~ B swamps the equation). A valid end is kept as it is, and so is
// the end when no sign change turns up: then the branch has no solution (as
// in keyboard model data in which a class has more disagreements than R - 1
// raters can give it), and the search runs as it always did.
double CheckedUpperEnd(ModelTables& tb, const BStart& s) {
  double hi = s.hi;
  if (!(hi > s.lo)) hi = 2 * s.lo;
  for (int k = 0; k < 20; ++k) {
    Search2(tb, hi);
    if (Sign(FuncionB(tb, hi, tb.alp_neg.data(), RootBranch::kLargerForT)) != Sign(s.ref)) return hi;
    hi = 2 * hi;
  }
  return s.hi;
}

}  // namespace

double Search3(ModelTables& tb, int cl) {
  tb.spread = 0;
  const BStart s = ChooseStart(tb, cl);
  double outcome = 0;
  if (s.Special(outcome)) {
    tb.B = outcome;
  } else if (s.start == StartCase::kAtBound) {
    tb.paso = s.paso;
    tb.B = tb.Bt;
  } else {
    tb.paso = s.paso;
    const double hi = s.start == StartCase::kLargerRootForT ? CheckedUpperEnd(tb, s) : s.hi;
    SearchB(tb, s.lo, hi, s.ref);
    SettleDoubleRoots(tb);
  }
  tb.B0 = tb.B;
  return tb.B0;
}

}  // namespace zover
