#pragma once
// The working tables of one pass of the program, under the names the model
// and the coefficients give them, in three records, each written by one
// layer alone:
//
//   ObservedData  (tb.data)   the data entry (src/input): what the files or
//                             the keyboard gave, and the tables built from it;
//   ModelTables   (tb.model)  the model (src/model): its working copies of
//                             the agreements, its search state, its measures
//                             and their variances;
//   KappaTables   (tb.kappa)  the kappa coefficients (src/kappa).
//
// The model and the kappas read the observed data and never write them. A
// pass starts from fresh, empty tables, and each writer sizes its own tables
// to the pass's K and R, so nothing of an earlier pass can ever be read.
//
// Classes are 0 .. K-1 here (1 .. K in files, dialogue and reports), raters
// 0 .. R-1.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tables/entry_mode.h"
#include "tables/grid.h"
#include "tables/rated_objects.h"
#include "tables/tuple_counts.h"

namespace zover {

// The branch of the equation for B that a fit searches (paso): every class
// at the smaller solution of its class equation, or class t at its larger
// one and the others at their smaller ones.
enum class RootBranch {
  kNone = 0,        // no search has set it yet
  kLargerForT = 1,  // class t takes its larger solution (alp_pos)
  kSmaller = 2,     // every class takes its smaller solution
};

// Work counters of the model searches (benchmarks and tests).
struct SearchCounters {
  long long bTrials = 0;      // trial values of B evaluated by Search3
  long long evaluations = 0;  // evaluations of Alpha / Alpha_Neg in Biseccion
};

// Quantities of one class that stay fixed through a fit (set by Search1 for
// the class minimiser alpha, read by Search2 for every trial B).
struct ClassFacts {
  double alpha = 0;     // the minimiser they were taken at
  bool nan = false;     // some proportion is not a number
  bool positive = false;  // every proportion finite and above 0
  double product = 1;   // prod_r v_r, from 1.0 in rater order
  double logSum = 0;    // sum_r ln v_r, in rater order
  double absLogs = 0;   // sum_r |ln v_r|
  double inverses = 0;  // sum_r 1 / v_r
  double gAlpha = 0;    // sum_r ln(v_r + alpha) - ln alpha, as Alpha_Neg forms it
};

// --- The observed data: written by the data entry ---------------------------
struct ObservedData {
  EntryMode entrada = EntryMode::kRawFile;  // how the data were entered
  int K = 0;            // classes
  int R = 0;            // raters
  double Norg = 0;      // objects as entered or read
  int maxclase = 0;     // largest class read from a data file
  int nraters = 0;      // raters counted on the first line of a data file
  int contextra = 0;    // rows of the frequencies file
  std::vector<std::string> raterNames;  // from a header line of a data file, if any
  // Classes given by labels (batch --labels, --classes): the label of each
  // class, and their values when every label is a number; empty otherwise.
  std::vector<std::string> classLabels;
  std::vector<double> classValues;
  // Missing ratings (batch --missing): frec holds the objects that every
  // rater rated (Norg of them); the others are kept as rating patterns, the
  // count of each class among their ratings (0-based classes, increasing),
  // with the number of objects that share the pattern.
  std::map<std::vector<std::pair<int, int>>, double> incomplete;
  // The same objects with their raters: their response tuples, 0 for a
  // missing rating and class numbers 1 .. K as in frec, in increasing tuple
  // number (the coefficients of rater pairs need to know who rated what).
  TupleCounts incompleteTuples;
  double missingRatings = 0;
  // What the batch command's reader says beside the data: how it read a
  // first column of row names that no option named (R's row names, pandas'
  // index; "" otherwise), and warnings about what the data may not mean as
  // read, each a sentence without its final period.
  std::string rowNames;
  std::vector<std::string> warnings;
  // Each object's name and ratings, when a reader was asked to keep them.
  RatedObjects objects;

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
  Grid<int> datafleiss;           // [class][q]: objects given the class by q+1 raters

  // The model's input as built or typed: the agreements s_i (objects all
  // raters put in class i) and the disagreements f_ir (objects rater r put
  // in class i while not all raters agreed).
  std::vector<double> successaux;  // [class]
  Grid<double> failaux;            // [class][rater]
  std::vector<double> Fvect;       // mode 4: sum over raters of f_ir typed
};

// --- The model's working tables: written by the model -----------------------
struct ModelTables {
  ModelTables() = default;
  // Tables for K classes and R raters, every cell zero, with at least three
  // class rows: two raters and two classes are fitted with a dummy third
  // class.
  ModelTables(int K, int R);

  int K = 0;      // classes of the fit (3 with the dummy class)
  int R = 0;      // raters
  double N = 0;   // objects as the model uses them (raised by incremento)

  // The model's copies of the agreements and disagreements.
  std::vector<double> success;    // s_i, increased by 0.5 by incremento
  Grid<double> fail;              // f_ir, increased by incremento

  // Search state.
  Grid<double> dmat;              // d_ir = f_ir / n
  std::vector<int> N0;            // 1 when some d_ir of the class is exactly 0
  double D = 0;                   // sum of all d_ir divided by R
  std::vector<double> alp;        // minimiser of the class function
  double Bt = 0;                  // largest class bound
  int t = 0;                      // class with the largest bound
  std::vector<double> alp_neg;    // class parameters for the current B
  double alp_pos = 0;             // larger solution for class t
  std::vector<ClassFacts> facts;  // [class], for the minimisers in alp
  double gap_pos = 0;             // Bv - alp_pos, solved for directly when farBelow
  bool farBelow = false;          // the fit lies far below chance (flat B equation)
  double spread = 0;              // of a fit far below chance: B's input-rounding spread (Search3)
  double B = 0;                   // current trial value of B
  double B0 = 0;                  // final B; exactly 0, -1 or -2 mark special outcomes
  RootBranch paso = RootBranch::kNone;  // the branch of the equation for B

  // Measures of the fit and their variances.
  Grid<double> prop;              // pi_ir: chance probability of response i by rater r
  std::vector<double> acuerd;     // agreement of the class
  std::vector<double> acuerdaux;  // R = K = 2: unscaled agreement s_i/n - alpha_i
  std::vector<double> consist;    // consistency of the class
  double acglobal = 0;            // overall degree of agreement
  std::vector<double> var_cons;   // variance of the consistency of the class
  std::vector<double> var_alp;    // variance of the agreement of the class
  double var_suc = 0;             // variance of the overall degree of agreement

  SearchCounters counters;
};

// --- The kappa coefficients' tables: written by the kappa coefficients ------
struct KappaTables {
  Grid<double> t_indice;          // [class][rater]: marginal proportions
  Grid<double> factorE;           // [class][rater]: product of t_indice over the other raters
  std::vector<double> sumadoble;  // [class]: sum over rows of squared rater counts
  double sumaA = 0;               // sum of sumadoble
};

struct Tables {
  ObservedData data;
  ModelTables model;
  KappaTables kappa;
};

}  // namespace zover
