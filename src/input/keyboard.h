#pragma once
// The dialogue's data entries, which take their data through the console:
// its two data files, opened by their bare names in the working folder, and
// the two keyboard entries. They fill the observed data of a pass, as the
// readers of input.h do.

#include "console/console.h"
#include "input/input.h"

namespace zover {

// Mode 1: "Zover_data.txt" in the working folder (ArchivoFrom reads it).
ReadOutcome Archivo(Console& con, ObservedData& tb);

// Mode 2: "Zover_data_freq.txt" in the working folder (ArchivoExtraFrom
// reads it).
ReadOutcome ArchivoExtra(Console& con, ObservedData& tb);

// The dimensions that the keyboard modes ask for first (Datos).
struct Dimensions {
  int K = 0;     // classes
  int R = 0;     // raters
  double n = 0;  // objects
};

// --- Mode 3: frequencies typed at the keyboard -----------------------------
// Sets K, R and Norg, then asks the frequency of each of the K^R response
// tuples, rater 0 slowest, then rater R-1, ..., rater 1 fastest, until they
// add up to n, and counts them into frec in the order they were asked.
void DatosEx(Console& con, const Dimensions& dims, ObservedData& tb);

// --- Mode 4: agreements and disagreements typed at the keyboard ------------
// Sets K, R and Norg, sizes the class tables and asks the agreements and
// disagreements (successaux, failaux, Fvect) until they fit n objects.
void Matrix(Console& con, const Dimensions& dims, ObservedData& tb);

}  // namespace zover
