#pragma once
// The kappa coefficients. Each computes its coefficient from the working
// tables and prints its own line.

#include <iosfwd>

#include "tables/tables.h"

namespace zover {

// Hubert's kappa: agreement when all R raters give an object the same class,
// against the chance that R independent raters (each with their own class
// proportions t_indice) do so. Labelled Cohen's kappa for two raters. The
// standard error needs tuple frequencies, so mode 4 prints kappa alone.
void coefficientKappa(Tables& tb, std::ostream& out);

// Fleiss' kappa with its large-sample standard error (modes 1 to 3). Leaves
// the sum of squared rater counts in sumaA for H2 and sets N back to Norg.
void coefficientFleiss(Tables& tb, std::ostream& out);

// Hubert's pairwise kappa H2 (modes 1 to 3, more than two raters). Reads the
// sumaA that coefficientFleiss left.
void coefficientH2(Tables& tb, std::ostream& out);

}  // namespace zover
