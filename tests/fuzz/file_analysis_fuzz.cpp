// Fuzz target: arbitrary bytes as both data files, each read and analysed by
// the whole program (a run in mode 1 and a run in mode 2). Whatever the file
// holds, the run must end through the dialogue with status 0, and values
// that are not finite print only as "NaN", "Inf" or "-Inf". This takes the
// model and the kappa coefficients through data that no keyboard entry
// reaches in a short input, such as a thousand classes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_checks.h"
#include "fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(bytes), size);
  // Each mode once: a refused file shows the menu again and an analysed one
  // the end prompt, where the answers end.
  for (const char* mode : {"1\n", "2\n"}) {
    const int status = zover::fuzz::RunWholeProgram(mode, {{"Zover_data.txt", file}, {"Zover_data_freq.txt", file}});
    zover::fuzz::Check(status == zover::kExitNormal, "status 0 when the answers end at a prompt",
                       std::to_string(status));
  }
  return 0;
}
