#pragma once
// A 50-digit solution of the model for the branch a double fit took: the
// class parameters and B solved to about 40 digits, and the measures and
// variances computed from them with the program's formulas. The
// cross-check compares the program's fit with it.
//
// A class equation is solved in its product form
//
//     P(a) = prod_r (d_r + a) - a B^(R-1) = 0,
//
// which is convex in a (a product of positive increasing factors, less a
// line). Newton's method started beyond a root, where P > 0 (below the
// smaller root, from a = 0, or above the larger one, from a = B), therefore
// approaches that root monotonically without safeguards. B is solved by
// Newton's method kept inside a sign-changing bracket found around the
// double fit's B, with dalpha/dB = alpha (R-1) / (B g'(alpha)), g(a) =
// sum_r ln(d_r + a) - ln a.

#include <boost/multiprecision/cpp_bin_float.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/model.h"

namespace zover::testing {

using Real = boost::multiprecision::cpp_bin_float_50;

struct Reference {
  bool solved = false;  // the branch has a solution above every class bound
  Real B, Bt;
  Real slope;  // of the B equation at B: where it is flat, B is ill-conditioned
  int larger = -1;          // the class that takes its larger solution, or -1
  std::vector<Real> alpha;  // class t: the larger solution when paso is 1
  // Measures of the fit (as parametros) and variances (as desviaciones).
  std::vector<std::vector<Real>> prop;
  std::vector<Real> acuerd, acuerdaux, consist;
  Real acglobal;
  std::vector<Real> var_alp, var_cons;
  Real var_suc;
};

namespace reference_detail {

// A Newton step below this share of the root ends a class solve.
inline const Real kNewtonStep("1e-44");

// One class: its proportions, its minimiser aMin of g and gMin = g(aMin).
struct ClassRow {
  std::vector<Real> d;
  Real aMin, gMin;

  Real Product(const Real& a) const {
    Real p = 1;
    for (const Real& x : d) p *= x + a;
    return p;
  }
  // sum_r 1/(d_r + a) - 1/a = g'(a) and sum_r 1/(d_r + a). They only steer
  // Newton's steps, so double precision is enough unless g' cancels (near
  // the minimiser).
  void Slopes(const Real& a, Real& g1, Real& inverses) const {
    const double ad = static_cast<double>(a);
    double sum = 0;
    for (const Real& x : d) sum += 1 / (static_cast<double>(x) + ad);
    if (std::fabs(sum - 1 / ad) > 1e-6 * sum) {
      inverses = sum;
      g1 = sum - 1 / ad;
      return;
    }
    inverses = 0;
    for (const Real& x : d) inverses += 1 / (x + a);
    g1 = inverses - 1 / a;
  }
};

// The minimiser of g: a g'(a) = sum_r a/(d_r + a) - 1 increases from -1 to
// R - 1 and changes sign between the smallest and the largest proportion
// over R - 1 (safeguarded Newton).
inline void Minimise(ClassRow& row) {
  const Real R1 = static_cast<int>(row.d.size()) - 1;
  Real lo = *std::min_element(row.d.begin(), row.d.end()) / R1;
  Real hi = *std::max_element(row.d.begin(), row.d.end()) / R1;
  Real a = (lo + hi) / 2;
  for (int k = 0; k < 400 && hi - lo > kNewtonStep * hi; ++k) {
    Real phi = -1, dphi = 0;
    for (const Real& x : row.d) {
      phi += a / (x + a);
      dphi += x / ((x + a) * (x + a));
    }
    if (phi == 0) break;
    (phi < 0 ? lo : hi) = a;
    Real next = a - phi / dphi;
    if (!(next > lo && next < hi)) next = (lo + hi) / 2;
    const bool done = abs(next - a) < kNewtonStep * a;
    a = next;
    if (done) break;
  }
  row.aMin = a;
  row.gMin = log(row.Product(a)) - log(a);
}

// The root of P on the side of the minimiser given by `larger`, for B with
// BR1 = B^(R-1) and c = (R-1) ln B, from a when that lies beyond the root
// (else from 0 or from B); false when c < gMin (no root).
inline bool SolveClass(const ClassRow& row, const Real& B, const Real& BR1, const Real& c,
                       bool larger, Real& a) {
  if (c < row.gMin) return false;
  const bool outside = larger ? a > row.aMin : a < row.aMin;
  if (!outside || !(row.Product(a) - a * BR1 > 0)) a = larger ? B : Real(0);
  // Close to the root the steps shrink (by half at least); one below 1e-30
  // of the root that does not has reached the noise of P, which near a
  // double root lies above 1e-44.
  Real previous = -1;
  for (int k = 0; k < 2000; ++k) {
    const Real product = row.Product(a);
    const Real P = product - a * BR1;
    if (P == 0) break;
    Real g1, inverses;
    row.Slopes(a, g1, inverses);
    const Real step = P / (product * inverses - BR1);
    const Real size = abs(step);
    a -= step;
    if (size < kNewtonStep * a || (size < Real("1e-30") * a && size > Real("0.9") * previous)) break;
    previous = size;
  }
  return true;
}

// The solution of B = D + sum_i alpha_i(B) for one branch, near a start.
class BSolver {
 public:
  BSolver(const ModelTables& tb, const std::vector<ClassRow>& rows, const Real& D, int largerClass)
      : tb_(tb), rows_(rows), D_(D), larger_(largerClass) {}

