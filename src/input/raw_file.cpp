// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater.

#include <memory>

#include "console/format.h"
#include "input/input.h"
#include "input/text_fields.h"

namespace zover {

namespace {

constexpr std::size_t kMinRaters = 2;
constexpr std::size_t kMaxRaters = 1000;
constexpr int kMaxClass = 1000;

ReadOutcome Refuse(std::string message) { return {false, std::move(message)}; }

}  // namespace

ReadOutcome Archivo(Console& con, Tables& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kRawFileName);
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoFrom(*file, tb);
}

// R is the field count of the first data line and n the number of data
// lines; every field is a class number 1 .. 1000, and K is the largest one
// read (a class below it that nobody used is an empty class). The first
// fault in file order is reported, within a line the field count before the
// fields, left to right; the whole-file checks come last.
ReadOutcome ArchivoFrom(DataSource& file, Tables& tb, const std::string& name) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  int raters = 0;
  std::size_t objects = 0;
  while (true) {
    const LineStatus status = reader.Next();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refuse(LineFault(reader, status, name));
    const auto& fields = reader.fields();
    const long long line = reader.lineNumber();
    const std::size_t count = fields.size();
    if (objects == 0) {
      if (count < kMinRaters) {
        return Refuse(Format("\nERROR in file \"%s\": at least 2 raters (columns) are needed.\n", {name}));
      }
      if (count > kMaxRaters) {
        return Refuse(Format("\nERROR in file \"%s\": at most 1000 raters (columns) can be analysed.\n", {name}));
      }
      raters = static_cast<int>(count);
      tb.data = Grid<int>(0, static_cast<std::size_t>(raters));
    } else if (count != static_cast<std::size_t>(raters)) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: %d fields where the first line has %d.\n",
                           {name, line, static_cast<long long>(count), raters}));
    }
    int* row = tb.data.AddRow();
    for (int r = 0; r < raters; ++r) {
      if (fields[r].empty()) {
        return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: the field is empty.\n", {name, line, r + 1}));
      }
      const auto value = WholeField(fields[r], kMaxClass);
      if (!value || *value < 1) {
        return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a class number from 1 to 1000.\n",
                             {name, line, r + 1}));
      }
      row[r] = static_cast<int>(*value);
      if (row[r] > tb.maxclase) tb.maxclase = row[r];
    }
    ++objects;
  }
  if (objects < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 objects (lines) are needed.\n", {name}));
  }
  if (tb.maxclase < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 classes are needed.\n", {name}));
  }
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = tb.nraters;
  tb.Norg = static_cast<double>(objects);
  tb.N = tb.Norg;
  return {};
}

}  // namespace zover
