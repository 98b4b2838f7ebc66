// Mode 2: the frequencies file "Zover_data_freq.txt", one distinct response
// tuple per line: the class numbers of the R raters, then the number of
// objects that received exactly that tuple (the skeleton of data_file.cpp
// reads it).

#include "input/reader_parts.h"

namespace zover {

ReadOutcome ArchivoExtraFrom(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout,
                             FileGroups* groups) {
  return ReadColumns(file, tb, name, layout, true, groups);
}

}  // namespace zover
