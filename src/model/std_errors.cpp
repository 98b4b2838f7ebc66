// Large-sample variances of the measures of a fitted model, with the refit on
// data increased by 0.5 per response tuple when the first fit is degenerate.
//
// With the chance probabilities pi_ir of the fit,
//
//     h_i = 1 / (sum_r 1/pi_ir - 1/prod_r pi_ir),   H = sum_i h_i,
//
// the variances are closed forms in h_i, H, the measures and n.

#include <cmath>
#include <limits>
#include <vector>

#include "model/model.h"
#include "tables/near.h"

namespace zover {

void incremento(ModelTables& tb) {
  const double K = tb.K;
  tb.N = tb.N + std::pow(K, tb.R) / 2;
  // Each class has K^(R-1) - 1 non-unanimous tuples in which rater r gives it.
  const double perRater = (std::pow(K, tb.R - 1.0) - 1) / 2;
  for (int i = 0; i < tb.K; ++i) {
    tb.success[i] = tb.success[i] + 0.5;
    for (int r = 0; r < tb.R; ++r) tb.fail[i][r] = tb.fail[i][r] + perRater;
  }
}

namespace {

// A zero proportion, or B within 1e-12 of -1 or -2.
bool NeedsRefit(const ModelTables& tb) {
  int zeros = 0;
  for (int i = 0; i < tb.K; ++i)
    for (int r = 0; r < tb.R; ++r)
      if (tb.dmat[i][r] == 0) ++zeros;
  return zeros > 0 || Near(tb.B0, -1.0) || Near(tb.B0, -2.0);
}

void Refit(ModelTables& tb, int caso) {
  incremento(tb);
  Fit(tb);
  parametros(tb, caso);
}

// h_i = 1 / (sum_r 1/pi_ir - 1/prod_r pi_ir). With two raters this is
// pi_i0 pi_i1 / (pi_i0 + pi_i1 - 1), whose denominator is small where two
// classes tie (about -1/n in the R = K = 2 case, from the dummy class):
// formed from the chance probabilities it would carry their rounding, and
// the 1e-12 accuracy of the fit, into h_i a million times over at n = 1e6.
// At a fitted B = D + sum_j alpha_j, with D = sum_j S_j / 2 (S_j = d_j0 +
// d_j1), it is exactly
//
//     pi_i0 + pi_i1 - 1 = ((S_i - sum_{j != i} S_j) / 2 + (alpha_i - sum_{j != i} alpha_j)) / B,
//
// each difference taken in class order, so that the parts of tied classes
// cancel exactly. That form is used where pi_i0 + pi_i1 - 1 is below 0.01
// in size, when the class parameters are those of the fit (class t holds
// its larger solution on the branch kLargerForT) and B is not a special outcome. It
// differs from the other form by the residual of the B equation, which the
// search leaves below 1e-12, so elsewhere the chance probabilities' form is
// kept.
double HarmonicTerm(const ModelTables& tb, int i) {
  const bool fitted = tb.B0 > 0 && (tb.paso != RootBranch::kLargerForT || tb.alp_neg[tb.t] == tb.alp_pos);
  if (tb.R == 2 && fitted && std::fabs(tb.prop[i][0] + tb.prop[i][1] - 1) < 0.01) {
    double sums = tb.dmat[i][0] + tb.dmat[i][1];
    double alphas = tb.alp_neg[i];
    for (int j = 0; j < tb.K; ++j) {
      if (j == i) continue;
      sums -= tb.dmat[j][0] + tb.dmat[j][1];
      alphas -= tb.alp_neg[j];
    }
    return tb.prop[i][0] * tb.prop[i][1] * tb.B0 / (sums / 2 + alphas);
  }
  double inverses = 0.0;
  double product = 1.0;
  for (int r = 0; r < tb.R; ++r) inverses += 1 / tb.prop[i][r];
  for (int r = 0; r < tb.R; ++r) product *= tb.prop[i][r];
  return 1 / (inverses - 1 / product);
}

// A variance is a sum of terms that can cancel. A sum smaller than 1e-14
// of the terms' magnitudes, or than the accuracy of the fit that its terms
// carry, is zero within that accuracy (even its sign is noise) and is taken
// as 0, so that its standard error prints as 0 and not as NaN. So is a sum
// below the smallest normal double: with many raters a class parameter of
// 1e-310 leaves the terms of its variances no digits at all.
double Settled(double sum, double magnitude, double accuracy = 0) {
  const double size = std::fabs(sum);
  const bool zero = size <= 1e-14 * magnitude || size <= accuracy ||
                    size < std::numeric_limits<double>::min();
  return zero ? 0.0 : sum;
}

// (R - 1) H - 1 far below chance. Class t's chance probabilities are then
// pi_r = 1 - e_r with e_r = (u - d_r) / B of the order of 1e-5 or less
// (u = B - alpha_t), and with a_r = 1/pi_r - 1 = (u - d_r) / (alpha_t + d_r),
//
//     sum_r 1/pi_r - 1/prod_r pi_r = R - 1 - X,  X = prod_r (1 + a_r) - 1 - sum_r a_r,
//
// X of the second order in a: formed from the pi_r it would keep only
// eps / a^2 of its digits, and (R - 1) H - 1 = X / (R - 1 - X) + (R - 1)
// sum_{i != t} h_i cancels down to it. X is summed as sum_j a_j P_j with
// P_j = prod_{r<j} (1 + a_r) - 1 grown term by term, which has no such
// cancellation. h[t] is replaced by 1 / (R - 1 - X).
double FarDenominator(const ModelTables& tb, std::vector<double>& h) {
  const int t = tb.t;
  double X = 0.0, P = 0.0;
  for (int r = 0; r < tb.R; ++r) {
    const double a = (tb.gap_pos - tb.dmat[t][r]) / (tb.alp_pos + tb.dmat[t][r]);
    X += a * P;
    P += a * (1 + P);
  }
  const double R1 = tb.R - 1.0;
  h[t] = 1 / (R1 - X);
  double others = 0.0;
  for (int i = 0; i < tb.K; ++i)
    if (i != t) others += h[i];
  return X / (R1 - X) + R1 * others;
}

// HR1 = (R - 1) H - 1.
void GeneralVariances(ModelTables& tb, const std::vector<double>& h, double H, double HR1) {
  const double n = tb.N;
  const double O = tb.acglobal;
  const double R = tb.R;
  // O = 1 - B0 is as accurate as the search for B, which meets the B
  // equation to 1e-12 w, w = min(1, 100 D), and as D, a sum of K R
  // proportions rounded K R times.
  const double Y = H / HR1;
  const double accuracyO = 1e-12 * (100 * tb.D < 1 ? 100 * tb.D : 1) +
                           tb.K * R * std::numeric_limits<double>::epsilon() * tb.D;
  tb.var_suc = (1 - O) / n * Settled(Y + O, std::fabs(Y) + std::fabs(O), accuracyO);
  for (int i = 0; i < tb.K; ++i) {
    const double A = tb.acuerd[i];
    const double C = tb.consist[i];
    double sumD = 0.0, sumPi = 0.0, sumPi2 = 0.0;
    for (int r = 0; r < tb.R; ++r) sumD += tb.dmat[i][r];
    for (int r = 0; r < tb.R; ++r) sumPi += tb.prop[i][r];
    for (int r = 0; r < tb.R; ++r) sumPi2 += tb.prop[i][r] * tb.prop[i][r];

    const double T = (1 - O) * h[i] * ((R - 1) * h[i] / HR1 - 1);
    tb.var_alp[i] = Settled(A * (1 - A) + T, std::fabs(A * (1 - A)) + std::fabs(T)) / n;
    const double X = R * tb.success[i] / n + sumD;
    const double V = A * (1 - C) * (1 - (R - 1) * C / R);
    const double W = (sumPi * sumPi - sumPi2) * C * ((1 - O) * C) / (R * R);
    tb.var_cons[i] = Settled(T + W + V, std::fabs(T) + std::fabs(W) + std::fabs(V)) * (R * R) /
                     (n * X * X);
  }
}

// R = K = 2 with the dummy class 2: variances of the two real classes,
// rescaled by the share E of objects that rater 0 put in one of them. The
// overall variance is taken about the first fit's overall agreement.
// H1 = H - 1.
void TwoClassVariances(ModelTables& tb, const std::vector<double>& h, double H, double H1, double Osaved) {
  const double n = tb.N;
  const double B = tb.B0;
  const double E = tb.success[0] / n + tb.success[1] / n + tb.dmat[0][0] + tb.dmat[1][0];
  const double model = (H - h[2]) * B * (1 - h[2]) / H1;
  const double sampling = Osaved * E * (1 - Osaved);
  tb.var_suc = Settled(model + sampling, std::fabs(model) + std::fabs(sampling)) / (n * E * E);
  for (int i = 0; i < 2; ++i) {
    const double A = tb.acuerd[i];
    const double As = tb.acuerdaux[i];
    const double T = h[i] * B * (h[i] / H1 - 1);
    tb.var_alp[i] = Settled(A * E * (1 - A) + T, std::fabs(A * E * (1 - A)) + std::fabs(T)) / (n * E * E);
    const double G = 2 * tb.success[i] / n + tb.dmat[i][0] + tb.dmat[i][1];
    const double V =
        1 - 3 * As / G + 2 * (As * As + B * As * tb.prop[i][0] * tb.prop[i][1]) / (G * G);
    tb.var_cons[i] = 4 * Settled(As * V + T, std::fabs(As * V) + std::fabs(T)) / (n * G * G);
  }
}

}  // namespace

bool desviaciones(ModelTables& tb, int caso, double overall) {
  const bool refit = NeedsRefit(tb);
  if (refit) Refit(tb, caso);
  if (caso == 2)  // parametros leaves the dummy class out
    for (int r = 0; r < tb.R; ++r) tb.prop[2][r] = (tb.dmat[2][r] + tb.alp_neg[2]) / tb.B0;

  std::vector<double> h(tb.K);
  double H = 0;
  for (int i = 0; i < tb.K; ++i) {
    h[i] = HarmonicTerm(tb, i);
    H += h[i];
  }
  // (R - 1) H - 1, which is H - 1 for two raters.
  double HR1 = caso == 2 ? H - 1 : (tb.R - 1.0) * H - 1;
  if (tb.farBelow && tb.paso == RootBranch::kLargerForT) {
    HR1 = FarDenominator(tb, h);
    H = 0;
    for (int i = 0; i < tb.K; ++i) H += h[i];
  }
  if (caso == 2)
    TwoClassVariances(tb, h, H, HR1, overall);
  else
    GeneralVariances(tb, h, H, HR1);
  return refit;
}

}  // namespace zover
