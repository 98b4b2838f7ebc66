#pragma once
// The cross-check of the double fit against the 50-digit reference: data
// sets that reach the edges of the model, and the estimation as the driver
// runs it with every printed value compared.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/model_data.h"
#include "model/reference.h"

namespace zover::testing {

// --- Data ---------------------------------------------------------------------

// Data sets drawn as frequencies of response tuples, so that n can reach 1e9
// while the agreements and disagreements stay those of real responses. K and
// R run from 2 to 1000 (mostly small, K R at most maxCells), n is
// log-uniform from 10 to 1e9 and the tuple frequencies spread over nine
// orders of magnitude (classes of proportion 1e-9 at large n). Some data sets
// are R = K = 2; in some a pair of classes is mirrored (every tuple also
// occurs with the two classes swapped: their rows tie exactly), and then one
// extra object may make the tie a near-tie; in some one class's
// disagreements are moved between raters (keyboard model data, whose rater
// sums differ).
class EdgeData {
 public:
  explicit EdgeData(std::uint64_t seed) : rng_(seed) {}

  ModelTables Draw(int maxCells) {
    K_ = Dimension();
    R_ = Dimension();
    while (K_ * R_ > maxCells) (K_ > R_ ? K_ : R_) /= 2;
    if (Uniform() < 0.08) K_ = R_ = 2;
    double n = std::floor(10 * std::exp(Uniform() * std::log(1e8)));
    success_.assign(K_, 0.0);
    fail_.assign(K_, std::vector<double>(R_, 0.0));

    popularity_.resize(K_);
    double sum = 0;
    for (double& p : popularity_) sum += p = Uniform() < 0.1 ? 1e-6 : std::exp(-5 * Uniform());
    for (double& p : popularity_) p /= sum;
    accuracy_ = Uniform();
    unanimousShare_ = Uniform() * Uniform();

    const bool mirror = K_ > 2 && Uniform() < 0.3;
    mirrorA_ = Pick(K_);
    mirrorB_ = (mirrorA_ + 1 + Pick(K_ - 1)) % K_;
    const int types = std::min(5 * K_ + 50, 5000000 / R_);
    std::vector<double> weights(types);
    for (double& w : weights) w = std::exp(-20 * Uniform());
    const std::vector<double> frequency = Apportion(mirror ? std::floor(n / 2) : n, weights);
    std::vector<int> tuple(R_);
    for (double f : frequency) {
      if (f == 0) continue;
      DrawTuple(tuple);
      Add(tuple, f);
      if (!mirror) continue;
      for (int& c : tuple) c = c == mirrorA_ ? mirrorB_ : c == mirrorB_ ? mirrorA_ : c;
      Add(tuple, f);
    }
    if (mirror) {
      n = 2 * std::floor(n / 2);
      if (Uniform() < 0.5) {  // a near-tie
        DrawTuple(tuple);
        Add(tuple, 1);
        n += 1;
      }
    }
    if (Uniform() < 0.1) {  // keyboard model data: rater sums differ
      const int i = Pick(K_), r = Pick(R_), q = Pick(R_);
      const double moved = std::floor(Uniform() * fail_[i][r]);
      fail_[i][r] -= moved;
      fail_[i][q] += moved;
    }
    return MakeModelTables(K_, R_, n, success_, fail_);
  }

 private:
  double Uniform() { return static_cast<double>(rng_() >> 11) * 0x1.0p-53; }
  int Pick(int k) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(k)); }
  // Mostly 2 to 6, sometimes up to 40, sometimes up to 1000.
  int Dimension() {
    const double x = Uniform();
    if (x < 0.6) return 2 + Pick(5);
    if (x < 0.85) return 7 + Pick(34);
    return static_cast<int>(std::exp(std::log(41.0) + Uniform() * std::log(1000 / 41.0)));
  }
  int PopularClass() {
    double x = Uniform();
    for (int i = 0; i < K_ - 1; ++i)
      if ((x -= popularity_[i]) < 0) return i;
    return K_ - 1;
  }
  // A true class, given by every rater (a unanimous tuple) or by each rater
  // with the data set's accuracy, otherwise a class drawn by popularity.
  void DrawTuple(std::vector<int>& tuple) {
    const int truth = PopularClass();
    const bool unanimous = Uniform() < unanimousShare_;
    for (int& c : tuple) c = unanimous || Uniform() < accuracy_ ? truth : PopularClass();
  }
  void Add(const std::vector<int>& tuple, double f) {
    bool unanimous = true;
    for (int c : tuple) unanimous = unanimous && c == tuple[0];
    if (unanimous)
      success_[tuple[0]] += f;
    else
      for (int r = 0; r < R_; ++r) fail_[tuple[r]][r] += f;
  }

  // total split in whole numbers in proportion to w (largest remainders).
  static std::vector<double> Apportion(double total, const std::vector<double>& w) {
    double sum = 0;
    for (double x : w) sum += x;
    std::vector<double> out(w.size());
    double given = 0;
    for (std::size_t i = 0; i < w.size(); ++i) given += out[i] = std::floor(total * w[i] / sum);
    for (std::size_t i = 0; given < total; i = (i + 1) % w.size()) {
      out[i] += 1;
      given += 1;
    }
    return out;
  }

  std::mt19937_64 rng_;
  int K_ = 0, R_ = 0, mirrorA_ = 0, mirrorB_ = 0;
  double accuracy_ = 0, unanimousShare_ = 0;
  std::vector<double> popularity_;
  std::vector<double> success_;
  std::vector<std::vector<double>> fail_;
};

