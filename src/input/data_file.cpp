// The raw and frequencies layouts of a data file, read by one skeleton: the
// fast path of plain digits, the split, the rules of the first line, the
// header, the classes and the checks of the whole file.

#include <algorithm>
#include <new>
#include <optional>

#include "console/format.h"
#include "input/reader_parts.h"
#include "tables/limits.h"
#include "tables/tasks.h"

namespace zover {

namespace {

// A first line read as data may be a header that no option named. By the
// rules of CSV it is refused as one (ReadFault::Kind::kLooksLikeHeader)
// when:
//   - a rating of it is refused, it holds text (a field that is no number
//     and no mark of a missing rating), and the next line holds numbers in
//     every field but its first (which may name the object), or
//   - the next line has one field more (R's header above row names), or
//   - with labels, none of its ratings occurs again in its column.
class FirstLineWatch {
 public:
  explicit FirstLineWatch(bool on) : on_(on) {}
  bool on() const { return on_; }

  // The line whose rating was refused, given the rest of the file: the
  // refusal that says it looks like a header, or `fault`.
  ReadFault Refused(ReadFault fault, DataLineReader& reader) const {
    const long long first = reader.lineNumber();
    const std::vector<std::string> fields(reader.fields().begin(), reader.fields().end());
    const auto text = std::find_if(fields.begin(), fields.end(), [](const std::string& f) { return !NumberOrMark(f); });
    if (text == fields.end() || reader.Next() != LineStatus::kLine) return fault;
    const auto& next = reader.fields();
    if (next.size() != fields.size() && next.size() != fields.size() + 1) return fault;
    if (!std::all_of(next.begin() + 1, next.end(), NumberOrMark)) return fault;
    return FaultOf(ReadFault::Kind::kLooksLikeHeader, first, 0,
                   "it looks like a header: " + QuotedText(*text) + " is not a number, and line " +
                       std::to_string(reader.lineNumber()) + " holds numbers");
  }

  // Labels: line 1's codes, then each line's, to see whether they occur again.
  void First(long long line, const std::vector<std::uint16_t>& values) {
    line_ = line;
    values_ = values;
    again_.assign(values.size(), 0);
  }
  void Next(const std::vector<std::uint16_t>& values) {
    for (std::size_t r = 0; r < values.size(); ++r) again_[r] |= values[r] == values_[r];
  }
  // The refusal when none of line 1's labels occurs again in its column.
  std::optional<ReadFault> LabelsFault() const {
    bool any = false;
    for (std::size_t r = 0; r < values_.size(); ++r) {
      if (values_[r] == 0) continue;  // a missing rating says nothing
      if (again_[r]) return std::nullopt;
      any = true;
    }
    if (!any) return std::nullopt;
    return FaultOf(ReadFault::Kind::kLooksLikeHeader, line_, 0,
                   "it looks like a header: none of its labels occurs again in its column");
  }

 private:
  bool on_;
  long long line_ = 0;
  std::vector<std::uint16_t> values_;
  std::vector<char> again_;
};

// A first column of ratings that holds a different value on every line, while
// every other column repeats one, looks like the objects' names read as a
// rater (a forgotten --id): a warning says so. A column holds at most 1000
// different classes, so only the first 1001 lines can tell, and the watch
// ends there, or as soon as the first column repeats a value.
class NamesWatch {
 public:
  explicit NamesWatch(bool on) : on_(on) {}
  bool on() const { return on_; }

  void Add(const std::vector<std::uint16_t>& values) {
    if (!on_) return;
    if (seen_.empty()) {
      seen_.assign(values.size() * kValues, 0);
      repeats_.assign(values.size(), 0);
    }
    if (++lines_ > kValues) {
      on_ = false;
      return;
    }
    for (std::size_t r = 0; r < values.size(); ++r) {
      if (values[r] == 0) continue;  // missing
      char& seen = seen_[r * kValues + values[r]];
      repeats_[r] |= seen;
      seen = 1;
      if (r == 0) ++rated_;
    }
    if (repeats_[0]) on_ = false;
  }

  // The warning, with the first column's name (empty without a header).
  std::optional<std::string> Warning(const std::string& name) const {
    if (!on_ || rated_ < 10 || repeats_.size() < 2) return std::nullopt;
    if (!std::all_of(repeats_.begin() + 1, repeats_.end(), [](char repeats) { return repeats != 0; })) return std::nullopt;
    return "the first column" + (name.empty() ? std::string() : " (" + QuotedText(name) + ")") +
           " holds a different value on each of its " + std::to_string(rated_) +
           " lines, as the objects' names would: if it names the objects, add --id";
  }