  // F(B) and its derivative, with alpha of every class at B (from the
  // values alpha holds); false when some class equation has no solution.
  bool F(const Real& B, Real& value, Real& slope, std::vector<Real>& alpha) const {
    const int R = tb_.R;
    const Real c = (R - 1) * log(B);
    const Real BR1 = pow(B, R - 1);
    value = D_ - B;
    slope = -1;
    for (int i = 0; i < tb_.K; ++i) {
      if (tb_.N0[i] == 1) continue;
      if (!SolveClass(rows_[i], B, BR1, c, i == larger_, alpha[i])) return false;
      Real g1, inverses;
      rows_[i].Slopes(alpha[i], g1, inverses);
      value += alpha[i];
      slope += (R - 1) / (B * g1);
    }
    return true;
  }

  // A sign change found by steps growing fourfold on both sides of x (not
  // below the largest class bound Bt), then Newton's method inside it.
  bool Solve(Real x, const Real& Bt, Real& B, Real& slopeAtB, std::vector<Real>& alpha) const {
    Real value, slope;
    if (x < Bt) x = Bt * (1 + Real("1e-40"));
    if (!F(x, value, slope, alpha)) return false;
    const bool negative = value < 0;
    Real lo = x, hi = x;  // F(lo) has the sign of F(x), F(hi) the other
    bool bracketed = value == 0;
    Real nearLeft = x, nearRight = x;
    for (Real h = x * Real("1e-12"); !bracketed && h < 1e6 * (x + 1); h *= 4) {
      // Just above Bt: at Bt itself rounding may leave class t no root.
      const Real left = x - h < Bt ? Bt * (1 + Real("1e-40")) : x - h;
      if (F(left, value, slope, alpha) && value == value && (value < 0) != negative) {
        lo = nearLeft, hi = left, bracketed = true;
        break;
      }
      nearLeft = left;
      if (F(x + h, value, slope, alpha) && value == value && (value < 0) != negative) {
        lo = nearRight, hi = x + h, bracketed = true;
        break;
      }
      nearRight = x + h;
    }
    if (!bracketed) return false;
    B = (lo + hi) / 2;
    for (int k = 0; k < 500; ++k) {
      if (!F(B, value, slope, alpha)) return false;
      if (value == 0) break;
      ((value < 0) == negative ? lo : hi) = B;
      Real next = B - value / slope;
      const bool inside = lo < hi ? next > lo && next < hi : next > hi && next < lo;
      if (!inside) next = (lo + hi) / 2;
      const bool done = abs(next - B) <= abs(B) * Real("1e-42");
      B = next;
      if (done) break;
    }
    const bool ok = F(B, value, slope, alpha);
    slopeAtB = slope;
    return ok;
  }

