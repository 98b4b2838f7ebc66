// The equations of the model and the bisection that solves the class
// equations.

#include <cmath>
#include <limits>

#include "model/detail.h"
#include "model/model.h"
#include "tables/near.h"

namespace zover {

using detail::SameBits;
using detail::Sign;

double Alpha(const ModelTables& tb, double x, const double* v) {
  double sum = 0.0;
  for (int r = 0; r < tb.R; ++r) sum += x / (v[r] + x);
  return sum - 1.0;
}

double Alpha_Neg(const ModelTables& tb, double x, double Bv, const double* v) {
  double logs = 0.0;
  for (int r = 0; r < tb.R; ++r) logs += std::log(v[r] + x);
  return (logs - std::log(x)) - (tb.R - 1.0) * std::log(Bv);
}

double FuncionB(const ModelTables& tb, double x, const double* a, RootBranch mode) {
  double S = 0.0;
  for (int i = 0; i < tb.K; ++i) S += (mode != RootBranch::kSmaller && i == tb.t) ? tb.alp_pos : a[i];
  return (tb.D + S) - x;
}

namespace {

// Biseccion: bisection on one class equation
// ------------------------------------------
// Solves F(x) = 0 for F = Alpha or Alpha_Neg(., Bv).
//
// Bracket invariant: F(pos) >= 0 and F(neg) < 0, except that an end where F
// is exactly zero may take either role when the bracket is formed from the
// two ends directly.
//
// Tolerance: the bisection ends once |pos - neg| < 1e-12 w, that is once
// ((pos - neg) / w)^2 < 1e-24 (BracketClosed). The class scale w is 1, or
// 100 times the mean of v where that is smaller: a class whose proportions
// average below 0.01 has its parameter to 1e-10 of that mean, so that its
// consistency and chance probabilities keep their accuracy however small
// the class. For every other class the test is |pos - neg| < 1e-12.
//
// Iteration bounds: each search for a sign change runs at most kMaxHalvings
// halvings, and ends sooner once its midpoint no longer moves; the bisection
// proper has no count cap: each pass halves |pos - neg| until the tolerance
// is met or the midpoint no longer moves. An exact zero of F does not end the
// bisection: the result is the last midpoint evaluated.

constexpr int kMaxHalvings = 10000;

// F of one call, counting its evaluations. With the class's fixed
// quantities (facts, for the class equation only) some values are known
// without the R logarithms, bit for bit as the equation as written gives
// them: F at the minimiser, whose sum of logarithms is kept; F(0) = +Inf;
// and the sign of F where a bound proves it negative (ProvedNegative).
class ClassEquation {
 public:
  ClassEquation(ModelTables& tb, const double* v, Equation type, double Bv, const ClassFacts* facts = nullptr)
      : tb_(tb), v_(v), type_(type), Bv_(Bv), facts_(type == Equation::kAlphaNeg ? facts : nullptr) {
    if (facts_) c_ = (tb.R - 1.0) * std::log(Bv);
  }

  // The class scale w of the bracket tolerance: min(1, 100 mean_r v_r).
  double Scale() const {
    double sum = 0.0;
    for (int r = 0; r < tb_.R; ++r) sum += v_[r];
    const double w = 100 * (sum / tb_.R);
    return w > 0 && w < 1 ? w : 1;
  }

  double operator()(double x) const {
    if (facts_) {
      // Alpha_Neg forms (logs - ln x) - (R - 1.0) ln Bv; at the minimiser
      // the first part is kept. At x = 0 every ln v_r is finite and ln 0 =
      // -Inf, so the value is +Inf for any finite Bv >= 0.
      if (SameBits(x, facts_->alpha)) return facts_->gAlpha - c_;
      if (x == 0 && facts_->positive && Bv_ >= 0 && Bv_ < HUGE_VAL) return HUGE_VAL;
    }
    ++tb_.counters.evaluations;
    return type_ == Equation::kAlpha ? Alpha(tb_, x, v_) : Alpha_Neg(tb_, x, Bv_, v_);
  }

  // Whether the class equation as written is certainly negative at m > 0,
  // from the class's fixed quantities and one logarithm. Exactly, ln(v + m)
  // <= ln v + m / v, so
  //
  //     F(m) <= U = L + m S - ln m - c,  L = sum_r ln v_r, S = sum_r 1/v_r,
  //
  // c = (R - 1) ln Bv. F as computed differs from F by at most its own
  // rounding: R + 3 roundings of the logarithms (each within one ulp of the
  // exact value), their sum (recursive summation: (R - 1) u times the sum of
  // the magnitudes) and the two subtractions, all below (R + 3) eps times
  // M = sum_r |ln(v_r + m)| + R + |ln m| + |c| + 1, where sum_r |ln(v_r + m)|
  // <= sum_r |ln v_r| + m S. U as computed carries the same kind of error
  // (L, S and the three terms of U), below (R + 3) eps M as well. So when
  // U + 4 (R + 3) eps M < 0 as computed, the computed F is negative, and
  // the bisection takes the same step without evaluating it. Anything not
  // finite makes the test fail, and F is evaluated as written.
  bool ProvedNegative(double m) const {
    if (!facts_ || !facts_->positive || !(m > 0)) return false;
    const double lm = std::log(m);
    const double U = facts_->logSum + m * facts_->inverses - lm - c_;
    const double M = facts_->absLogs + m * facts_->inverses + tb_.R + std::fabs(lm) + std::fabs(c_) + 1;
    return U + 4 * (tb_.R + 3.0) * std::numeric_limits<double>::epsilon() * M < 0;
  }

