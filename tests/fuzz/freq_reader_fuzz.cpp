// Fuzz target: arbitrary bytes as the frequencies file "Zover_data_freq.txt".
// The reader must refuse the file with one of its messages, or yield tables
// of n objects, n the sum of the frequencies. (The whole dialogue
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
    "\nERROR in file \"Zover_data_freq.txt\": at least 2 raters (columns before the frequency) are needed.\n",
    "\nERROR in file \"Zover_data_freq.txt\": at most 1000 raters (columns before the frequency) can be analysed.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #: # fields where the first line has #.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: not a class number from 1 to 1000.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: the field is empty.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #: longer than 1048576 bytes.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: not a frequency (a whole number from 0 to 1000000000).\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #: the same responses as line #.\n",
    "\nERROR in file \"Zover_data_freq.txt\": the frequencies must add up to at least 2 objects.\n",
    "\nERROR in file \"Zover_data_freq.txt\": the frequencies add up to more than 1000000000 objects.\n",
    "\nERROR in file \"Zover_data_freq.txt\": at least 2 classes are needed.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: a double quote inside a field that does not start with one.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: text after the closing double quote.\n",
    "\nERROR in file \"Zover_data_freq.txt\", line #, field #: the double quote that opens the field is not closed on its line.\n",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  zover::StringSource file(text);
  zover::ObservedData tb;
  const zover::ReadOutcome read = zover::ArchivoExtraFrom(file, tb);
  if (!read.ok) {
    Check(zover::fuzz::IsKnownMessage(read.message, kRefusals), "a known refusal", read.message);
    return 0;
  }
  Check(read.message.empty(), "no message with an accepted file");
  const long long rows = zover::fuzz::DataLines(text);
  Check(tb.contextra == rows, "one row per data line");
  Check(tb.frec.size() <= static_cast<std::size_t>(rows), "at most one tuple per row");
  zover::fuzz::CheckTuples(tb);
  const auto n = static_cast<long long>(tb.Norg);
  Check(n >= 2 && n <= 1000000000, "2 <= n <= 10^9");

  zover::SizeClassTables(tb);
  zover::TablaInicialExtra(tb);
  zover::TablaFleissExtra(tb);
  zover::fuzz::CheckClassTables(tb, n);
  return 0;
}
