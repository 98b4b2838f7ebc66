#pragma once
// The kappa coefficients, each computed from the working tables. Printing is
// left to the printers of the pass's results.

#include "tables/results.h"
#include "tables/tables.h"

namespace zover {

// Hubert's kappa: agreement when all R raters give an object the same class,
// against the chance that R independent raters (each with their own class
// proportions t_indice) do so; Cohen's kappa for two raters. The standard
// error needs tuple frequencies, so model data (mode 4) give kappa alone.
// Writes factorE.
KappaEstimate coefficientKappa(Tables& tb);

// Fleiss' kappa with its large-sample standard error (modes 1 to 3). Leaves
// the sum of squared rater counts in sumaA for H2 and sets N back to Norg.
KappaEstimate coefficientFleiss(Tables& tb);

// Hubert's pairwise kappa H2 (modes 1 to 3, more than two raters). Reads the
// sumaA that coefficientFleiss left; sets N back to Norg.
double coefficientH2(Tables& tb);

}  // namespace zover
