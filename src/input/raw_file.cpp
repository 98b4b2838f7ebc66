// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater (the skeleton of data_file.cpp reads it).

#include "input/reader_parts.h"

namespace zover {

ReadOutcome ArchivoFrom(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout,
                        FileGroups* groups) {
  return ReadColumns(file, tb, name, layout, false, groups);
}

}  // namespace zover