 private:
  static constexpr std::size_t kValues = 1001;  // 0 (missing) and the classes or codes 1 .. 1000
  bool on_;
  std::size_t lines_ = 0;
  std::size_t rated_ = 0;  // lines that rate in the first column
  std::vector<char> seen_;  // [rater][value]
  std::vector<char> repeats_;  // [rater]: a value came twice
};

// With labels, a column whose labels no other column holds is no rater on
// the others' scale: a file of one rating per line read as a wide one (its
// coders' names as a rater), or columns that are not ratings. A warning says
// so.
class ScaleWatch {
 public:
  explicit ScaleWatch(bool on) : on_(on) {}

  void Add(const std::vector<std::uint16_t>& codes) {
    if (!on_) return;
    if (used_.empty()) used_.assign(codes.size(), std::vector<bool>());
    for (std::size_t r = 0; r < codes.size(); ++r) {
      if (codes[r] >= used_[r].size()) used_[r].resize(codes[r] + 1u, false);
      used_[r][codes[r]] = true;  // 0, a missing rating, is never looked at
    }
  }

  // The warning, with the columns' fields (from 0) and names.
  std::optional<std::string> Warning(const std::vector<std::size_t>& fields,
                                     const std::vector<std::string>& names) const {
    if (!on_ || used_.size() < 2) return std::nullopt;
    std::vector<int> raters;  // [code]: the raters that used it
    for (const auto& codes : used_) {
      if (codes.size() > raters.size()) raters.resize(codes.size(), 0);
      for (std::size_t c = 1; c < codes.size(); ++c) raters[c] += codes[c] ? 1 : 0;
    }
    for (std::size_t r = 0; r < used_.size(); ++r) {
      bool any = false, shared = false;
      for (std::size_t c = 1; c < used_[r].size(); ++c) {
        any |= used_[r][c];
        shared |= used_[r][c] && raters[c] > 1;
      }
      if (!any || shared) continue;
      return "the labels of column " + std::to_string(fields[r] + 1) +
             (r < names.size() ? " (" + QuotedText(names[r]) + ")" : std::string()) +
             " occur in no other column: are the columns ratings on one scale? A file of one rating per line "
             "needs --long";
    }
    return std::nullopt;
  }

 private:
  bool on_;
  std::vector<std::vector<bool>> used_;  // [rater][code]
};

// The tuples of lines of ratings alone, counted a block at a time on a side
// thread while the reading parses the next block. The reading packs each
// key at the width it expects the complete tuples' counter to have by then
// (the counter widens by the same rule); a key of another width than its
// counter's is unpacked there and counted by its values, and a tuple whose
// values do not fit the width goes over as its values. Each counter counts
// its tuples in file order, as when the reading counts them itself.
class alignas(kThreadApart) SideCounting {
 public:
  SideCounting(int raters, TupleCounter& complete, TupleCounter* incomplete)
      : raters_(raters), complete_(complete), incomplete_(incomplete), width_(complete.width()), side_(true) {}

