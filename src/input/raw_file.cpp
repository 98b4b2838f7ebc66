// Mode 1: the raw responses file "Zover_data.txt", one object per line and
// one class number per rater.

#include <algorithm>
#include <map>
#include <memory>

#include "console/format.h"
#include "input/input.h"
#include "input/text_fields.h"
#include "input/tuple_counter.h"

namespace zover {

namespace {

constexpr std::size_t kMinRaters = 2;
constexpr std::size_t kMaxRaters = 1000;
constexpr std::uint32_t kMaxClass = 1000;
constexpr std::uint64_t kMaxObjects = 1000000000;

ReadOutcome Refuse(std::string message) { return {false, std::move(message)}; }

bool IsMissing(std::string_view field) { return field.empty() || field == "NA" || field == "."; }

// The objects with missing ratings (0 in their tuples), as the rating
// patterns of tb.incomplete.
void KeepIncomplete(ObservedData& tb, TupleCounter& counter, int raters) {
  const TupleCounts tuples = counter.Finish();
  std::vector<std::uint16_t> scratch(static_cast<std::size_t>(raters));
  for (std::size_t u = 0; u < tuples.size(); ++u) {
    const std::uint16_t* values = tuples.Values(u, scratch.data());
    std::map<int, int> counts;
    for (int r = 0; r < raters; ++r) {
      if (values[r] > 0) ++counts[values[r] - 1];
    }
    tb.incomplete[std::vector<std::pair<int, int>>(counts.begin(), counts.end())] += tuples.count(u);
  }
}

}  // namespace

ReadOutcome Archivo(Console& con, ObservedData& tb) {
  const std::unique_ptr<DataSource> file = con.openFile(kRawFileName);
  if (!file) return Refuse("\nERROR opening file. \n\n");
  return ArchivoFrom(*file, tb, kRawFileName);
}

// R is the field count of the first data line and n the number of data
// lines; every field is a class number 1 .. 1000, and K is the largest one
// read (a class below it that nobody used is an empty class). The first
// fault in file order is reported, within a line the field count before the
// fields, left to right; the whole-file checks come last. A file of more
// than 10^9 objects is refused at its first object beyond them, as the
// keyboard refuses such an n.
//
// The objects are not kept: each line goes straight into the counts of the
// response tuples (frec). A line of plain digit fields is read in one pass;
// any other line is split into fields and checked field by field, which
// gives every message its field number.
//
// With layout.header the first line names the raters (its field count is
// the one every line must have); with layout.id the first field of every
// line labels the object and is skipped. Field numbers in the messages count
// every field of the line. With layout.missing an empty field, NA or . is a
// missing rating: the objects that every rater rated are counted in frec (n
// of them), the others go to tb.incomplete.
ReadOutcome ArchivoFrom(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout) {
  tb.maxclase = 0;
  DataLineReader reader(file);
  const std::size_t skipped = layout.id ? 1 : 0;
  int raters = 0;
  std::size_t fieldsPerLine = 0;  // every line's field count, once known
  std::uint64_t objects = 0;
  std::uint64_t complete = 0;  // objects that every rater rated
  std::unique_ptr<TupleCounter> counter;
  std::unique_ptr<TupleCounter> incomplete;  // with layout.missing, the others
  std::vector<std::uint32_t> digits;  // the fields of a plain line
  std::vector<std::uint16_t> classes;
  std::uint32_t largest = 0;  // the largest class read
  while (true) {
    const LineStatus status = reader.NextLine();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refuse(LineFault(reader, status, name));
    const long long line = reader.lineNumber();
    bool plain = fieldsPerLine != 0 && DigitFields(reader.line(), digits.data(), fieldsPerLine);
    if (plain) {
      for (int r = 0; r < raters; ++r) {
        const std::uint32_t value = digits[skipped + static_cast<std::size_t>(r)];
        if (value < 1 || value > kMaxClass) plain = false;
        classes[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(value);
        largest = std::max(largest, value);
      }
    }
    int missing = 0;
    if (!plain) {
      reader.Split();
      const auto& fields = reader.fields();
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
        digits.assign(fieldsPerLine, 0);
        classes.assign(static_cast<std::size_t>(raters), 0);
        counter = std::make_unique<TupleCounter>(raters);
        if (layout.missing) incomplete = std::make_unique<TupleCounter>(raters);
        if (layout.header) {
          tb.raterNames.assign(fields.begin() + static_cast<long>(skipped), fields.end());
          continue;
        }
      } else if (count != fieldsPerLine) {
        return Refuse(Format("\nERROR in file \"%s\", line %d: %d fields where the first line has %d.\n",
                             {name, line, static_cast<long long>(count), static_cast<long long>(fieldsPerLine)}));
      }
      for (int r = 0; r < raters; ++r) {
        const std::string_view field = fields[skipped + r];
        const int number = static_cast<int>(skipped) + r + 1;
        if (layout.missing && IsMissing(field)) {
          classes[static_cast<std::size_t>(r)] = 0;
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
        classes[static_cast<std::size_t>(r)] = static_cast<std::uint16_t>(*value);
        largest = std::max(largest, static_cast<std::uint32_t>(*value));
      }
    }
    if (objects == kMaxObjects) {
      return Refuse(Format("\nERROR in file \"%s\", line %d: more than 1000000000 objects (lines).\n", {name, line}));
    }
    ++objects;
    if (missing > 0) {
      incomplete->Add(classes.data());
      tb.missingRatings += missing;
    } else {
      counter->AddObject(classes.data());
      ++complete;
    }
  }
  tb.maxclase = static_cast<int>(largest);
  if (objects < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 objects (lines) are needed.\n", {name}));
  }
  if (tb.maxclase < 2) {
    return Refuse(Format("\nERROR in file \"%s\": at least 2 classes are needed.\n", {name}));
  }
  tb.nraters = raters;
  tb.K = tb.maxclase;
  tb.R = tb.nraters;
  tb.Norg = static_cast<double>(complete);
  tb.entrada = EntryMode::kRawFile;
  tb.frec = counter->Finish();
  if (incomplete) KeepIncomplete(tb, *incomplete, raters);
  return {};
}

}  // namespace zover
