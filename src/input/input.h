#pragma once
// Data input: the two data-file readers, the two keyboard entries, and the
// builders of the class tables and the object-by-class tables.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "console/console.h"
#include "input/text_fields.h"
#include "tables/tables.h"

namespace zover {

// What a data-file reader reports: ok, or why the file is refused, as a
// value (fault) and as the text the dialogue prints before it shows the
// data-entry menu again (message).
struct ReadOutcome {
  bool ok = true;
  ReadFault fault;
  std::string message;
};

// The data files of the dialogue, opened in the working folder.
inline const std::string kRawFileName = "Zover_data.txt";
inline const std::string kFreqFileName = "Zover_data_freq.txt";

// How the lines of a data file are laid out beyond the ratings, and what a
// rating is (the batch command's options; the dialogue's files have none).
struct FileLayout {
  bool header = false;  // the first line names the raters (tb.raterNames)
  bool id = false;      // the first field of every line labels the object (raw file)
  bool missing = false; // an empty field, NA or . is a missing rating (raw and long files)
  bool labels = false;  // every rating is a label (tb.classLabels)
  std::vector<std::string> classes;  // the labels of the classes, in their order (implies labels)
  bool zeroFractions = false;  // a class or frequency may be written 2.0, 2.00
};

// --- Mode 1: raw responses file "Zover_data.txt" ---------------------------
// Reads one object per line and one class per rater, counting the response
// tuples into frec as it reads (the objects are not kept), and sets
// maxclase, nraters, K, R, Norg and N. ArchivoFrom reads an open file and
// names it `name` in its messages.
ReadOutcome Archivo(Console& con, Tables& tb);
ReadOutcome ArchivoFrom(DataSource& file, Tables& tb, const std::string& name = kRawFileName,
                        const FileLayout& layout = {});

// --- Mode 2: frequencies file "Zover_data_freq.txt" ------------------------
// Reads one response tuple and its frequency per line into the tuple counts
// frec (a row of frequency 0 gives no tuple), and sets contextra, nraters,
// maxclase, K, R, Norg and N.
ReadOutcome ArchivoExtra(Console& con, Tables& tb);
ReadOutcome ArchivoExtraFrom(DataSource& file, Tables& tb, const std::string& name = kFreqFileName,
                             const FileLayout& layout = {});

// --- Long layout (batch command): object, rater, rating ---------------------
// One rating per line: the object's name, the rater's name, the rating.
// Objects and raters take the order in which they first appear, and the
// raters' names become tb.raterNames; a pair of object and rater that no
// line gives is a missing rating, and a pair given twice is refused with
// both lines. layout.header skips a first line of three names.
ReadOutcome ReadLongFile(DataSource& file, Tables& tb, const std::string& name, const FileLayout& layout = {});

// --- Mode 3: frequencies typed at the keyboard -----------------------------
// Asks the frequency of each of the K^R response tuples (indicexten order)
// until they add up to n.
void DatosEx(Console& con, Tables& tb);

// --- Mode 4: agreements and disagreements typed at the keyboard ------------
void Matrix(Console& con, Tables& tb);

// --- Model data from a file (batch command) --------------------------------
// K, R, n, then per class its agreements and the disagreements of every
// rater, checked as the keyboard model entry checks them: K and R whole from
// 2 to 1000, n whole from 2 to 10^9, every count a number not below 0, as
// many numbers as K and R need, and disagreements that add up to
// R * (n - the agreements) within 1e-12. Sizes the working tables and fills
// K, R, N, Norg, success(aux), fail(aux) and Fvect.
ReadOutcome ReadModelFile(DataSource& file, Tables& tb, const std::string& name);

// --- Response tuples ---------------------------------------------------------
// Every one of the K^R response tuples in increasing tuple number: row t
// holds the 0-based classes of raters 0 .. R-1, rater 0 the most significant
// base-K digit. Meant for small K^R (tests, checks): it holds K^R * R cells,
// and throws std::length_error when K^R is beyond 2^62. The analysis of a
// pass uses only the tuples that occur (frec), however large K^R is.
Grid<std::uint16_t> indicematrix(int K, int R);

// --- Class tables: frec, obj, clases, ac, success(aux), fail(aux) ----------
void TablaInicial(Tables& tb);       // mode 1
void TablaInicialExtra(Tables& tb);  // mode 2
void TablaInicialExten(Tables& tb);  // mode 3

// --- Object-by-class tables for Fleiss' kappa: datafleiss, RFleiss ---------
void TablaFleiss(Tables& tb);        // mode 1
void TablaFleissExtra(Tables& tb);   // mode 2
void TablaFleissExten(Tables& tb);   // mode 3

}  // namespace zover
