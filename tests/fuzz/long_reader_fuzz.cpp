// Fuzz target: arbitrary bytes as a file of the long layout (object, rater,
// rating), read with the options that the first byte picks (--header,
// --missing, --labels, and the rules of CSV with the first line's separator
// and their checks of slips, or the first two columns chosen by number). The
// reader must refuse the file with one of its messages, or yield tables that
// describe the objects rated by every rater.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_checks.h"
#include "input/input.h"

namespace {

using zover::fuzz::Check;

const std::vector<const char*> kRefusals = {
    "\nERROR in file \"l.csv\", line #: # fields where the long layout has 3 (object, rater, rating).\n",
    "\nERROR in file \"l.csv\", line #, field #: the field is empty.\n",
    "\nERROR in file \"l.csv\", line #, field #: not a class number from 1 to 1000.\n",
    "\nERROR in file \"l.csv\", line #, field #: more than 1000 different labels: at most 1000 classes can be analysed.\n",
    "\nERROR in file \"l.csv\", line #, field #: more than 1000 raters: at most 1000 raters can be analysed.\n",
    "\nERROR in file \"l.csv\", line #: object \"*\" was already rated by \"*\" on line #.\n",
    "\nERROR in file \"l.csv\", line #: longer than 1048576 bytes.\n",
    "\nERROR in file \"l.csv\", line #, field #: a double quote inside a field that does not start with one.\n",
    "\nERROR in file \"l.csv\", line #, field #: text after the closing double quote.\n",
    "\nERROR in file \"l.csv\", line #, field #: the double quote that opens the field is not closed on its line.\n",
    "\nERROR in file \"l.csv\": at least 2 raters are needed.\n",
    "\nERROR in file \"l.csv\": at least 2 objects are needed.\n",
    "\nERROR in file \"l.csv\": at least 2 classes are needed.\n",
    // The rules of CSV.
    "\nERROR in file \"l.csv\", line #: # fields where the long layout has 3 (object, rater, rating): *",
    "\nERROR in file \"l.csv\", line #: # fields where the first line has #*.\n",
    "\nERROR in file \"l.csv\", line #: # fields where line # has #.\n",
    "\nERROR in file \"l.csv\", line #, field #: \"*\" marks a missing rating.\n",
    "\nERROR in file \"l.csv\", line #: it looks like a header: *.\n",
    "\nERROR in file \"l.csv\", line #: it holds more than one separator outside double quotes (*).\n",
    "\nERROR in file \"l.csv\", line #: it holds NUL bytes, *.\n",
    "\nERROR in file \"l.csv\", line #, field #: the double quote that opens the field is never closed.\n",
    "\nERROR in file \"l.csv\", line #: the file could not be read (it is UTF-16 *).\n",
    "\nERROR in file \"l.csv\": --long-columns: *.\n",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  zover::FileLayout layout;
  layout.header = (bytes[0] & 1) != 0;
  layout.missing = (bytes[0] & 2) != 0;
  layout.labels = (bytes[0] & 4) != 0;
  layout.zeroFractions = true;
  if ((bytes[0] & 8) != 0) layout.separator = zover::Separator::kDetect;
  if ((bytes[0] & 16) != 0) layout.columns = {"3", "1", "2"};
  zover::StringSource file(std::string(reinterpret_cast<const char*>(bytes) + 1, size - 1));
  zover::ObservedData tb;
  const zover::ReadOutcome read = zover::ReadLongFile(file, tb, "l.csv", layout);
  if (!read.ok) {
    Check(zover::fuzz::IsKnownMessage(read.message, kRefusals), "a known refusal", read.message);
    return 0;
  }
  Check(tb.R >= 2 && tb.R <= 1000 && static_cast<int>(tb.raterNames.size()) == tb.R, "R named raters");
  Check(tb.K >= 2 && tb.K <= 1000, "2 <= K <= 1000");
  Check(!layout.labels || static_cast<int>(tb.classLabels.size()) == tb.K, "a label per class");
  zover::fuzz::CheckTuples(tb);
  const auto n = static_cast<long long>(tb.Norg);
  if (n < 2) return 0;  // too few objects rated by every rater for the tables
  zover::SizeClassTables(tb);
  zover::TablaInicial(tb);
  zover::TablaFleiss(tb);
  zover::fuzz::CheckClassTables(tb, n);
  return 0;
}
