// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater (the skeleton of data_file.cpp reads it).

#include <memory>

#include "input/reader_parts.h"

namespace zover {

ReadOutcome Archivo(Console& con, ObservedData& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kRawFileName);
  if (!file) return {false, {}, "\nERROR opening file. \n\n"};
  return ArchivoFrom(*file, tb, kRawFileName);
}

ReadOutcome ArchivoFrom(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout) {
  return ReadColumns(file, tb, name, layout, false);
}

}  // namespace zover