// --- Comparison ---------------------------------------------------------------

// One fitted or printed value that differs from the reference by more than
// its tolerance.
struct Mismatch {
  std::string what;
  double got, want;
};

struct CrossCheckResult {
  int fitsChecked = 0;    // fits compared with the reference
  int flat = 0;           // of them, with an allowance for a flat B equation
  int undetermined = 0;   // fits whose B double precision cannot fix: counted only
  double worstB = 0;      // largest relative error of B among the compared fits
  std::vector<Mismatch> mismatches;
};

// The tolerance. Every value must agree with the reference to 1e-9 relative
// (absolute below 1). The double fit meets the B equation to 1e-12 w (w =
// min(1, 100 D)), and where B is large class t's parameter alpha_t ~ B
// carries rounding of about 4 eps B (ln B + 1) into it; where the B equation
// is flat (slope s) that leaves B uncertain by
//
//     dB = (1e-12 w + 4 eps B (|ln B| + 1)) / |s|,
//
// which moves every value as it moves when the reference's B moves by dB
// with its class equations solved again: four times that much is allowed
// on top. A fit far below chance (farBelow) solves class t for u = B -
// alpha_t and ends on B itself; its dB is the input-rounding spread, the
// B equation (of the size of D + u) moved by 8 eps, over the slope. A fit with dB > 1e-3 B is not determined in double precision at
// all (B in the millions, next to the minus-infinity outcome); it is
// counted, not compared.
class CrossChecker {
 public:
  explicit CrossChecker(CrossCheckResult& result) : result_(result) {}

  void Compare(const std::string& what, double got, const Real& want, const Real& shifted) {
    const double w = static_cast<double>(want);
    const double tolerance = 1e-9 * std::fmax(1, std::fabs(w)) + 4 * static_cast<double>(abs(shifted - want));
    const bool ok = std::isnan(w) ? std::isnan(got) : std::fabs(got - w) <= tolerance;
    if (!ok) result_.mismatches.push_back({what, got, w});
  }
  // A standard error: the square root of a variance. The allowance is
  // taken on the variance, where the shift moves it by some amount v: the
  // standard error may differ by sqrt(4 v) on top of 1e-9. A variance
  // negative beyond 1e-18 and that allowance has no standard error (NaN).
  void CompareSE(const std::string& what, double variance, const Real& want, const Real& shifted) {
    const double allowance = 4 * static_cast<double>(abs(shifted - want));
    const double w = static_cast<double>(want);
    const double got = std::sqrt(variance);
    if (w < -1e-18 - allowance) {
      if (!std::isnan(got)) result_.mismatches.push_back({what, got, NAN});
      return;
    }
    const double se = std::sqrt(std::fmax(w, 0));
    if (!(std::fabs(got - se) <= 1e-9 * std::fmax(1, se) + std::sqrt(allowance)))
      result_.mismatches.push_back({what, got, se});
  }

