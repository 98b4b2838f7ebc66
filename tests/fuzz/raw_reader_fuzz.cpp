// Fuzz target: arbitrary bytes as the raw responses file "Zover_data.txt".
// The reader must refuse the file with one of its messages, or yield tables
// that describe exactly the objects of the file. (The whole dialogue
// target runs the analysis on such files.)

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_checks.h"
#include "input/input.h"

namespace {

using zover::fuzz::Check;

const std::vector<const char*> kRefusals = {
    "\nERROR in file \"Zover_data.txt\": at least 2 raters (columns) are needed.\n",
    "\nERROR in file \"Zover_data.txt\": at most 1000 raters (columns) can be analysed.\n",
    "\nERROR in file \"Zover_data.txt\", line #: # fields where the first line has #.\n",
    "\nERROR in file \"Zover_data.txt\", line #, field #: not a class number from 1 to 1000.\n",
    "\nERROR in file \"Zover_data.txt\", line #, field #: the field is empty.\n",
    "\nERROR in file \"Zover_data.txt\", line #: longer than 1048576 bytes.\n",
    "\nERROR in file \"Zover_data.txt\": at least 2 objects (lines) are needed.\n",
    "\nERROR in file \"Zover_data.txt\": at least 2 classes are needed.\n",
    "\nERROR in file \"Zover_data.txt\", line #, field #: a double quote inside a field that does not start with one.\n",
    "\nERROR in file \"Zover_data.txt\", line #, field #: text after the closing double quote.\n",
    "\nERROR in file \"Zover_data.txt\", line #, field #: the double quote that opens the field is not closed on its line.\n",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  zover::StringSource file(text);
  zover::ObservedData tb;
  const zover::ReadOutcome read = zover::ArchivoFrom(file, tb);
  if (!read.ok) {
    Check(zover::fuzz::IsKnownMessage(read.message, kRefusals), "a known refusal", read.message);
    return 0;
  }
  Check(read.message.empty(), "no message with an accepted file");
  const long long n = zover::fuzz::DataLines(text);
  Check(tb.Norg == static_cast<double>(n), "n = number of data lines",
        std::to_string(tb.Norg) + " != " + std::to_string(n));
  zover::fuzz::CheckTuples(tb);

  zover::SizeClassTables(tb);
  zover::TablaInicial(tb);
  zover::TablaFleiss(tb);
  zover::fuzz::CheckClassTables(tb, n);
  return 0;
}
