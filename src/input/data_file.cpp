// The raw and frequencies layouts of a data file, read by one skeleton: the
// fast path of plain digits, the split, the rules of the first line, the
// header, the classes and the checks of the whole file.

#include <algorithm>
#include <new>

#include "console/format.h"
#include "input/reader_parts.h"
#include "tables/limits.h"

namespace zover {

// R is the field count of the first data line (less the object's label and
// the frequency); every rating is a class number 1 .. 1000, or a label. The
// first fault in file order is reported, within a line the field count
// before the fields, left to right; the checks of the whole file come last.
// A raw file of more than 10^9 objects is refused at its first object beyond
// them, as the keyboard refuses such an n.
//
// The objects are not kept: each line goes straight into the counts of the
// response tuples. A line of plain digit fields is read in one pass; any
// other line is split into fields and checked field by field, which gives
// every message its field number. Field numbers count every field of the
// line.
//
// Raw layout: with layout.missing an empty field, NA or . is a missing
// rating; the objects that every rater rated are counted in frec (n of
// them), the others go to tb.incomplete.
//
// Frequencies layout: the last field is the number of objects (0 .. 10^9)
// with the line's tuple, and n their sum. Rows of frequency 0 raise K and
// take part in the repeated-tuple check, after the fields of a row; they
// only add no objects. The tuple counter's hash table also finds a tuple
// that an earlier row gave; each tuple keeps the number of its row, from
// which the message finds the row's line.
ReadOutcome ReadColumns(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout,
                        bool frequencies) {
  DataLineReader reader(file);
  const bool missingRatings = layout.missing && !frequencies;
  ClassReader classes(layout, missingRatings);
  FileRatings data;
  const std::size_t skipped = layout.id ? 1 : 0;
  const std::size_t trailing = frequencies ? 1 : 0;
  const char* const columns = frequencies ? "columns before the frequency" : "columns";
  std::size_t fieldsPerLine = 0;  // every line's field count, once known
  std::size_t raters = 0;
  std::uint64_t objects = 0;  // raw: every object, rated by every rater or not
  std::uint64_t total = 0;    // frequencies: stops growing once it is past kMaxObjects
  RowLines lines;
  std::vector<std::uint32_t> digits;  // the fields of a plain line
  std::vector<std::uint16_t> values;  // the line's tuple
  // Kept objects of a raw file keep their name from the id field as written,
  // which the fast path of digits does not keep.
  const bool keepIds = layout.keepObjects && layout.id && !frequencies;
  while (true) {
    const LineStatus status = reader.NextLine();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refused(reader.Fault(status), name);
    const long long line = reader.lineNumber();
    std::uint32_t frequency = 0;
    int missing = 0;
    bool plain = fieldsPerLine != 0 && !classes.labels() && !keepIds &&
                 DigitFields(reader.line(), digits.data(), fieldsPerLine);
    if (plain) {
      std::uint32_t largest = 0;
      for (std::size_t r = 0; r < raters; ++r) {
        const std::uint32_t value = digits[skipped + r];
        if (value < 1 || value > static_cast<std::uint32_t>(kMaxClasses)) plain = false;
        values[r] = static_cast<std::uint16_t>(value);
        largest = std::max(largest, value);
      }
      if (plain) classes.Note(largest);
      if (frequencies) frequency = digits[skipped + raters];  // nine digits at most: below 10^9
    }
    if (!plain) {
      if (reader.Split() != LineStatus::kLine) return Refused(reader.Fault(LineStatus::kFieldFault), name);
      const auto& fields = reader.fields();
      const std::size_t count = fields.size();
      if (fieldsPerLine == 0) {
        const std::size_t found = count > skipped + trailing ? count - skipped - trailing : 0;
        if (found < 2) return Refused(Format("at least 2 raters (%s) are needed", {columns}), name);
        if (found > static_cast<std::size_t>(kMaxRaters)) {
          return Refused(Format("at most 1000 raters (%s) can be analysed", {columns}), name);
        }
        fieldsPerLine = count;
        raters = found;
        digits.assign(fieldsPerLine, 0);
        values.assign(raters, 0);
        data.Start(static_cast<int>(raters), missingRatings, layout.keepObjects && !frequencies);
        if (layout.header) {
          for (std::size_t r = 0; r < raters; ++r) {
            if (fields[skipped + r].empty()) {
              return Refused(FaultAt(line, static_cast<int>(skipped + r + 1), "the field is empty"), name);
            }
          }
          data.raterNames.assign(fields.begin() + static_cast<long>(skipped),
                                 fields.begin() + static_cast<long>(skipped + raters));
          continue;
        }
      } else if (count != fieldsPerLine) {
        return Refused(FaultAt(line, 0, Format("%d fields where the first line has %d",
                                               {static_cast<long long>(count), static_cast<long long>(fieldsPerLine)})),
                       name);
      }
      if (skipped > 0 && fields[0].empty()) return Refused(FaultAt(line, 1, "the field is empty"), name);
      for (std::size_t r = 0; r < raters; ++r) {
        const std::string_view field = fields[skipped + r];
        const ClassReader::Status read = classes.Read(field, values[r]);
        if (read == ClassReader::Status::kMissing) {
          ++missing;
        } else if (read != ClassReader::Status::kClass) {
          return Refused(classes.Fault(read, field, line, static_cast<int>(skipped + r + 1)), name);
        }
      }
      if (frequencies) {
        const std::string_view field = fields[skipped + raters];
        const int number = static_cast<int>(skipped + raters + 1);
        if (field.empty()) return Refused(FaultAt(line, number, "the field is empty"), name);
        const auto value = WholeField(field, kMaxObjects, layout.zeroFractions);
        if (!value) return Refused(FaultAt(line, number, "not a frequency (a whole number from 0 to 1000000000)"), name);
        frequency = static_cast<std::uint32_t>(*value);
      }
    }
    if (frequencies) {
      if (data.rows == UINT32_MAX) throw std::bad_alloc();  // more rows than any memory holds
      if (const auto earlier = data.complete->Add(values.data(), frequency, data.rows)) {
        return Refused(FaultAt(line, 0, Format("the same responses as line %d", {lines.LineOf(*earlier)})), name);
      }
      lines.Add(data.rows, line);
      ++data.rows;
      if (total <= kMaxObjects) total += frequency;
      continue;
    }
    if (objects == kMaxObjects) return Refused(FaultAt(line, 0, "more than 1000000000 objects (lines)"), name);
    ++objects;
    data.KeepObject(values.data(), line, keepIds ? reader.fields()[0] : std::string_view());
    if (missing > 0) {
      data.incomplete->Add(values.data());
      data.missingRatings += missing;
    } else {
      data.complete->AddObject(values.data());
      ++data.completeObjects;
    }
  }
  data.classes = classes.Finish(data.classOfCode);
  if (frequencies) {
    if (total < 2) return Refused("the frequencies must add up to at least 2 objects", name);
    if (total > kMaxObjects) return Refused("the frequencies add up to more than 1000000000 objects", name);
    data.completeObjects = total;
  } else if (objects < 2) {
    return Refused("at least 2 objects (lines) are needed", name);
  }
  if (data.classes.K < 2) return Refused("at least 2 classes are needed", name);
  StoreObservedData(tb, std::move(data), frequencies ? EntryMode::kFrequencyFile : EntryMode::kRawFile);
  return {};
}

}  // namespace zover
