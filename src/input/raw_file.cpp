// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater.

#include <istream>
#include <memory>

#include "console/format.h"
#include "input/input.h"
#include "input/text_fields.h"

namespace zover {

namespace {

constexpr std::size_t kMinRaters = 2;
constexpr std::size_t kMaxRaters = 1000;
constexpr int kMaxClass = 1000;

ReadOutcome Refuse(const char* format, std::initializer_list<FormatArg> args = {}) {
  return {false, Format(format, args)};
}

}  // namespace

ReadOutcome Archivo(Console& con, Tables& tb) {
  const std::unique_ptr<std::istream> file = con.openFile("Zover_data.txt");
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoFrom(*file, tb);
}

// R is the field count of the first data line and n the number of data
// lines; every field is a class number 1 .. 1000, and K is the largest one
// read (a class below it that nobody used is an empty class). The first
// fault in file order is reported; the whole-file checks come last.
ReadOutcome ArchivoFrom(std::istream& file, Tables& tb) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  int raters = 0;
  std::size_t objects = 0;
  while (reader.Next()) {
    const auto& fields = reader.fields();
    const double line = static_cast<double>(reader.lineNumber());
    const std::size_t count = fields.size();
    if (objects == 0) {
      if (count < kMinRaters) {
        return Refuse("\nERROR in file \"Zover_data.txt\": at least 2 raters (columns) are needed.\n");
      }
      if (count > kMaxRaters) {
        return Refuse("\nERROR in file \"Zover_data.txt\": at most 1000 raters (columns) can be analysed.\n");
      }
      raters = static_cast<int>(count);
      tb.data = Grid<int>(0, static_cast<std::size_t>(raters));
    } else if (count != static_cast<std::size_t>(raters)) {
      return Refuse("\nERROR in file \"Zover_data.txt\", line %d: %d fields where the first line has %d.\n",
                    {line, static_cast<double>(count), raters});
    }
    int* row = tb.data.AddRow();
    for (int r = 0; r < raters; ++r) {
      const auto value = WholeField(fields[r], kMaxClass);
      if (!value || *value < 1) {
        return Refuse("\nERROR in file \"Zover_data.txt\", line %d, field %d: not a class number from 1 to 1000.\n",
                      {line, r + 1});
      }
      row[r] = static_cast<int>(*value);
      if (row[r] > tb.maxclase) tb.maxclase = row[r];
    }
    ++objects;
  }
  if (objects < 2) {
    return Refuse("\nERROR in file \"Zover_data.txt\": at least 2 objects (lines) are needed.\n");
  }
  if (tb.maxclase < 2) {
    return Refuse("\nERROR in file \"Zover_data.txt\": at least 2 classes are needed.\n");
  }
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = tb.nraters;
  tb.Norg = static_cast<double>(objects);
  tb.N = tb.Norg;
  return {};
}

}  // namespace zover
