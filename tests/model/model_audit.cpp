// The printed digits of fits far below chance against the 50-digit
// reference, with the stability the model reports for each.
//
//     zover_model_audit [first seed] [sets]
//
// (defaults 0, 1000). The data lie next to the minus-infinity outcome, where
// B is large and the B equation flat: most objects unanimous in one class t,
// and of the others all but a small share eps have every rater but one in
// class t. Each value the report prints (the first fit's overall degree and,
// per class, consistency, agreement and chance probabilities; the standard
// errors; the refit's measures when there is one) is formatted to 4
// decimals as the report does and compared with the reference's. Prints a
// line for every data set that prints a wrong digit or is unstable, then the
// totals; exits 1 when a fit the model calls stable prints a wrong digit.
// AUDIT_VERBOSE=1 prints every wrong value, AUDIT_ERRORS=1 the spread and the
// largest error of every flat fit, AUDIT_DUMP=FILE writes the (last) data
// set as a model file.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "model/cross_check.h"

namespace {

using namespace zover;
using namespace zover::testing;

ModelTables FarData(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto uniform = [&rng] { return static_cast<double>(rng() >> 11) * 0x1.0p-53; };
  auto pick = [&rng](int k) { return static_cast<int>(rng() % static_cast<std::uint64_t>(k)); };
  const int K = 2 + pick(uniform() < 0.8 ? 6 : 20);
  const int R = 2 + pick(uniform() < 0.8 ? 6 : 30);
  const int t = pick(K);
  const double unanimous = std::floor(std::pow(10, 3 + 6 * uniform()));
  const double apart = std::floor(unanimous * std::pow(10, -0.5 - 2.5 * uniform()));
  const double eps = std::pow(10, -1 - 7 * uniform());
  std::vector<double> success(K, 0.0);
  std::vector<std::vector<double>> fail(K, std::vector<double>(R, 0.0));
  success[t] = unanimous;
  for (int i = 0; i < K; ++i)
    if (i != t && uniform() < 0.5) success[i] = std::floor(apart * 0.1 * uniform());
  // The objects of one dissenter: rater r gives class c, the others t.
  const double others = std::floor(apart * eps);
  const double single = apart - others;
  std::vector<double> w(static_cast<std::size_t>(R * (K - 1)));
  double sum = 0;
  for (double& x : w) sum += x = std::exp(-4 * uniform());
  double given = 0;
  for (std::size_t j = 0; j < w.size(); ++j) {
    const double m = j + 1 == w.size() ? single - given : std::floor(single * w[j] / sum);
    given += m;
    const int r = static_cast<int>(j) / (K - 1), c0 = static_cast<int>(j) % (K - 1), c = c0 < t ? c0 : c0 + 1;
    fail[c][r] += m;
    for (int q = 0; q < R; ++q)
      if (q != r) fail[t][q] += m;
  }
  // The other disagreeing objects, in a few groups: each rater gives t or a
  // random other class, at least two not t.
  double left = others;
  while (left > 0) {
    const double m = std::max(1.0, std::floor(left * uniform()));
    std::vector<int> tuple(R, t);
    const int r1 = pick(R), r2 = (r1 + 1 + pick(R - 1)) % R;
    for (int q = 0; q < R; ++q) {
      if (q == r1 || q == r2 || uniform() < 0.2) tuple[q] = (t + 1 + pick(K - 1)) % K;
    }
    bool same = true;
    for (int c : tuple) same = same && c == tuple[0];
    if (same) tuple[r1] = t;
    for (int q = 0; q < R; ++q) fail[tuple[q]][q] += std::min(m, left);
    left -= std::min(m, left);
  }
  double n = 0;
  for (int i = 0; i < K; ++i) n += success[i];
  n += apart;
  return MakeModelTables(K, R, n, success, fail);
}

struct Printed {
  std::string what;
  double got;
  Real want;
};

// How far a printed value is off, in units of the 4th decimal, when its
// text differs from the reference's (0 when they agree, or differ only
// because the reference lies within 1e-9 of a rounding boundary).
double UnitsOff(const Printed& p) {
  char a[64], b[64];
  const double want = static_cast<double>(p.want);
  std::snprintf(a, sizeof a, "%.4f", p.got);
  std::snprintf(b, sizeof b, "%.4f", want);
  if (std::string(a) == b) return 0;
  if (std::isnan(p.got) && std::isnan(want)) return 0;
  if (std::getenv("AUDIT_VERBOSE")) std::printf("  %s: %.17g, reference %.17g\n", p.what.c_str(), p.got, want);
  if (std::isnan(p.got) || std::isnan(want)) return 1e9;
  if (std::fabs(p.got - want) <= 1e-9 * std::fmax(1, std::fabs(want))) return 0;
  return std::fabs(std::round(p.got * 1e4) - std::round(want * 1e4));
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t first = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 0;
  const std::uint64_t sets = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000;
  int far = 0, unstable = 0, wrongUnstable = 0, wrongStable = 0, unsolved = 0;
  double largestStableSpread = 0;
  for (std::uint64_t seed = first; seed < first + sets; ++seed) {
    const ModelTables data = FarData(seed);
    if (const char* dump = std::getenv("AUDIT_DUMP")) {  // the data as a model file
      if (FILE* out = std::fopen(dump, "w")) {
        std::fprintf(out, "%d %d %.0f\n", data.K, data.R, data.N);
        for (int i = 0; i < data.K; ++i) {
          std::fprintf(out, "%.0f", data.success[i]);
          for (int r = 0; r < data.R; ++r) std::fprintf(out, " %.0f", data.fail[i][r]);
          std::fprintf(out, "\n");
        }
        std::fclose(out);
      }
    }
    ModelTables scratch;
    const ModelResults res = FitModel(CountsOf(data), scratch);
    // The reference of every fit, as the cross-check takes it.
    ModelTables tb = data;
    const int caso = tb.R == 2 && tb.K == 2 ? 2 : 1;
    if (caso == 2) {
      tb.K = 3;
      incremento(tb);
    }
    Fit(tb);
    const bool farBelow = tb.farBelow;
    if (tb.B0 == 0 || tb.B0 == -1.0 || tb.B0 == -2.0) continue;
    Reference ref = SolveReference(tb);
    if (!ref.solved) {
      ++unsolved;
      continue;
    }
    far += farBelow;
    std::vector<Printed> printed;
    parametros(tb, caso);
    ReferenceMeasures(ref, tb, caso);
    const ModelFit& f = res.first;
    printed.push_back({"overall", f.overall, ref.acglobal});
    const int classes = caso == 2 ? 2 : tb.K;
    for (int i = 0; i < classes; ++i) {
      printed.push_back({"agreement " + std::to_string(i), f.agreement[i], ref.acuerd[i]});
      printed.push_back({"consistency " + std::to_string(i), f.consistency[i], ref.consist[i]});
      for (int r = 0; r < tb.R && caso != 2; ++r)
        printed.push_back({"chance " + std::to_string(i), f.pi[i][r], ref.prop[i][r]});
    }
    Reference latest = ref;
    ModelTables last = tb;
    if (res.refit) {
      incremento(last);
      Fit(last);
      latest = SolveReference(last);
      if (!latest.solved) {
        ++unsolved;
        continue;
      }
      parametros(last, caso);
      ReferenceMeasures(latest, last, caso);
      printed.push_back({"refit overall (sum)", res.refit->overallSum, latest.acglobal});
    }
    ReferenceVariances(latest, last, caso, caso == 2 ? ref.acglobal : Real(f.overall));
    // A variance below 0 only by rounding (the program's 0) prints as 0.
    const auto root = [](const Real& variance) { return variance < 0 ? Real(0) : Real(sqrt(variance)); };
    printed.push_back({"overall SE", res.overallSe, root(latest.var_suc)});
    for (int i = 0; i < classes; ++i) {
      printed.push_back({"agreement SE " + std::to_string(i), res.agreementSe[i], root(latest.var_alp[i])});
      printed.push_back({"consistency SE " + std::to_string(i), res.consistencySe[i], root(latest.var_cons[i])});
    }
    if (std::getenv("AUDIT_ERRORS") && res.spread > 0) {
      // The spread and the largest error of a printed value, and of B.
      double error = 0;
      for (const Printed& p : printed) {
        const double want = static_cast<double>(p.want);
        if (std::isfinite(want) && std::isfinite(p.got)) error = std::fmax(error, std::fabs(p.got - want));
      }
      std::printf("ERR %.6g %.6g %.6g %.6g\n", res.spread, error, std::fabs(f.B - static_cast<double>(ref.B)),
                  f.B);
    }
    double worst = 0;
    std::string worstWhat;
    for (const Printed& p : printed) {
      const double off = UnitsOff(p);
      if (off > worst) {
        worst = off;
        worstWhat = p.what;
      }
    }
    unstable += !res.stable;
    if (res.stable && res.spread > largestStableSpread) largestStableSpread = res.spread;
    if (worst > 0 && res.stable) ++wrongStable;
    if (worst > 0 && !res.stable) ++wrongUnstable;
    if (worst > 0 || !res.stable) {
      std::printf("seed %llu (K=%d R=%d n=%.0f) B %.10g spread %.3g %s: %s%s\n",
                  static_cast<unsigned long long>(seed), data.K, data.R, data.N, f.B, res.spread,
                  res.stable ? "stable" : "unstable",
                  worst > 0 ? ("wrong by " + std::to_string(static_cast<long long>(worst)) + " in " + worstWhat)
                                  .c_str()
                            : "every digit right",
                  worst > 0 && res.stable ? "  <-- STABLE AND WRONG" : "");
    }
  }
  std::printf("%llu data sets: %d fits far below chance, %d unstable (%d of them print a wrong digit), "
              "%d stable that print a wrong digit, %d without a reference; largest stable spread %.3g\n",
              static_cast<unsigned long long>(sets), far, unstable, wrongUnstable, wrongStable, unsolved,
              largestStableSpread);
  return wrongStable == 0 ? 0 : 1;
}
