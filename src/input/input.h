#pragma once
// Data input: the data-file readers (the dialogue's two files, the long
// layout and model data), and the builders of the class tables and the
// object-by-class table. They fill the observed data of a pass
// (ObservedData), which nothing else writes; each sets entrada to its mode.
// The dialogue's entries that ask at the console are in keyboard.h.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <thread>
#include <vector>

#include "console/data_source.h"
#include "input/text_fields.h"
#include "tables/tables.h"

namespace zover {

// Whether a reader's `threads` (0: one per core) allow it a side thread; a
// single core gains nothing.
inline bool SideThreadAllowed(int threads) {
  return threads > 1 || (threads == 0 && std::thread::hardware_concurrency() > 1);
}
// The tuples or ratings from which on a reader's side thread pays for its
// start.
inline constexpr std::size_t kSideThreadWork = std::size_t{1} << 16;

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
//
// With any separator but kDialogue the file is read by the rules of CSV (see
// text_fields.h), and the slips that would give a wrong analysis are caught:
// a first line that looks like a header while none is named (refused, unless
// noHeader), an unquoted NA or . while missing ratings are not read
// (refused), text labels of ordered classes without their order (refused),
// a long file with more raters than objects and a first column of ratings
// with a different value on every line (warnings). With a header
// whose first cell is empty, or that is one field shorter than the lines
// below it, the first column names the objects, as R and pandas write their
// row names.
struct FileLayout {
  bool header = false;  // the first line names the raters (tb.raterNames)
  bool id = false;      // the first field of every line labels the object (raw file)
  bool missing = false; // an empty field, NA or . is a missing rating (raw and long files)
  bool labels = false;  // every rating is a label (tb.classLabels)
  std::vector<std::string> classes;  // the labels of the classes, in their order (implies labels)
  bool zeroFractions = false;  // a class or frequency may be written 2.0, 2.00
  Separator separator = Separator::kDialogue;
  bool noHeader = false;  // the first line is data, whatever it looks like
  // The columns to read, each by its name in the header or its number from
  // 1: the raters' columns of a raw file, or the object's, the rater's and
  // the rating's of a long file; empty: every column (raw) or the three
  // there are (long).
  std::vector<std::string> columns;
  bool ordered = false;  // the classes are ordered: text labels need their order in `classes`

  bool keepObjects = false;  // keep every object's name and ratings (tb.objects; raw and long files)
  int threads = 0;  // the threads a reader may use (0: one per core)
  // The column that names each line's group, by its name in the header or
  // its number from 1 (raw, frequencies and long files, given a FileGroups
  // to fill); empty: no groups.
  std::string group;
  // A shard of a larger frequencies file: a file without data lines holds
  // nothing, and the checks of the whole (at least 2 objects, a group's 2
  // objects, 2 classes) wait for the sum.
  bool part = false;

  bool csv() const { return separator != Separator::kDialogue; }
};

// The groups of a file read with a group column (FileLayout::group): each
// group's name and its observed data, in the order the groups first appear.
// The groups share the classes of the whole file (the scale), so that a
// class means the same in each; a raw or frequencies file's groups share its
// raters (the columns), while a long file's group has the raters that rated
// in it, in the order they first appear there. An object belongs to one
// group: a long file that rates one object in two groups is refused. The
// file's warnings stay with the whole file (the tb of the reader).
struct FileGroups {
  std::vector<std::string> names;
  std::vector<ObservedData> data;
};

// --- Mode 1: raw responses file "Zover_data.txt" ---------------------------
// Reads one object per line and one class per rater, counting the response
// tuples into frec as it reads (the objects are not kept), and sets
// maxclase, nraters, K, R and Norg. ArchivoFrom reads an open file and
// names it `name` in its messages (the dialogue's Archivo, in keyboard.h,
// opens the file in the working folder).
ReadOutcome ArchivoFrom(DataSource& file, ObservedData& tb, const std::string& name = kRawFileName,
                        const FileLayout& layout = {}, FileGroups* groups = nullptr);

// --- Mode 2: frequencies file "Zover_data_freq.txt" ------------------------
// Reads one response tuple and its frequency per line into the tuple counts
// frec (a row of frequency 0 gives no tuple), and sets contextra, nraters,
// maxclase, K, R and Norg.
ReadOutcome ArchivoExtraFrom(DataSource& file, ObservedData& tb, const std::string& name = kFreqFileName,
                             const FileLayout& layout = {}, FileGroups* groups = nullptr);

// --- Long layout (batch command): object, rater, rating ---------------------
// One rating per line: the object's name, the rater's name, the rating.
// Objects and raters take the order in which they first appear, and the
// raters' names become tb.raterNames; a pair of object and rater that no
// line gives is a missing rating, and a pair given twice is refused with
// both lines. layout.header skips a first line of three names.
ReadOutcome ReadLongFile(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout = {},
                         FileGroups* groups = nullptr);
// --- Model data from a file (batch command) --------------------------------
// K, R, n, then per class its agreements and the disagreements of every
// rater, checked as the keyboard model entry checks them: K and R whole from
// 2 to 1000, n whole from 2 to 10^9, every count a number not below 0, as
// many numbers as K and R need, and disagreements that add up to
// R * (n - the agreements) within 1e-12. Sizes the class tables and fills
// K, R, Norg, successaux, failaux and Fvect.
ReadOutcome ReadModelFile(DataSource& file, ObservedData& tb, const std::string& name);

// --- Observed data added together (several files, shards) -----------------
// The observed data of several files read with the same options, as one
// file that held all their objects would give them: the classes are the
// classes of every part together (numbers: up to the largest; labels: each
// once, ordered as ClassReader orders them, or in the order of --classes
// when `fixedClasses`), and the raters are matched by name when the parts
// name them (a rater that a part lacks has a missing rating on each of its
// objects) or else by their place, which then needs the same number in
// every part. With `sameRaters` every part must have the same raters (the
// same names, or the same number without names). Fills `out` (its tuples,
// patterns, counts, names and labels; no class tables) and returns "", or
// what keeps the parts apart, naming the part (`names`) where it first
// shows; each part's warnings follow, after its name.
std::string AddObservedData(const std::vector<const ObservedData*>& parts, const std::vector<std::string>& names,
                            bool fixedClasses, bool sameRaters, ObservedData& out);
// `part` recoded to the classes of all `parts` (as AddObservedData unites
// them), its raters kept: the data of one group that shares the scale of
// every group.
void RecodeToClasses(const ObservedData& part, const std::vector<const ObservedData*>& parts, bool fixedClasses,
                     ObservedData& out);

// --- Tables built from the observed data -----------------------------------
// Sizes the class tables (clases, ac, datafleiss, successaux, failaux,
// Fvect) to K classes and R raters, every cell zero.
void SizeClassTables(ObservedData& tb);

// After the response tuples of observed data (a raw file, a frequencies
// file or typed frequencies) have been counted: sizes the class tables and
// builds them and the object-by-class table, as both the dialogue and the
// batch command do. `threads` as a reader's (0: one per core): with more
// than one, many tuples' two tables are built side by side.
void BuildTupleTables(ObservedData& tb, int threads = 1);

// Class tables from frec: clases, ac, successaux, failaux.
void TablaInicial(ObservedData& tb);       // modes 1 and 3
void TablaInicialExtra(ObservedData& tb);  // mode 2

// Object-by-class table for Fleiss' kappa from frec: datafleiss.
void TablaFleiss(ObservedData& tb);        // modes 1 and 3
void TablaFleissExtra(ObservedData& tb);   // mode 2

}  // namespace zover