  // The width to pack the next tuple's key at.
  int width() const { return width_; }
  // A tuple, its key packed at width() and `top` the bitwise or of its
  // values, for the complete or the incomplete tuples' counter.
  void Add(std::uint64_t key, unsigned top, const std::uint16_t* values, bool complete) {
    Block& block = *filling_;
    const bool fits = width_ > 0 && top >> width_ == 0;
    block.keys.push_back(key);
    block.kinds.push_back(static_cast<std::uint8_t>((complete ? kComplete : 0) | (fits ? width_ : 0)));
    if (!fits) {
      block.values.insert(block.values.end(), values, values + raters_);
      if (complete) width_ = TupleCounter::WidthAfter(width_, top, raters_);
    }
    if (block.keys.size() == kBlock) HandOver();
  }
  // A tuple by its values alone.
  void Add(const std::uint16_t* values, bool complete) {
    std::uint64_t key = 0;
    unsigned top = 0;
    for (int r = 0; r < raters_; ++r) {
      key = key << width_ | values[r];
      top |= values[r];
    }
    Add(key, top, values, complete);
  }
  // Counts every tuple added: the last block here, once the side thread
  // has counted the one before (a file shorter than a block starts none).
  // The counters are then the reading's again.
  void Drain() {
    if (pending_) side_.Wait();
    pending_ = false;
    Count(*filling_, raters_, complete_, incomplete_);
    Clear(*filling_);
    width_ = complete_.width();
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{1} << 16;
  static constexpr std::uint8_t kComplete = 0x80;  // a kind's flag; its low bits are the width, 0 for values

  // Apart from the other block and what the reading writes at every line
  // (alignas): the two threads share no cache line.
  struct alignas(kThreadApart) Block {
    std::vector<std::uint64_t> keys;
    std::vector<std::uint8_t> kinds;
    std::vector<std::uint16_t> values;  // raters_ each, of the tuples that go over as values
  };

  void HandOver() {
    side_.Wait();  // the other block is counted
    Block* full = filling_;
    filling_ = full == &blocks_[0] ? &blocks_[1] : &blocks_[0];
    Clear(*filling_);
    pending_ = true;
    side_.Start([full, raters = raters_, complete = &complete_, incomplete = incomplete_] {
      Count(*full, raters, *complete, incomplete);
    });
  }
  static void Clear(Block& block) {
    block.keys.clear();
    block.kinds.clear();
    block.values.clear();
  }
  static void Count(const Block& block, int raters, TupleCounter& complete, TupleCounter* incomplete) {
    const std::size_t size = block.keys.size();
    const std::uint64_t* keys = block.keys.data();
    const std::uint8_t* kinds = block.kinds.data();
    const std::uint16_t* values = block.values.data();
    for (std::size_t i = 0; i < size; ++i) {
      TupleCounter& counter = (kinds[i] & kComplete) != 0 ? complete : *incomplete;
      const int width = kinds[i] & ~kComplete;
      if (width > 0) {
        counter.AddObject(keys[i], width);
      } else {
        counter.AddObject(values);
        values += raters;
      }
    }
  }

  const int raters_;
  TupleCounter& complete_;
  TupleCounter* const incomplete_;
  Block blocks_[2];
  Block* filling_ = &blocks_[0];
  bool pending_ = false;  // a block went over to the side thread since the last Drain
  int width_;
  SideThread side_;  // last: gone before the blocks
};

// The fast way through the lines of a file that hold nothing but plain
// fields, parsed straight from the reader's buffer. A plain line has the
// first line's number of fields, each ended by the separator alone (one
// byte: the separator of CSV, or under the rule of blanks one blank, tab,
// comma or semicolon) and the last by the line end (a line feed, or a
// carriage return and a line feed); a rater's field is a class number of
// one to four digits, from 1 to 1000, or, where missing ratings are read,
// NA, . or (by the rules of CSV) nothing; a frequency has one to nine
// digits; any other field is at least one byte, none of them a blank, a
// separator, a double quote or a line end. Split into fields, such a line
// gives these fields, and each is read as Parse reads it; any other line,
// a blank one included, is left to the field-by-field reading, which
// refuses what it must with its message.
class PlainLines {
 public:
  PlainLines(char separator, bool missing, std::size_t fields, const std::vector<std::size_t>& raterFields,
             bool frequencies)
      : separator_(separator), missing_(missing), role_(fields, kOther) {
    for (std::size_t r = 0; r < raterFields.size(); ++r) role_[raterFields[r]] = static_cast<int>(r);
    if (frequencies) role_.back() = kFrequency;
    // Ratings alone: every field a rating, rater by rater, after the
    // objects' names or not.
    named_ = fields > 0 && role_[0] == kOther;
    ratingsOnly_ = !frequencies;
    for (std::size_t f = named_ ? 1 : 0, r = 0; f < fields; ++f, ++r) {
      ratingsOnly_ = ratingsOnly_ && role_[f] == static_cast<int>(r);
    }
  }

  // Every field is a rating, rater by rater, but a first one that may name
  // the object: ParseRatings reads the lines.
  bool ratingsOnly() const { return ratingsOnly_; }

