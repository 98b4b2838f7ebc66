#pragma once
// The Zover agreement model: its equations, the root finder that solves them,
// the fit of the class parameters and of B, the measures derived from a fit
// and their large-sample variances.
//
// Notation. R raters, K classes, n objects (tb.N). d_ir = tb.dmat[i][r] is
// the proportion of the objects that rater r put in class i while not all
// raters agreed; D = (1/R) sum_i sum_r d_ir. For one class,
//
//     g(alpha) = sum_r ln(d_ir + alpha) - ln(alpha),
//
// and the model asks for class parameters alpha_i and a common B with
//
//     prod_r (d_ir + alpha_i) = alpha_i * B^(R-1)   for every class, and
//     B = D + sum_i alpha_i.
//
// A class equation has a solution only when B is at least the class bound
// exp(g(alpha*) / (R-1)), alpha* the minimiser of g; above it there is one
// solution below alpha* and one above.
//
// Every sum runs in increasing class or rater order starting from 0.0 and
// every product starts from 1.0: the printed digits and the choice of report
// depend on exact comparisons, so the order of the operations is part of the
// model. The procedures print nothing, return no error and never throw;
// degenerate data show only as the special values of B (0, -1, -2), as zero
// class parameters, or as the infinities and NaNs that IEEE arithmetic gives.
//
// FitModel is the door: it takes the observed counts, which it only reads,
// works in its own tables (ModelTables, written by nothing else) and returns
// the results. The procedures below it are the steps it takes.

#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// --- The model of a pass (fit.cpp) -----------------------------------------

/// Fits the model to the observed agreements and disagreements of `data`
/// (K, R, Norg, successaux, failaux), in fresh tables `tb`, and returns
/// the first fit, the refit if any, the standard errors and the report:
///
///  1. Two raters and two classes are fitted on three classes, the third a
///     dummy class without agreements and disagreements, after adding 0.5
///     per response tuple (incremento); every other data set as it is.
///  2. Fit (Search1, Search2, Search3), then, for the dummy class, the
///     three-class measures (parametros 1: agreementesp, piesp, overallesp),
///     then the measures of the first fit (parametros with the case).
///  3. desviaciones, which refits on data increased by 0.5 when the first
///     fit is degenerate; the standard errors are the square roots of its
///     variances.
///  4. The report: the first variant whose condition holds, in this order:
///     two raters and two classes; B of the first fit within 1e-12 of 0, -1
///     or -2; a chance probability of the first fit exactly 0; otherwise the
///     regular report.
///
/// tb is left as the last step left it (the refit's tables, if any).
ModelResults FitModel(const ObservedData& data, ModelTables& tb);

/// Search1 (n = N), Search2 (Bt) and Search3 (t): the fit of the class
/// parameters and of B on the tables as they stand. Returns B (also B0).
double Fit(ModelTables& tb);

// --- Equations (equations.cpp) ---------------------------------------------

/// Derivative condition of the class function g, scaled:
/// \f[ \mathrm{Alpha}(x) = \sum_{r=0}^{R-1} \frac{x}{v_r + x} - 1, \f]
/// zero where g is smallest.
///
/// @param tb  reads R only
/// @param x   candidate class parameter, x > 0
/// @param v   R proportions of one class (v_r >= 0)
/// @return    the value above; x = 0 with some v_r = 0 gives NaN (0/0).
double Alpha(const ModelTables& tb, double x, const double* v);

/// Class equation:
/// \f[ \Big(\sum_{r} \ln(v_r + x) - \ln x\Big) - (R - 1)\ln B_v, \f]
/// zero where g(x) = (R-1) ln Bv. The logarithms are summed first, then
/// ln x and then (R - 1.0) ln Bv are subtracted.
///
/// @param tb  reads R only
/// @param x   candidate class parameter, x > 0 (x = 0 gives +Inf)
/// @param Bv  a value of B, Bv > 0 (Bv <= 0 gives Inf or NaN)
/// @param v   R proportions of one class
double Alpha_Neg(const ModelTables& tb, double x, double Bv, const double* v);

/// Equation for B: (D + S) - x, with S = sum_i a_i on the branch of the
/// smaller solutions, and otherwise the same sum with a_t replaced by
/// tb.alp_pos (class t takes the larger solution of its equation).
///
/// @param tb    reads D, K, t and alp_pos
/// @param x     a value of B
/// @param a     K class parameters
/// @param mode  RootBranch::kSmaller: smaller solutions everywhere; any
///              other value: the larger one for class t
double FuncionB(const ModelTables& tb, double x, const double* a, RootBranch mode);

