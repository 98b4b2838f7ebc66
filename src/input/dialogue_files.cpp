// The dialogue's two data files, opened by their bare names through the
// console's file seam and read by the readers of raw_file.cpp and
// freq_file.cpp.

#include <memory>

#include "input/keyboard.h"

namespace zover {

ReadOutcome Archivo(Console& con, ObservedData& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kRawFileName);
  if (!file) return {false, {}, "\nERROR opening file. \n\n"};
  return ArchivoFrom(*file, tb, kRawFileName);
}

ReadOutcome ArchivoExtra(Console& con, ObservedData& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kFreqFileName);
  if (!file) return {false, {}, "\nERROR opening file. \n\n"};
  return ArchivoExtraFrom(*file, tb, kFreqFileName);
}

}  // namespace zover