 private:
  const ModelTables& tb_;
  const std::vector<ClassRow>& rows_;
  Real D_;
  int larger_;  // the class that takes its larger solution, or -1
};

// The model of the data in tb: the class rows with their minimisers, D and
// the largest class bound.
class ReferenceModel {
 public:
  explicit ReferenceModel(const ModelTables& tb) : tb_(tb), rows_(tb.K), start_(tb.K) {
    for (int i = 0; i < tb.K; ++i) {
      for (int r = 0; r < tb.R; ++r) {
        rows_[i].d.push_back(Real(tb.dmat[i][r]));
        D_ += rows_[i].d.back();
      }
    }
    D_ /= tb.R;
    for (int i = 0; i < tb.K; ++i) {
      if (tb.N0[i] == 1) continue;
      Minimise(rows_[i]);
      Bt_ = std::max(Bt_, Real(exp(rows_[i].gMin / (tb.R - 1))));
      const double alpha = i == tb.t && tb.paso == RootBranch::kLargerForT ? tb.alp_pos : tb.alp_neg[i];
      start_[i] = alpha > 0 ? Real(alpha) : rows_[i].aMin;
    }
  }

  // Solves the model for the branch of the fit in tb (after Search3, before
  // parametros): classes flagged in N0 have alpha 0, class t takes the
  // larger solution when paso is 1. The double fit's B0, alp_neg and
  // alp_pos are the starting values. Where the branch has no solution near
  // B0, the other solution for class t is tried: at B0 = Bt (a fit that
  // ends at the class bound of t) the two branches meet and either may hold
  // the root.
  Reference Solve() const {
    Reference ref;
    ref.Bt = Bt_;
    ref.alpha.assign(tb_.K, Real(0));
    const int larger = tb_.paso == RootBranch::kLargerForT ? tb_.t : -1;
    for (int branch : {larger, larger == -1 ? tb_.t : -1}) {
      ref.alpha = start_;
      const BSolver solver(tb_, rows_, D_, branch);
      if (solver.Solve(Real(tb_.B0), Bt_, ref.B, ref.slope, ref.alpha)) {
        ref.solved = true;
        ref.larger = branch;
        return ref;
      }
    }
    return ref;
  }

  // The class parameters of the same branch at a given B, without the B
  // equation.
  Reference At(const Reference& fit, const Real& B) const {
    Reference ref = fit;
    Real value, slope;
    ref.B = B;
    ref.solved = BSolver(tb_, rows_, D_, fit.larger).F(B, value, slope, ref.alpha);
    return ref;
  }