// The equation that Biseccion solves for x.
enum class Equation {
  kAlpha = 1,     // Alpha(x, v) = 0: the minimiser of the class function g
  kAlphaNeg = 2,  // Alpha_Neg(x, Bv, v) = 0: a solution of the class equation for B = Bv
};

/// Root of F on the interval between a and b (either order), by bisection:
/// F is Alpha for Equation::kAlpha and Alpha_Neg with Bv for
/// Equation::kAlphaNeg (Bv is not read for kAlpha).
///
/// Bracket invariant: F(pos) >= 0 and F(neg) < 0 (an end where F is exactly
/// 0 may stand for either). When F(a) and F(b) already have this shape the
/// bisection starts from them; otherwise a sign change is searched by up to
/// 10000 halvings towards a, then up to 10000 halvings towards b. Without a
/// sign change the result is b. The bisection halves until
/// |pos - neg| < 1e-12 w (no cap) and returns the last midpoint evaluated;
/// an exact zero of F does not end it. The class scale w is 1, or 100 times
/// the mean of v where that is smaller, so that a small class has its
/// parameter to 1e-10 of its mean proportion.
///
/// Far below chance (tb.farBelow, set by Search3) the bisection runs until
/// its midpoint stops moving instead.
///
/// Every evaluation of F is counted in tb.counters.evaluations. A halving
/// search stops as soon as its midpoint no longer moves (every further
/// halving would repeat it), F at the fixed end is evaluated once, and a
/// class equation that is NaN everywhere (Bv < 0 or NaN) returns b at once:
/// the result is the same bit for bit as after all the halvings.
double Biseccion(ModelTables& tb, double a, double b, const double* v, Equation type, double Bv);

/// The smaller solution of the class equation for B = Bv, bracketed by lo
/// (the product of v divided by Bv^(R-1)) and the class minimiser alpha:
/// Biseccion(lo, alpha, v, Equation::kAlphaNeg, Bv), except when Alpha_Neg is negative at both
/// ends, where the result is lo. In exact arithmetic Alpha_Neg(lo) =
/// sum_r ln(1 + lo/v_r) > 0, but with many raters that value lies below the
/// rounding error of the sum of logarithms; the root then lies within
/// rounding of lo, while Biseccion would return alpha, the minimiser.
/// A bisection result far below the minimiser (alpha sum_r 1/v_r < 0.1) is
/// refined in product form, alpha = lo prod_r (1 + alpha / v_r), to its
/// last digits.
///
/// With the class's fixed quantities (facts, taken at this alpha) the same
/// result comes with fewer evaluations: F at alpha and at 0 from them, and
/// the bisection's midpoints where a bound proves F negative unevaluated.
double SmallerRoot(ModelTables& tb, double lo, double alpha, const double* v, double Bv,
                   const ClassFacts* facts = nullptr);

/// The fixed quantities of the class with proportions v and minimiser alpha.
ClassFacts FactsOf(const ModelTables& tb, const double* v, double alpha);

/// The larger solution of the class equation for B = Bv far above the
/// class's proportions, as its distance u = Bv - x from Bv: the root of the
/// equation in terms of u between m (the smallest proportion, capped at 100)
/// and Bv - alpha (alpha the class minimiser), by bisection to the last
/// digit of u. NaN when the equation does not change sign between them.
double LargerRootGap(ModelTables& tb, double m, double alpha, const double* v, double Bv);

// --- Estimation (search.cpp) -----------------------------------------------

/// Proportions, class minimisers and the largest class bound.
/// Writes dmat = fail / x, N0 (1 for a class with an exact zero proportion,
/// whose alp is then 0), D, alp, Bt (0 when every class is flagged) and t
/// (the class with the largest bound, ties to the lowest index; unchanged
/// when every class is flagged).
/// @param x  the number of objects n
void Search1(ModelTables& tb, double x);

