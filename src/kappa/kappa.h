#pragma once
// The kappa coefficients. Each reads the observed data, which it never
// writes, and returns what it computes; Kappas computes those of a pass and
// keeps their tables. Printing is left to the printers of the pass's
// results.

#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// t_indice[i][r]: the proportion of the objects that rater r put in class
// i, successaux[i] / Norg + failaux[i][r] / Norg.
Grid<double> MarginalProportions(const ObservedData& tb);

// Hubert's kappa: agreement when all R raters give an object the same class,
// against the chance that R independent raters (each with their own class
// proportions t_indice) do so; Cohen's kappa for two raters. The standard
// error needs tuple frequencies, so model data (mode 4) give kappa alone;
// with it comes factorE, the products of t_indice over the other raters.
struct HubertKappa {
  KappaEstimate kappa;
  Grid<double> factorE;  // [class][rater]; empty without a standard error
};
HubertKappa coefficientKappa(const ObservedData& tb, const Grid<double>& t_indice);

// Fleiss' kappa with its large-sample standard error (modes 1 to 3), with
// the sums of squared rater counts that H2 needs.
struct FleissKappa {
  KappaEstimate kappa;
  std::vector<double> sumadoble;  // [class]: sum over objects of squared rater counts
  double sumaA = 0;               // sum of sumadoble
};
FleissKappa coefficientFleiss(const ObservedData& tb);

// Hubert's pairwise kappa H2 (modes 1 to 3, more than two raters), from the
// marginal proportions and the sumaA of Fleiss' kappa.
double coefficientH2(const ObservedData& tb, const Grid<double>& t_indice, double sumaA);

// The kappa coefficients of a pass: Hubert's kappa always; Fleiss' kappa
// for observed responses (not model data), and H2 beside it for more than
// two raters.
struct KappaResults {
  KappaEstimate hubert;
  bool hasFleiss = false;
  KappaEstimate fleiss;
  bool hasH2 = false;
  double h2 = 0;
};

// Computes them and keeps their tables in `tables`.
KappaResults Kappas(const ObservedData& data, KappaTables& tables);

}  // namespace zover