  const ClassFacts* Facts() const { return facts_; }

  // The class equation with a B below 0 or not a number: ln Bv, and with it
  // F, is NaN at every x.
  bool NowhereANumber() const { return type_ == Equation::kAlphaNeg && !(Bv_ >= 0); }

  bool FullPrecision() const { return tb_.farBelow; }

 private:
  ModelTables& tb_;
  const double* v_;
  Equation type_;
  double Bv_;
  const ClassFacts* facts_;
  double c_ = 0;
};

struct Bracket {
  double pos;
  double neg;
};

// The bracket tolerance: |pos - neg| < 1e-12 w, tested as
// ((pos - neg) / w)^2 below 1e-24 by the program's tolerance test (for
// w = 1 exactly the near-equality test of pos and neg).
bool BracketClosed(const Bracket& br, double w) {
  const double d = (br.pos - br.neg) / w;
  return BelowTolerance(d * d);
}

// The searches for a sign change, used when F has the same strict sign at
// both ends. A point starts at one end and m is the midpoint between it and
// the other, fixed, end; while F(m) has the sign of F at the fixed end
// (Ffixed, from the caller), the point moves to m. The first m of the other
// sign closes the bracket between m and the point. Halving towards a fixes a
// and starts at b; halving towards b fixes b and starts at a. The search
// ends after kMaxHalvings passes, or as soon as the point stops moving:
// every later pass would repeat the same midpoint and the same sign.
bool HalveTowards(const ClassEquation& F, double fixed, double Ffixed, double start, Bracket& br) {
  double point = start;
  for (int pass = 0; pass < kMaxHalvings; ++pass) {
    const double m = (fixed + point) / 2;
    if (Sign(F(m)) == Sign(Ffixed)) {
      if (SameBits(m, point)) return false;
      point = m;
      continue;
    }
    br = Ffixed > 0 ? Bracket{point, m} : Bracket{m, point};
    return true;
  }
  return false;
}

// Halves the bracket until |pos - neg| < 1e-12 w; returns the last midpoint.
// Where adjacent doubles lie 1e-12 or more apart (ends beyond about 8192) or
// an end is not finite, the bracket can stop shrinking before it is that
// narrow; the bisection then ends at the midpoint that no longer moves
// instead of halving forever. Below that magnitude it never triggers, so no
// result changes.
//
// Far below chance (tb.farBelow) the B equation is so flat that the 1e-12
// of a class parameter would move B by up to 1e-12 / slope: there every
// bisection runs until its midpoint stops moving.
double Bisect(const ClassEquation& F, Bracket br) {
  const double w = F.Scale();
  const bool full = F.FullPrecision();
  double m;
  do {
    m = (br.pos + br.neg) / 2;
    if (m == br.pos || m == br.neg || std::isnan(m)) break;
    if (!F.ProvedNegative(m) && F(m) >= 0)
      br.pos = m;
    else
      br.neg = m;
  } while (full || !BracketClosed(br, w));
  return m;
}

}  // namespace

namespace {

// The steps of Biseccion after its two end values Fa = F(a), Fb = F(b).
double SolveFromEnds(const ClassEquation& F, double a, double b, double Fa, double Fb) {
  Bracket br;
  if (Fa <= 0 && Fb >= 0) {
    br = Bracket{b, a};
  } else if (Fa >= 0 && Fb <= 0) {
    br = Bracket{a, b};
  } else if (std::isnan(Fa) && std::isnan(Fb) && F.NowhereANumber()) {
    // NaN counts as positive, so every midpoint of both halving searches
    // would have the sign of the fixed end: they could only run out.
    return b;
  } else if (!HalveTowards(F, a, Fa, b, br) &&  // towards a
             !HalveTowards(F, b, Fb, a, br)) {  // towards b
    return b;  // no sign change
  }
  return Bisect(F, br);
}

// A smaller solution far below the class's proportions. In product form the
// class equation reads alpha = lo prod_r (1 + alpha / v_r), lo = prod_r v_r /
// Bv^(R-1): a contraction with ratio below q = alpha sum_r 1/v_r, which
// approaches the root monotonically from either side. Where q < 0.1 the
// bisection's result, accurate to its absolute tolerance only, is improved
// by these steps until they stop moving it (at most 20, each gaining a
// digit or more): such a parameter is then accurate to its last digits,
// which its agreement s_i/n - alpha_i and the variances of a class with few
// agreements need.
//
// From a lower end of +0 the steps give +0 at once (lo times a finite
// product), then repeat it: with the class's fixed quantities, a q that
// alpha S < 0.09 (S = sum_r 1/v_r) keeps below 0.1 whatever the rounding
// of either sum gives +0 without the R divisions.
double Contract(const ModelTables& tb, double lo, const double* v, double alpha,
                const ClassFacts* facts = nullptr) {
  if (facts && lo == 0 && !std::signbit(lo) && alpha >= 0 && alpha * facts->inverses < 0.09) return 0.0;
  double q = 0.0;
  for (int r = 0; r < tb.R; ++r) q += alpha / v[r];
  if (!(q < 0.1)) return alpha;
  for (int step = 0; step < 20; ++step) {
    double product = 1.0;
    for (int r = 0; r < tb.R; ++r) product *= 1 + alpha / v[r];
    const double next = lo * product;
    if (next == alpha) break;
    alpha = next;
  }
  return alpha;
}

// A class with a proportion that is not a number has F NaN at every x: both
// halving searches could only run out, and every search returns its second
// end (SmallerRoot then Contract, which keeps a NaN q's alpha).
bool HasNaN(const ModelTables& tb, const double* v) {
  for (int r = 0; r < tb.R; ++r)
    if (std::isnan(v[r])) return true;
  return false;
}

double SmallerRootOf(ModelTables& tb, double lo, double alpha, const double* v, double Bv,
                     const ClassFacts* facts) {
  if (facts ? facts->nan : HasNaN(tb, v)) return alpha;
  const ClassEquation F(tb, v, Equation::kAlphaNeg, Bv, facts);
  const double Flo = F(lo);
  const double Falpha = F(alpha);
  // In exact arithmetic F(lo) = sum_r ln(1 + lo / v_r) > 0; when that lies
  // below the rounding error of the sum and F is negative at the minimiser
  // as well, the root lies within rounding of lo.
  if (Flo < 0 && Falpha < 0) return lo;
  return Contract(tb, lo, v, SolveFromEnds(F, lo, alpha, Flo, Falpha), facts);
}

}  // namespace

ClassFacts FactsOf(const ModelTables& tb, const double* v, double alpha) {
  ClassFacts f;
  f.alpha = alpha;
  f.positive = true;
  double logs = 0.0;
  for (int r = 0; r < tb.R; ++r) {
    f.nan = f.nan || std::isnan(v[r]);
    f.positive = f.positive && v[r] > 0 && v[r] < HUGE_VAL;
    f.product *= v[r];
    const double l = std::log(v[r]);
    f.logSum += l;
    f.absLogs += std::fabs(l);
    f.inverses += 1 / v[r];
    logs += std::log(v[r] + alpha);
  }
  f.gAlpha = logs - std::log(alpha);
  return f;
}

double Biseccion(ModelTables& tb, double a, double b, const double* v, Equation type, double Bv) {
  if (HasNaN(tb, v)) return b;
  const ClassEquation F(tb, v, type, Bv);
  const double Fa = F(a);
  const double Fb = F(b);
  return SolveFromEnds(F, a, b, Fa, Fb);
}

double LargerRootGap(ModelTables& tb, double m, double alpha, const double* v, double Bv) {
  // Far above the class's proportions, x = Bv - u with u of their size; in
  // terms of u the class equation reads
  //
  //     H(u) = sum_r ln(1 + (v_r - u) / Bv) - ln(1 - u / Bv) = 0,
  //
  // the (R - 1) ln Bv of the equation as written cancelling against the
  // logarithms' own ln Bv. Its terms are of the size of u / Bv and keep
  // their relative digits, where those of the form in x lose about
  // eps ln Bv each. H is decreasing in u (the equation as written increases
  // in x above the minimiser): H(m) >= 0 at the lower end, H < 0 at
  // Bv - alpha. The bisection runs until the midpoint stops moving.
  const auto H = [&](double u) {
    ++tb.counters.evaluations;
    double logs = 0.0;
    for (int r = 0; r < tb.R; ++r) logs += std::log1p((v[r] - u) / Bv);
    return logs - std::log1p(-u / Bv);
  };
  double pos = m, neg = Bv - alpha;
  if (!(H(pos) >= 0) || !(H(neg) < 0)) return NAN;
  for (;;) {
    const double mid = (pos + neg) / 2;
    if (mid == pos || mid == neg) return mid;
    (H(mid) >= 0 ? pos : neg) = mid;
  }
}

double SmallerRoot(ModelTables& tb, double lo, double alpha, const double* v, double Bv,
                   const ClassFacts* facts) {
  return SmallerRootOf(tb, lo, alpha, v, Bv, facts);
}

}  // namespace zover