  // B, the class parameters and the measures of parametros(1) and, for
  // caso 2, parametros(2), of the fit in tb; returns the reference and, in
  // shifted, its values at B + dB (both unsolved for a special outcome or a
  // fit that is not compared).
  Reference Fit(ModelTables& tb, int caso, const std::string& label, Reference& shifted) {
    const bool special = tb.B0 == 0 || tb.B0 == -1.0 || tb.B0 == -2.0;
    Reference ref;
    shifted = Reference();
    if (!special) {
      const reference_detail::ReferenceModel model(tb);
      ref = model.Solve();
      if (!ref.solved) {
        result_.mismatches.push_back({label + "no solution in the branch", tb.B0, NAN});
      } else {
        const double B = static_cast<double>(ref.B);
        const double w = 100 * tb.D < 1 ? 100 * tb.D : 1;
        const double eps = 0x1.0p-52;
        // Far below chance the fit solves for u = B - alpha_t and ends on B
        // itself: B is then as uncertain as the data's own rounding leaves
        // it, the B equation (of the size of D + u) moved by a few eps.
        const double u = tb.farBelow ? static_cast<double>(ref.B - ref.alpha[tb.t]) : 0;
        const double residual =
            tb.farBelow ? 8 * eps * (tb.D + u) : 1e-12 * w + 4 * eps * B * (std::fabs(std::log(B)) + 1);
        const double dB = residual / std::fabs(static_cast<double>(ref.slope));
        if (!(dB <= 1e-3 * B)) {
          ++result_.undetermined;
          ref.solved = false;
        } else {
          ++result_.fitsChecked;
          shifted = model.At(ref, ref.B + dB);
          if (!shifted.solved) shifted = ref;
          result_.flat += dB > 1e-10 * std::fmax(1, B);
          result_.worstB = std::fmax(result_.worstB, std::fabs(tb.B0 - B) / std::fmax(1, B));
          Compare(label + "B", tb.B0, ref.B, shifted.B);
          for (int i = 0; i < tb.K; ++i) {
            const double alpha = i == tb.t && tb.paso == RootBranch::kLargerForT ? tb.alp_pos : tb.alp_neg[i];
            Compare(label + "alpha " + std::to_string(i), alpha, ref.alpha[i], shifted.alpha[i]);
          }
        }
      }
    }
    // caso 2 prints the three-class fit without consistencies, then the
    // two real classes without chance probabilities.
    parametros(tb, 1);
    if (ref.solved) {
      ReferenceMeasures(ref, tb, 1);
      ReferenceMeasures(shifted, tb, 1);
      CompareMeasures(tb, ref, shifted, tb.K, caso != 2, true, label);
    }
    if (caso == 2) {
      parametros(tb, 2);
      if (ref.solved) {
        ReferenceMeasures(ref, tb, 2);
        ReferenceMeasures(shifted, tb, 2);
        CompareMeasures(tb, ref, shifted, 2, true, false, label + "two-class ");
      }
    }
    return ref;
  }

  void CompareMeasures(const ModelTables& tb, const Reference& ref, const Reference& shifted, int classes,
                       bool consistency, bool chance, const std::string& label) {
    Compare(label + "overall", tb.acglobal, ref.acglobal, shifted.acglobal);
    for (int i = 0; i < classes; ++i) {
      const std::string c = label + "class " + std::to_string(i) + " ";
      Compare(c + "agreement", tb.acuerd[i], ref.acuerd[i], shifted.acuerd[i]);
      if (consistency) Compare(c + "consistency", tb.consist[i], ref.consist[i], shifted.consist[i]);
      for (int r = 0; r < tb.R && chance; ++r)
        Compare(c + "chance " + std::to_string(r), tb.prop[i][r], ref.prop[i][r], shifted.prop[i][r]);
    }
  }

 private:
  CrossCheckResult& result_;
};

// The estimation of the driver on data (R = K = 2 with the dummy class),
// every compared fit checked against the reference: the first fit, the
// refit of desviaciones if any, and the standard errors of the last fit.
inline CrossCheckResult CrossCheck(const ModelTables& data) {
  CrossCheckResult result;
  CrossChecker check(result);
  ModelTables tb = data;
  const int caso = tb.R == 2 && tb.K == 2 ? 2 : 1;
  if (caso == 2) {
    tb.K = 3;
    incremento(tb);
  }
  Fit(tb);
  Reference shifted;
  Reference ref = check.Fit(tb, caso, "", shifted);
  const double saved = tb.acglobal;  // the first fit's overall agreement
  // desviaciones refits in place; the refit is repeated on a copy to check it.
  ModelTables last = tb;
  desviaciones(last, caso, saved);
  Real overall = caso == 2 && ref.solved ? ref.acglobal : Real(saved);
  Real overallShifted = caso == 2 && ref.solved ? shifted.acglobal : overall;
  if (last.N != tb.N) {
    ModelTables refit = tb;
    incremento(refit);
    Fit(refit);
    ref = check.Fit(refit, caso, "refit ", shifted);
    overall = overallShifted = Real(saved);
  }
  if (!ref.solved) return result;
  ReferenceVariances(ref, last, caso, overall);
  ReferenceVariances(shifted, last, caso, overallShifted);
  check.CompareSE("overall SE", last.var_suc, ref.var_suc, shifted.var_suc);
  for (int i = 0; i < (caso == 2 ? 2 : last.K); ++i) {
    const std::string c = "class " + std::to_string(i) + " ";
    check.CompareSE(c + "agreement SE", last.var_alp[i], ref.var_alp[i], shifted.var_alp[i]);
    check.CompareSE(c + "consistency SE", last.var_cons[i], ref.var_cons[i], shifted.var_cons[i]);
  }
  return result;
}

}  // namespace zover::testing