 private:
  const ModelTables& tb_;
  std::vector<ClassRow> rows_;
  std::vector<Real> start_;
  Real D_ = 0, Bt_ = 0;
};

}  // namespace reference_detail

inline Reference SolveReference(const ModelTables& tb) {
  return reference_detail::ReferenceModel(tb).Solve();
}

// The measures of the fit, by the formulas of parametros for caso (2: the
// two real classes of R = K = 2 fitted with the dummy class).
inline void ReferenceMeasures(Reference& ref, const ModelTables& tb, int caso) {
  const int K = tb.K, R = tb.R;
  const Real n = tb.N, B = ref.B;
  ref.prop.assign(K, std::vector<Real>(R, Real(0)));
  ref.acuerd.assign(K, Real(0));
  ref.acuerdaux.assign(K, Real(0));
  ref.consist.assign(K, Real(0));
  for (int i = 0; i < K; ++i) {
    const Real a = Real(tb.success[i]) / n;
    Real S = 0, SD = 0;
    for (int r = 0; r < R; ++r) {
      ref.prop[i][r] = (Real(tb.dmat[i][r]) + ref.alpha[i]) / B;
      S += ref.prop[i][r];
      SD += Real(tb.dmat[i][r]);
    }
    ref.acuerd[i] = a - ref.alpha[i];
    ref.consist[i] = R * ref.acuerd[i] / (B * S + R * ref.acuerd[i]);
  }
  ref.acglobal = 1 - B;
  if (caso != 2) return;
  const Real a0 = Real(tb.success[0]) / n, a1 = Real(tb.success[1]) / n;
  const Real real = a0 + a1 + Real(tb.dmat[0][0]) + Real(tb.dmat[1][0]);
  for (int i = 0; i < 2; ++i) {
    const Real a = Real(tb.success[i]) / n;
    ref.acuerdaux[i] = a - ref.alpha[i];
    ref.acuerd[i] = ref.acuerdaux[i] / real;
    ref.consist[i] = 2 * ref.acuerdaux[i] / (2 * a + Real(tb.dmat[i][0]) + Real(tb.dmat[i][1]));
  }
  ref.acglobal = ref.acuerd[0] + ref.acuerd[1];
}

// The variances of desviaciones from the measures above; `overall` is the
// overall agreement the driver saved (caso 2 only).
inline void ReferenceVariances(Reference& ref, const ModelTables& tb, int caso, const Real& overall) {
  const int K = tb.K, R = tb.R;
  const Real n = tb.N, O = ref.acglobal, B = ref.B;
  std::vector<Real> h(K);
  Real H = 0;
  for (int i = 0; i < K; ++i) {
    Real inverses = 0, product = 1;
    for (int r = 0; r < R; ++r) {
      inverses += 1 / ref.prop[i][r];
      product *= ref.prop[i][r];
    }
    h[i] = 1 / (inverses - 1 / product);
    H += h[i];
  }
  ref.var_alp.assign(K, Real(0));
  ref.var_cons.assign(K, Real(0));
  if (caso == 2) {
    const Real E = Real(tb.success[0]) / n + Real(tb.success[1]) / n + Real(tb.dmat[0][0]) +
                   Real(tb.dmat[1][0]);
    ref.var_suc = ((H - h[2]) * B * (1 - h[2]) / (H - 1) + overall * E * (1 - overall)) / (n * E * E);
    for (int i = 0; i < 2; ++i) {
      const Real A = ref.acuerd[i], As = ref.acuerdaux[i];
      const Real T = h[i] * B * (h[i] / (H - 1) - 1);
      ref.var_alp[i] = (A * E * (1 - A) + T) / (n * E * E);
      const Real G = 2 * Real(tb.success[i]) / n + Real(tb.dmat[i][0]) + Real(tb.dmat[i][1]);
      const Real V = 1 - 3 * As / G + 2 * (As * As + B * As * ref.prop[i][0] * ref.prop[i][1]) / (G * G);
      ref.var_cons[i] = 4 * (As * V + T) / (n * G * G);
    }
    return;
  }
  ref.var_suc = (1 - O) / n * (H / ((R - 1) * H - 1) + O);
  for (int i = 0; i < K; ++i) {
    const Real A = ref.acuerd[i], C = ref.consist[i];
    Real sumD = 0, sumPi = 0, sumPi2 = 0;
    for (int r = 0; r < R; ++r) {
      sumD += Real(tb.dmat[i][r]);
      sumPi += ref.prop[i][r];
      sumPi2 += ref.prop[i][r] * ref.prop[i][r];
    }
    const Real T = (1 - O) * h[i] * ((R - 1) * h[i] / ((R - 1) * H - 1) - 1);
    ref.var_alp[i] = (A * (1 - A) + T) / n;
    const Real X = R * Real(tb.success[i]) / n + sumD;
    const Real V = A * (1 - C) * (1 - (R - 1) * C / R);
    const Real W = (sumPi * sumPi - sumPi2) * C * ((1 - O) * C) / (R * R);
    ref.var_cons[i] = (T + W + V) * R * R / (n * X * X);
  }
}

}  // namespace zover::testing
