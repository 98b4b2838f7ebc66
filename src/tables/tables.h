#pragma once
// The working tables of one pass of the program: every table and scalar that
// passes between the data entry, the model, the kappa coefficients and the
// report, under its own name. A pass starts from a fresh, empty Tables; the
// data entry sets the dimensions and SizeWorkingTables() then sizes every
// table to them, so nothing of an earlier pass can ever be read.
//
// Classes are 0 .. K-1 here (1 .. K in files, dialogue and reports), raters
// 0 .. R-1. The per-class tables hold at least three rows, because a data set
// of two raters and two classes is estimated with a dummy third class.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tables/grid.h"
#include "tables/tuple_counts.h"

namespace zover {

// How the observed data of a pass were entered: the data-entry mode.
enum class EntryMode {
  kRawFile = 1,              // "Zover_data.txt": the classes of every object
  kFrequencyFile = 2,        // "Zover_data_freq.txt": response tuples with their frequencies
  kKeyboardFrequencies = 3,  // the frequency of every response tuple, typed
  kKeyboardModel = 4,        // the agreements and disagreements, typed
};

// The branch of the equation for B that a fit searches (paso): every class
// at the smaller solution of its class equation, or class t at its larger
// one and the others at their smaller ones.
enum class RootBranch {
  kNone = 0,        // no search has set it yet
  kLargerForT = 1,  // class t takes its larger solution (alp_pos)
  kSmaller = 2,     // every class takes its smaller solution
};

// Work counters of the model searches (benchmarks and equivalence tests).
struct SearchCounters {
  long long bTrials = 0;      // trial values of B evaluated by Search3
  long long evaluations = 0;  // evaluations of Alpha / Alpha_Neg in Biseccion
};

struct Tables {
  // --- Dimensions and switches -------------------------------------------
  int K = 0;            // classes (3 while an R = K = 2 data set is estimated)
  int R = 0;            // raters
  double N = 0;         // objects as the model uses them (raised by incremento)
  double Norg = 0;      // objects as entered or read; never increased
  int maxclase = 0;     // largest class read from a data file
  int nraters = 0;      // raters counted on the first line of a data file
  int contextra = 0;    // rows of the frequencies file
  EntryMode entrada = EntryMode::kRawFile;  // data-entry mode of the pass
  int KR = 1;           // 2 when R = K = 2 (dummy third class), else 1
  std::vector<std::string> raterNames;  // from a header line of a data file, if any
  // Missing ratings (batch --missing): `data` holds the objects that every
  // rater rated (Norg of them); the others are kept as rating patterns, the
  // count of each class among their ratings (0-based classes, increasing),
  // with the number of objects that share the pattern.
  std::map<std::vector<std::pair<int, int>>, double> incomplete;
  double missingRatings = 0;

  // --- Observed data -------------------------------------------------------
  // Modes 1 to 3: the response tuples that occur, counted by the file reader
  // as it reads (the objects themselves are not kept) or by the keyboard
  // entry of frequencies. The file modes list them in increasing tuple number
  // (the tuple number written in base K, rater 0 the most significant
  // digit), the keyboard in the order it asked for them. Tuple u has the
  // class numbers 1..K frec.Values(u, scratch), frec.count(u) objects and its
  // unanimous mark frec.unanimous(u). Tuples that do not occur are left out.
  TupleCounts frec;
  Grid<int> clases;               // [class][rater]: objects the rater put in the class
  std::vector<int> ac;            // [class]: objects all raters put in the class

  // --- Model input: agreements and disagreements --------------------------
  std::vector<double> success;    // s_i, increased by 0.5 by incremento
  std::vector<double> successaux; // s_i as entered
  Grid<double> fail;              // f_ir, increased by incremento
  Grid<double> failaux;           // f_ir as entered
  std::vector<double> Fvect;      // mode 4: sum over raters of f_ir typed

  // --- Kappa tables --------------------------------------------------------
  Grid<int> datafleiss;           // [class][q]: objects given the class by q+1 raters
  Grid<double> t_indice;          // [class][rater]: marginal proportions
  Grid<double> factorE;           // [class][rater]: product of t_indice over the other raters
  std::vector<double> sumadoble;  // [class]: sum over rows of squared rater counts
  double sumaA = 0;               // sum of sumadoble

  // --- Model state ---------------------------------------------------------
  Grid<double> dmat;              // d_ir = f_ir / n
  std::vector<int> N0;            // 1 when some d_ir of the class is exactly 0
  double D = 0;                   // sum of all d_ir divided by R
  std::vector<double> alp;        // minimiser of the class function
  double Bt = 0;                  // largest class bound
  int t = 0;                      // class with the largest bound
  std::vector<double> alp_neg;    // class parameters for the current B
  double alp_pos = 0;             // larger solution for class t
  double B = 0;                   // current trial value of B
  double B0 = 0;                  // final B; exactly 0, -1 or -2 mark special outcomes
  RootBranch paso = RootBranch::kNone;  // the branch of the equation for B

  // --- Model measures, report copies and variances ------------------------
  Grid<double> prop;              // pi_ir: chance probability of response i by rater r
  std::vector<double> acuerd;     // agreement of the class
  std::vector<double> acuerdaux;  // R = K = 2: unscaled agreement s_i/n - alpha_i
  std::vector<double> consist;    // consistency of the class
  double acglobal = 0;            // overall degree of agreement
  std::vector<double> agreement;  // report copies of acuerd, consist, acglobal, prop
  std::vector<double> consistency;
  double overall = 0;
  Grid<double> pi;
  std::vector<double> agreementesp;  // R = K = 2: three-class results
  double overallesp = 0;
  Grid<double> piesp;
  std::vector<double> var_cons;
  std::vector<double> var_alp;
  double var_suc = 0;

  // --- Search instrumentation ---------------------------------------------
  SearchCounters counters;
  // Test-only switch: run the searches of the model with their literal loop
  // bounds (every halving and every B trial up to the caps) instead of
  // stopping once further steps cannot change the result.
  bool literalLoops = false;
};

// Number of classes the per-class tables hold: K, and at least 3.
int ClassRows(const Tables& tb);

// Sizes every class and rater table to the pass's K and R (all cells zero).
// The tuple counts (frec) are made by the data entry that fills them.
void SizeWorkingTables(Tables& tb);

}  // namespace zover
