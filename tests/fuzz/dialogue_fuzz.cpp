// Fuzz target: arbitrary bytes as standard input of the whole program, run
// until the input ends. The run must end through the dialogue, with status 0
// or 1: no crash, no exception out of RunZover, no hang (libFuzzer's -timeout
// catches those), and values that are not finite print only as "NaN", "Inf"
// or "-Inf".
//
// Mode 1 reads a small valid file, so that a pass reaches the analysis and
// the end prompt without any typed data; mode 2 reads a file that it refuses
// (a repeated response tuple), so that the menu comes back. Analysing the
// same fixed data in both modes would only repeat work; arbitrary file bytes
// are the business of file_analysis_fuzz.cpp.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string answers(reinterpret_cast<const char*>(bytes), size);
  zover::fuzz::RunWholeProgram(answers, {
                                            {"Zover_data.txt", "1 1\n2 2\n1 2\n"},
                                            {"Zover_data_freq.txt", "1\t2\t3\n1\t2\t4\n"},
                                        });
  return 0;
}