/// Solves every class equation for B = Bv: alp_neg[i] is the smaller
/// solution (0 for a flagged class, SmallerRoot otherwise), alp_pos the
/// larger one of class t. At Bv within 1e-12 of Bt, class t, and every
/// class whose bound is within 1e-12 of Bt, has its double root alp[i].
/// A class without a solution gets the fallback end of Biseccion: alp[i],
/// and Bv - min(d_t., 100) for alp_pos. A lower end prod_r d_ir / Bv^(R-1)
/// that is not a finite number (both underflow), or whose product lies
/// below the smallest normal double, is taken from logarithms.
void Search2(ModelTables& tb, double Bv);

/// Searches B with B = D + sum_i alpha_i by bisection, calling Search2 for
/// each trial; at most 1001 trials, each counted in tb.counters.bTrials.
/// Needs Search2(Bt) to have run just before.
///
/// @param cl  the class t found by Search1 (rater sums use row cl)
/// The start is judged on G, the B equation (smaller solutions) at Bt,
/// relative to Bt, since the model is homogeneous in the proportions.
///
/// @return    B, also stored in B and B0. Special outcomes, exact values:
///            0 when D is within 1e-12 of 0 (no disagreements);
///            -2 when |G / Bt| < 1e-6 and sum_r d_cl,r is within 1e-12 of
///               D (infinitely many solutions);
///            -1 when G is negative (or NaN) and the same sums match (the
///               agreement of class t tends to minus infinity).
///            Otherwise |G| < 1e-12 gives B = Bt on the branch kLargerForT
///            and no search; G > 0 a search above Bt with the smaller
///            solutions (kSmaller); G < 0 a search above Bt with the larger
///            solution for class t (kLargerForT), whose upper end is
///            doubled until the B equation changes sign there. The search
///            ends at |f| < 1e-12 w, w = min(1, 100 D). A search that ends
///            within 1e-12 of Bt, or of Bt + 1e-12, takes the classes at
///            their double root from the B equation. The search also stops
///            once a trial leaves the interval unchanged, with the result
///            that the remaining trials would repeat. A fit on the branch
///            kLargerForT whose B equation is flat (slope below 1e-4 w,
///            probed at B (1 + 1e-3)) lies far below chance (or, with B
///            below 1, as badly conditioned): the search runs again with
///            tb.farBelow set, class t solved for B - alpha_t, and ends once
///            its interval is below 1e-13 B. A flat fit leaves in tb.spread
///            how far B may lie from the root: its input-rounding spread
///            (the far form), or what the tolerances allow (kSmaller); 0
///            for every other fit.
double Search3(ModelTables& tb, int cl);

// --- Measures (measures.cpp) -----------------------------------------------

/// Agreements, consistencies, chance probabilities and overall agreement of
/// the fit in B0, alp_neg, alp_pos and paso.
///
/// B0 exactly -1: agreement s_i/n, chance probabilities 0, acglobal kept.
/// caso 2 (R = K = 2 fitted with a dummy third class): measures of classes
/// 0 and 1 only, rescaled to the objects of the two real classes.
/// Otherwise: alp_neg[t] = alp_pos when paso is kLargerForT; acglobal = 1 - B0;
/// prop = (d_ir + alpha_i) / B0 (0 when B0 is within 1e-12 of 0);
/// acuerd = s_i/n - alpha_i; consist = R A_i / ((1 - acglobal) S_i + R A_i).
void parametros(ModelTables& tb, int caso);

// --- Standard errors (std_errors.cpp) --------------------------------------

/// Adds 0.5 to every one of the K^R response tuples, in aggregate form:
/// N += K^R / 2, success[i] += 0.5, fail[i][r] += (K^(R-1) - 1) / 2.
void incremento(ModelTables& tb);

/// Variances var_suc, var_alp, var_cons of the fit left by parametros(caso).
/// When the fit has an exact zero proportion or B0 within 1e-12 of -1 or -2,
/// the data are first increased (incremento) and the model refitted; the
/// variances and the measures then belong to the refit. With two raters a
/// class whose pi_i0 + pi_i1 - 1 is below 0.01 in size takes it from the B
/// equation; a variance that is zero within rounding or within the accuracy
/// of the fit is 0 (its standard error prints 0, not NaN).
/// caso 2 (K = 3 with the dummy class) also writes prop[2][.], and takes the
/// variance of the overall agreement about `overall`, the overall agreement
/// of the first fit (not the refit's). Returns whether it refitted.
bool desviaciones(ModelTables& tb, int caso, double overall);

}  // namespace zover