  // The line at `at`, which a line feed ends: its tuple in values[0 ..
  // R-1], the number of its missing ratings added to `missing`, its
  // frequency, and the largest class number in `largest`; returns the
  // start of the next line, or nullptr when the line is not plain.
  const char* Parse(const char* at, std::uint16_t* values, int& missing, std::uint32_t& frequency,
                    std::uint32_t& largest) const {
    const std::size_t count = role_.size();
    for (std::size_t f = 0;; ++f) {
      const int role = role_[f];
      const char* const start = at;
      if (role >= 0) {
        std::uint32_t value = 0;
        at = Rating(at, value, missing);
        if (at == nullptr) return nullptr;
        largest = std::max(largest, value);
        values[role] = static_cast<std::uint16_t>(value);
      } else if (role == kFrequency) {
        std::uint32_t value = 0;
        for (unsigned digit; (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at) value = value * 10 + digit;
        if (static_cast<std::size_t>(at - start) - 1 >= 9) return nullptr;
        frequency = value;
      } else {
        for (; !Ends(*at); ++at) {}
        if (at == start) return nullptr;
      }
      if (f + 1 == count) return LineEnd(at);
      if (!Separates(*at++)) return nullptr;
    }
  }

  // Parse for a line of ratings only (ratingsOnly()), which also packs the
  // tuple as the tuple counter does: `key` gets the values at `width` bits
  // each, rater 0 in the highest bits, and `top` their bitwise or.
  const char* ParseRatings(const char* at, std::uint16_t* values, int& missing, std::uint32_t& largest,
                           unsigned width, std::uint64_t& key, unsigned& top) const {
    if (named_) {
      const char* const start = at;
      for (; !Ends(*at); ++at) {}
      if (at == start || !Separates(*at++)) return nullptr;
    }
    const std::size_t count = role_.size() - (named_ ? 1 : 0);
    for (std::size_t r = 0;; ++r) {
      std::uint32_t value = 0;
      at = Rating(at, value, missing);
      if (at == nullptr) return nullptr;
      largest = std::max(largest, value);
      values[r] = static_cast<std::uint16_t>(value);
      key = key << width | value;
      top |= value;
      if (r + 1 == count) return LineEnd(at);
      if (!Separates(*at++)) return nullptr;
    }
  }

 private:
  enum : int { kOther = -1, kFrequency = -2 };

  // A rating field at `at`: a class number of one to four digits, or, with
  // missing ratings, an empty field, NA or . (value 0, counted in
  // `missing`). Returns the end of the field, or nullptr when it is not
  // plain.
  const char* Rating(const char* at, std::uint32_t& value, int& missing) const {
    const char* const start = at;
    for (unsigned digit; (digit = static_cast<unsigned char>(*at) - 48u) <= 9; ++at) value = value * 10 + digit;
    const auto digits = static_cast<std::size_t>(at - start);
    if (digits - 1 < 4) {  // one to four digits
      return value - 1 < static_cast<std::uint32_t>(kMaxClasses) ? at : nullptr;
    }
    if (digits != 0 || !missing_) return nullptr;
    const char* const end = at[0] == 'N' && at[1] == 'A' ? at + 2  // a line feed ends the line, so at[1] is in it
                            : at[0] == '.'               ? at + 1
                            : separator_ == 0            ? nullptr  // no empty field between blanks
                                                         : at;
    if (end != nullptr) ++missing;
    return end;
  }
  // The end of a line's last field: the start of the next line.
  static const char* LineEnd(const char* at) {
    char c = *at++;
    if (c == '\r') c = *at++;
    return c == '\n' ? at : nullptr;
  }
  bool Separates(char c) const {
    return separator_ != 0 ? c == separator_ : c == ' ' || c == '\t' || c == ',' || c == ';';
  }
  // A byte that ends a field of any other kind (or makes the line not plain).
  bool Ends(char c) const {
    return c == separator_ || c == ' ' || c == '\t' || c == '"' || c == '\r' || c == '\n' ||
           (separator_ == 0 && (c == ',' || c == ';'));
  }

  char separator_;
  bool missing_;
  std::vector<int> role_;  // [field]: its rater, or kOther, or kFrequency
  bool named_ = false;     // the first field is not a rating
  bool ratingsOnly_ = false;
};

}  // namespace

// R is the number of rating fields of the first data line (all but the
// object's label and the frequency, or those that layout.columns names);
// every rating is a class number 1 .. 1000, or a label. The first fault in
// file order is reported, within a line the field count before the fields,
// left to right; the checks of the whole file come last. A raw file of more
// than 10^9 objects is refused at its first object beyond them, as the
// keyboard refuses such an n.
//
// The objects are not kept: each line goes straight into the counts of the
// response tuples. A line of plain digit fields is read in one pass; any
// other line is split into fields and checked field by field, which gives
// every message its field number. Field numbers count every field of the
// line.
//
// A header (layout.header) is kept until the first data line: it names the
// fields of that line's count, or, one field shorter or with an empty
// first cell (by the rules of CSV), the fields after a first column of row
// names, which then label the objects as layout.id does.
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
                        bool frequencies, FileGroups* groups) {
  DataLineReader reader(file, layout.separator);
  const bool missingRatings = layout.missing && !frequencies;
  ClassReader classes(layout, missingRatings);
  FileRatings data;
  FirstLineWatch watch(layout.csv() && !layout.header && !layout.noHeader);
  bool idColumn = layout.id;
  NamesWatch objectNames(layout.csv() && !layout.id && layout.columns.empty() && !frequencies);
  ScaleWatch scale(layout.csv() && layout.labels && layout.classes.empty() && !frequencies);
  const std::size_t trailing = frequencies ? 1 : 0;
  const char* const columns = frequencies ? "columns before the frequency" : "columns";
  std::vector<std::string> header;
  long long headerLine = 0;       // 0: no header (yet)
  std::size_t fieldsPerLine = 0;  // every line's field count, once known
  long long firstDataLine = 0;
  std::vector<std::size_t> raterFields;  // [rater]: its field
  std::size_t raters = 0;
  std::uint64_t dataLines = 0;
  std::uint64_t objects = 0;  // raw: every object, rated by every rater or not
  std::uint64_t total = 0;    // frequencies: stops growing once it is past kMaxObjects
  RowLines lines;
  std::vector<std::uint32_t> digits;  // the fields of a plain line
  std::vector<std::uint16_t> values;  // the line's tuple
  // With a group column: its field, the groups, what was read of each and
  // their objects (raw: lines; frequencies: the sum, which stops growing
  // past kMaxObjects).
  const bool grouped = groups != nullptr && !layout.group.empty();
  std::size_t groupField = 0;
  GroupNames groupNames;
  std::vector<FileRatings> groupData;
  std::vector<std::uint64_t> groupObjects;
  std::optional<PlainLines> plainLines;  // once the first line of data is known
  // Lines of ratings alone counted on a side thread, where the layout
  // allows one; the counters are the reading's again after Drain.
  std::optional<SideCounting> sideCounting;
  const bool sideAllowed = SideThreadAllowed(layout);
  auto drain = [&sideCounting]() {
    if (sideCounting) sideCounting->Drain();
  };
  ReadOutcome refusal;
  // Counts the tuple of a data line (`values`, with `missing` missing
  // ratings, and the row's `frequency` in a frequencies file); false, with
  // `refusal`, when the line is refused. `id` names a kept object.
  // `lineGroup` is the line's group where the file has a group column.
  auto countLine = [&](long long line, std::uint32_t frequency, int missing, std::string_view id,
                       std::size_t lineGroup) {
    if (frequencies) {
      drain();
      if (data.rows == UINT32_MAX) throw std::bad_alloc();  // more rows than any memory holds
      // With groups a tuple comes once in each group, and the whole file
      // adds the groups' rows of it.
      TupleCounter& counter = grouped ? *groupData[lineGroup].complete : *data.complete;
      if (const auto earlier = counter.Add(values.data(), frequency, data.rows)) {
        refusal = Refused(FaultAt(line, 0, Format("the same responses as line %d", {lines.LineOf(*earlier)}) +
                                               (grouped ? " in the same group" : "")),
                          name);
        return false;
      }
      if (grouped) {
        data.complete->Add(values.data(), frequency, data.rows);
        ++groupData[lineGroup].rows;
        std::uint64_t& sum = groupObjects[lineGroup];
        if (sum <= kMaxObjects) sum += frequency;
      }
      lines.Add(data.rows, line);
      ++data.rows;
      if (total <= kMaxObjects) total += frequency;
      return true;
    }
    if (objects == kMaxObjects) {
      refusal = Refused(FaultAt(line, 0, "more than 1000000000 objects (lines)"), name);
      return false;
    }
    ++objects;
    objectNames.Add(values);
    scale.Add(values);
    data.KeepObject(values.data(), line, id);
    for (FileRatings* counted : {&data, grouped ? &groupData[lineGroup] : nullptr}) {
      if (counted == nullptr) continue;
      if (sideCounting && counted == &data) {
        sideCounting->Add(values.data(), missing == 0);
      } else if (missing > 0) {
        counted->incomplete->AddObject(values.data());
      } else {
        counted->complete->AddObject(values.data());
      }
      if (missing > 0) {
        counted->missingRatings += missing;
      } else {
        ++counted->completeObjects;
      }
    }
    if (grouped) ++groupObjects[lineGroup];
    return true;
  };
  // Kept objects of a raw file keep their name from the id field as written
  // (keepIds below), which the fast paths of digits do not keep.
  while (true) {
    if (!plainLines && fieldsPerLine != 0 && !grouped && !classes.labels() &&
        !(layout.keepObjects && idColumn && !frequencies)) {
      plainLines.emplace(reader.separator(), missingRatings, fieldsPerLine, raterFields, frequencies);
    }
    if (plainLines) {
      const std::string_view ahead = reader.Ahead();
      const char* at = ahead.data();
      const char* const end = at + ahead.size();
      const long long before = reader.linesRead();  // lineNumber() is the first of a quoted line break
      long long taken = 0;
      std::uint32_t largest = 0;
      // Lines of ratings alone, once no watch needs them, go straight into
      // the counters, packed as they are read. A line that ParseRatings does
      // not take, and the object past the limit, go the way of any plain
      // line.
      const bool ratingsAlone = plainLines->ratingsOnly() && !data.objects.kept;
      auto countRatings = [&]() {
        TupleCounter& complete = *data.complete;
        if (!sideCounting && sideAllowed) {
          sideCounting.emplace(static_cast<int>(raters), complete, data.incomplete.get());
        }
        SideCounting* const side = sideCounting ? &*sideCounting : nullptr;
        while (at != end && objects < kMaxObjects) {
          int missing = 0;
          const int width = side != nullptr ? side->width() : complete.width();
          std::uint64_t key = 0;
          unsigned top = 0;
          const char* const next = plainLines->ParseRatings(at, values.data(), missing, largest,
                                                            static_cast<unsigned>(width), key, top);
          if (next == nullptr) return;
          ++dataLines;
          ++taken;
          ++objects;
          if (side != nullptr) {
            side->Add(key, top, values.data(), missing == 0);
          } else if (missing > 0) {
            data.incomplete->AddObject(key, width, top, values.data());
          } else {
            complete.AddObject(key, width, top, values.data());
          }
          if (missing > 0) {
            data.missingRatings += missing;
          } else {
            ++data.completeObjects;
          }
          at = next;
        }
      };
      while (at != end) {
        if (ratingsAlone && !objectNames.on()) {
          countRatings();
          if (at == end) break;
        }
        std::uint32_t frequency = 0;
        int missing = 0;
        const char* const next = plainLines->Parse(at, values.data(), missing, frequency, largest);
        if (next == nullptr) break;
        ++dataLines;
        ++taken;
        if (!countLine(before + taken, frequency, missing, std::string_view(), 0)) return refusal;
        at = next;
      }
      classes.Note(largest);
      reader.Skip(static_cast<std::size_t>(at - ahead.data()), taken);
    }
    const LineStatus status = reader.NextLine();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return Refused(reader.Fault(status), name);
    const long long line = reader.lineNumber();
    if (layout.header && headerLine == 0) {
      if (reader.Split() != LineStatus::kLine) return Refused(reader.Fault(LineStatus::kFieldFault), name);
      header.assign(reader.fields().begin(), reader.fields().end());
      headerLine = line;
      continue;
    }
    ++dataLines;
    std::uint32_t frequency = 0;
    int missing = 0;
    std::uint32_t lineGroup = 0;
    const bool keepIds = layout.keepObjects && idColumn && !frequencies;
    bool plain = fieldsPerLine != 0 && !classes.labels() && !keepIds && !grouped &&
                 DigitFields(reader.line(), digits.data(), fieldsPerLine, reader.separator());
    if (plain) {
      std::uint32_t largest = 0;
      for (std::size_t r = 0; r < raters; ++r) {
        const std::uint32_t value = digits[raterFields[r]];
        if (value < 1 || value > static_cast<std::uint32_t>(kMaxClasses)) plain = false;
        values[r] = static_cast<std::uint16_t>(value);
        largest = std::max(largest, value);
      }
      if (plain) classes.Note(largest);
      if (frequencies) frequency = digits[fieldsPerLine - 1];  // nine digits at most: below 10^9
    }
    if (!plain) {
      if (reader.Split() != LineStatus::kLine) return Refused(reader.Fault(LineStatus::kFieldFault), name);
      const auto& fields = reader.fields();
      const std::size_t count = fields.size();
      if (fieldsPerLine == 0) {
        std::vector<std::string> names;
        if (headerLine != 0) {
          bool rowNames = false;
          if (!AlignHeader(header, count, names, rowNames) || (count != header.size() && !layout.csv())) {
            return Refused(CountFault(layout, reader,
                                      Format("%d fields where the first line has %d",
                                             {static_cast<long long>(count), static_cast<long long>(header.size())}),
                                      header.size()),
                           name);
          }
          if (rowNames && !idColumn && layout.csv()) {
            idColumn = true;
            objectNames = NamesWatch(false);
            data.rowNames = count > header.size()
                                ? "the first column names the objects: the header has no name for it, as R's "
                                  "write.table writes row names"
                                : "the first column names the objects: its header cell is empty, as R's write.csv "
                                  "and pandas' to_csv write row names";
          }
        }
        const std::size_t from = idColumn ? 1 : 0;
        if (grouped) {
          const std::string why = ChooseGroupColumn(layout.group, names, count, groupField, data.warnings);
          if (!why.empty()) return Refused(FaultAt(0, 0, why), name);
          if (groupField < from || groupField + trailing >= count) {
            return Refused(FaultAt(0, 0, "--by: column " + std::to_string(groupField + 1) +
                                             (groupField < from ? " names the objects" : " holds the frequencies")),
                           name);
          }
        }
        if (!layout.columns.empty()) {
          const std::string why = ChooseColumns(layout.columns, names, count, "--raters", raterFields, data.warnings);
          if (!why.empty()) return Refused(FaultAt(0, 0, why), name);
          for (const std::size_t f : raterFields) {
            if (f < from || f + trailing >= count || (grouped && f == groupField)) {
              return Refused(FaultAt(0, 0, "--raters: column " + std::to_string(f + 1) +
                                               (f < from              ? " names the objects"
                                                : f + trailing < count ? " holds the groups (--by)"
                                                                       : " holds the frequencies")),
                             name);
            }
          }
        } else {
          raterFields.clear();
          for (std::size_t f = from; f + trailing < count; ++f) {
            if (!grouped || f != groupField) raterFields.push_back(f);
          }
        }
        const std::size_t found = raterFields.size();
        if (found < 2) return Refused(Format("at least 2 raters (%s) are needed", {columns}), name);
        if (found > static_cast<std::size_t>(kMaxRaters)) {
          return Refused(Format("at most 1000 raters (%s) can be analysed", {columns}), name);
        }
        fieldsPerLine = count;
        firstDataLine = line;
        raters = found;
        digits.assign(fieldsPerLine, 0);
        values.assign(raters, 0);
        data.Start(static_cast<int>(raters), missingRatings, layout.keepObjects && !frequencies);
        if (headerLine != 0) {
          const std::size_t shift = count - header.size();  // 1 when the header has no name for the row names
          for (const std::size_t f : raterFields) {
            if (names[f].empty()) return Refused(FaultAt(headerLine, static_cast<int>(f - shift + 1), "the field is empty"), name);
            data.raterNames.push_back(names[f]);
          }
        }
      } else if (count != fieldsPerLine) {
        if (watch.on() && dataLines == 2 && count == fieldsPerLine + 1) {
          return Refused(FaultOf(ReadFault::Kind::kLooksLikeHeader, 1, 0,
                                 "it looks like a header: it has one field fewer than the line below it, as R writes "
                                 "a header above row names"),
                         name);
        }
        // Lines below a header that has no name for the row names are
        // compared with the first line of data.
        const std::string where = headerLine != 0 && header.size() != fieldsPerLine
                                      ? Format("line %d", {firstDataLine})
                                      : std::string("the first line");
        return Refused(CountFault(layout, reader, Format("%d fields where %s has %d", {static_cast<long long>(count), where,
                                                                                        static_cast<long long>(fieldsPerLine)}),
                                  fieldsPerLine),
                       name);
      }
      if (idColumn && fields[0].empty()) {
        const ReadFault fault = FaultAt(line, 1, "the field is empty");
        return Refused(watch.on() && dataLines == 1 ? watch.Refused(fault, reader) : fault, name);
      }
      for (std::size_t r = 0; r < raters; ++r) {
        const std::size_t f = raterFields[r];
        const ClassReader::Status read = classes.Read(fields[f], values[r], reader.quoted(f));
        if (read == ClassReader::Status::kMissing) {
          ++missing;
        } else if (read != ClassReader::Status::kClass) {
          const ReadFault fault = classes.Fault(read, fields[f], line, static_cast<int>(f + 1));
          return Refused(watch.on() && dataLines == 1 ? watch.Refused(fault, reader) : fault, name);
        }
      }
      if (frequencies) {
        const std::string_view field = fields[count - 1];
        const int number = static_cast<int>(count);
        if (field.empty()) return Refused(FaultAt(line, number, "the field is empty"), name);
        const auto value = WholeField(field, kMaxObjects, layout.zeroFractions);
        if (!value) return Refused(FaultAt(line, number, "not a frequency (a whole number from 0 to 1000000000)"), name);
        frequency = static_cast<std::uint32_t>(*value);
      }
      if (grouped) {
        bool added = false;
        std::uint32_t group = 0;
        if (const auto fault = groupNames.Read(fields[groupField], line, static_cast<int>(groupField + 1), group, added)) {
          return Refused(*fault, name);
        }
        if (added) {
          groupData.emplace_back().Start(static_cast<int>(raters), missingRatings);
          groupObjects.push_back(0);
        }
        lineGroup = group;
      }
      if (watch.on() && classes.labels()) {
        if (dataLines == 1) {
          watch.First(line, values);
        } else {
          watch.Next(values);
        }
      }
    }
    if (!countLine(line, frequency, missing, keepIds ? reader.fields()[0] : std::string_view(), lineGroup)) {
      return refusal;
    }
  }
  drain();
  if (watch.on() && classes.labels()) {
    if (const std::optional<ReadFault> fault = watch.LabelsFault()) return Refused(*fault, name);
  }
  data.classes = classes.Finish(data.classOfCode);
  // A shard of a larger file that holds no line adds nothing; the checks of
  // the whole (2 objects, 2 classes) wait for the sum.
  if (layout.part && fieldsPerLine == 0) {
    tb = ObservedData{};
    tb.entrada = EntryMode::kFrequencyFile;
    return {};
  }
  const bool whole = !layout.part;
  if (frequencies) {
    if (total < 2 && whole) return Refused("the frequencies must add up to at least 2 objects", name);
    if (total > kMaxObjects) return Refused("the frequencies add up to more than 1000000000 objects", name);
    data.completeObjects = total;
  } else if (objects < 2) {
    return Refused("at least 2 objects (lines) are needed", name);
  }
  if (data.classes.K < 2 && whole) return Refused("at least 2 classes are needed", name);
  if (layout.ordered && layout.classes.empty() && classes.labels() && !classes.numbersOnly()) {
    return Refused(OrderUnknown(classes.labelsInFileOrder()), name);
  }
  if (const auto warning = objectNames.Warning(data.raterNames.empty() ? "" : data.raterNames[0])) {
    data.warnings.push_back(*warning);
  }
  if (const auto warning = scale.Warning(raterFields, data.raterNames)) data.warnings.push_back(*warning);
  const EntryMode mode = frequencies ? EntryMode::kFrequencyFile : EntryMode::kRawFile;
  if (grouped) {
    // Every group on the file's classes and raters.
    groups->names = groupNames.all();
    groups->data.assign(groupData.size(), ObservedData{});
    for (std::size_t g = 0; g < groupData.size(); ++g) {
      if (groupObjects[g] < 2 && whole) {
        return Refused(InGroup(groups->names[g], frequencies ? "the frequencies must add up to at least 2 objects"
                                                             : "at least 2 objects (lines) are needed"),
                       name);
      }
      if (groupObjects[g] > kMaxObjects) {
        return Refused(InGroup(groups->names[g], "the frequencies add up to more than 1000000000 objects"), name);
      }
      FileRatings& group = groupData[g];
      if (frequencies) group.completeObjects = groupObjects[g];
      group.raterNames = data.raterNames;
      group.rowNames = data.rowNames;
      group.classes = data.classes;
      group.classOfCode = data.classOfCode;
      StoreObservedData(groups->data[g], std::move(group), mode, sideAllowed);
    }
  }
  StoreObservedData(tb, std::move(data), mode, sideAllowed);
  return {};
}

}  // namespace zover
