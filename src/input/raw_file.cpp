// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater.

#include <map>
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

bool IsMissing(std::string_view field) { return field.empty() || field == "NA" || field == "."; }

// Keeps an object with missing ratings as its rating pattern.
void KeepIncomplete(Tables& tb, const int* row, int raters) {
  std::map<int, int> counts;
  for (int r = 0; r < raters; ++r) {
    if (row[r] > 0) ++counts[row[r] - 1];
  }
  tb.incomplete[std::vector<std::pair<int, int>>(counts.begin(), counts.end())] += 1;
}

}  // namespace

ReadOutcome Archivo(Console& con, Tables& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kRawFileName);
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoFrom(*file, tb, kRawFileName);
}

// R is the field count of the first data line and n the number of data
// lines; every field is a class number 1 .. 1000, and K is the largest one
// read (a class below it that nobody used is an empty class). The first
// fault in file order is reported, within a line the field count before the
// fields, left to right; the whole-file checks come last.
//
// With layout.header the first line names the raters (its field count is
// the one every line must have); with layout.id the first field of every
// line labels the object and is skipped. Field numbers in the messages count
// every field of the line. With layout.missing an empty field, NA or . is a
// missing rating: the objects that every rater rated go to `data` (n of
// them), the others to tb.incomplete.
ReadOutcome ArchivoFrom(DataSource& file, Tables& tb, const std::string& name, const FileLayout& layout) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  const std::size_t skipped = layout.id ? 1 : 0;
  int raters = 0;
  std::size_t fieldsPerLine = 0;  // every line's field count, once known
  std::size_t objects = 0;
  while (true) {
    const LineStatus status = reader.Next();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refuse(LineFault(reader, status, name));
    const auto& fields = reader.fields();
    const long long line = reader.lineNumber();
    const std::size_t count = fields.size();
    if (fieldsPerLine == 0) {
      const std::size_t columns = count > skipped ? count - skipped : 0;
      if (columns < kMinRaters) {
        return Refuse(Format("\nERROR in file \"%s\": at least 2 raters (columns) are needed.\n", {name}));
      }
      if (columns > kMaxRaters) {
        return Refuse(Format("\nERROR in file \"%s\": at most 1000 raters (columns) can be analysed.\n", {name}));
      }
      fieldsPerLine = count;
      raters = static_cast<int>(columns);
      tb.data = Grid<int>(0, static_cast<std::size_t>(raters));
      if (layout.header) {
        tb.raterNames.assign(fields.begin() + static_cast<long>(skipped), fields.end());
        continue;
      }
    } else if (count != fieldsPerLine) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: %d fields where the first line has %d.\n",
                           {name, line, static_cast<long long>(count), static_cast<long long>(fieldsPerLine)}));
    }
    int* row = tb.data.AddRow();
    int missing = 0;
    for (int r = 0; r < raters; ++r) {
      const std::string_view field = fields[skipped + r];
      const int number = static_cast<int>(skipped) + r + 1;
      if (layout.missing && IsMissing(field)) {
        row[r] = 0;
        ++missing;
        continue;
      }
      if (field.empty()) {
        return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: the field is empty.\n", {name, line, number}));
      }
      const auto value = WholeField(field, kMaxClass);
      if (!value || *value < 1) {
        return Refuse(Format("\nERROR in file \"%s\", line %d, field %d: not a class number from 1 to 1000.\n",
                             {name, line, number}));
      }
      row[r] = static_cast<int>(*value);
      if (row[r] > tb.maxclase) tb.maxclase = row[r];
    }
    ++objects;
    if (missing > 0) {
      KeepIncomplete(tb, row, raters);
      tb.data.RemoveLastRow();
      tb.missingRatings += missing;
    }
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
  tb.Norg = static_cast<double>(tb.data.rows());
  tb.N = tb.Norg;
  return {};
}

}  // namespace zover
