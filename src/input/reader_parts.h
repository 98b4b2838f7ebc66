#pragma once
// The parts that every reader of observed data is built from: the classes
// of the ratings (numbers or labels), names in the order they appear, the
// line of every row, and what a reader has read before it goes into the
// working tables (in one place, StoreObservedData).

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "input/input.h"
#include "input/text_fields.h"
#include "input/tuple_counter.h"

namespace zover {

// A fault at a line (0: the whole file) and field (0: the whole line).
inline ReadFault FaultAt(long long line, int field, std::string what) {
  ReadFault fault;
  fault.line = line;
  fault.field = field;
  fault.what = std::move(what);
  return fault;
}

// A fault of the given kind.
inline ReadFault FaultOf(ReadFault::Kind kind, long long line, int field, std::string what) {
  ReadFault fault = FaultAt(line, field, std::move(what));
  fault.kind = kind;
  return fault;
}

// The refusal of the current line of `reader` for its field count (`what`),
// where `count` fields were expected. When the first line chose the
// separator and the dialogue's rule of blanks would give the line `count`
// fields, it says so (ReadFault::Kind::kSeparators).
ReadFault CountFault(const FileLayout& layout, const DataLineReader& reader, std::string what, std::size_t count);

// Whether a field is a number (NumberField) or a mark of a missing rating
// (empty, NA or .), as every field below a header of a numeric file is.
bool NumberOrMark(std::string_view field);

// The header's names of the fields of a data line of `count` fields: the
// header's own when it has `count` fields, shifted by one when it is one
// shorter (R's header above row names). `rowNames` is set when the first
// column then holds row names: a header one field shorter, or one whose
// first cell is empty. False when the header fits neither.
bool AlignHeader(const std::vector<std::string>& header, std::size_t count, std::vector<std::string>& names,
                 bool& rowNames);

// The fields that `wanted` names, each by its name in the header (`names`,
// empty without a header) or by its number from 1 among `count` fields,
// into `fields`. A name is looked up first; a number that is also the name
// of another column reads the named one, and a warning says so. Returns what is
// wrong ("" when nothing): a name that no column or several columns have, a
// number beyond the line, a column given twice. `option` names the option
// in the texts.
std::string ChooseColumns(const std::vector<std::string>& wanted, const std::vector<std::string>& names,
                          std::size_t count, const char* option, std::vector<std::size_t>& fields,
                          std::vector<std::string>& warnings);

// Texts for a message: each in double quotes (QuotedText), separated by
// ", ", at most `shown` of them and then "...".
std::string QuotedList(const std::vector<std::string>& texts, std::size_t shown = 20);

// The refusal of ordered classes given as text labels without their order:
// the labels in the order the file first holds them, as --classes takes them.
ReadFault OrderUnknown(const std::vector<std::string>& labelsInFileOrder);

// A refusal of the file `name`, with the dialogue's text of it.
ReadOutcome Refused(ReadFault fault, const std::string& name);
inline ReadOutcome Refused(const std::string& what, const std::string& name) { return Refused(FaultAt(0, 0, what), name); }

// Whether a reader may hand part of its work to a side thread (one per
// core unless layout.threads says; a single core gains nothing).
inline bool SideThreadAllowed(const FileLayout& layout) { return SideThreadAllowed(layout.threads); }

// Whether two short texts are the same, byte by byte in line: the names of
// a file are a few bytes long, too short for a call of memcmp to pay.
inline bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Names in the order they first appear, each with its index from 0: the
// objects and raters of a long file, the labels of the classes. The names
// are kept once, one after another in one block of bytes, and found through
// an open-addressing table whose slots hold what a lookup needs (the hash,
// the length and the first 20 bytes of the name). Beside the slots a byte
// a slot, its tag (7 bits of the hash, 0 for a free slot), is read first:
// the tags of millions of names take a few megabytes, which the processor's
// caches hold, where the slots take tens. So finding a name costs one read
// of a slot, that of the name (a second one only for a longer name), and a
// name not in the table, most often, none. A reader that knows its next
// names early asks for their tags first (Prefetch), then for the slot the
// tags point to (Near), and finds each name from there, so that the memory
// of several lookups arrives at once.
//
// The hash is keyed by a seed drawn once a run from the system's random
// source, as the tuple counter's is, so that a file cannot choose the slots
// of its names: names made to share one hash (for a fixed, public hash
// function such names are easily made) would make every lookup walk past
// all of them. Indices follow the order of the names, whatever the seed.
class NameIndex {
 public:
  NameIndex();
  static std::uint32_t HashOf(std::string_view name);
  // The index of `name` and whether it is new (then added at the end).
  std::pair<std::uint32_t, bool> Add(std::string_view name) { return Add(name, HashOf(name)); }
  // The same with the name's HashOf.
  std::pair<std::uint32_t, bool> Add(std::string_view name, std::uint32_t hash);
  std::optional<std::uint32_t> Find(std::string_view name) const { return Find(name, HashOf(name)); }
  std::optional<std::uint32_t> Find(std::string_view name, std::uint32_t hash) const {
    return Find(name, hash, hash & (slots_.size() - 1));
  }
  // A lookup in steps, while the table does not change: Prefetch asks for
  // the memory of the tags where a name of this hash is looked up; Near
  // then gives the first slot there whose tag is the name's, or that is
  // free, asking for its memory; Find looks from that slot on.
  void Prefetch(std::uint32_t hash) const { __builtin_prefetch(&tags_[hash & (slots_.size() - 1)]); }
  std::uint32_t Near(std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint8_t tag = TagOf(hash);
    std::size_t at = hash & mask;
    while (tags_[at] != 0 && tags_[at] != tag) at = (at + 1) & mask;
    __builtin_prefetch(&slots_[at]);  // the name's, or the free slot that Add would fill
    return static_cast<std::uint32_t>(at);
  }
  std::optional<std::uint32_t> Find(std::string_view name, std::uint32_t hash, std::uint32_t near) const;
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::uint32_t index) const {
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(bytes_.data() + begin, ends_[index] - begin);
  }

 private:
  static constexpr std::size_t kHead = 20;
  struct alignas(32) Slot {
    std::uint32_t hash = 0;    // the name's hash
    std::uint32_t length = 0;  // of the name
    std::uint32_t index = 0;   // the name's index
    char head[kHead] = {};     // the name's first bytes, zeros after a shorter name
  };
  // A slot's tag: the top bits of the hash (the low bits pick the slot),
  // with the top bit set, so that no tag is 0.
  static std::uint8_t TagOf(std::uint32_t hash) { return static_cast<std::uint8_t>(0x80u | hash >> 25); }

  // The slot of `name`, or the free slot where it belongs, looking from
  // slot `at` on: the home slot of its hash, or one that no slot between
  // them can be.
  std::size_t SlotOf(std::string_view name, std::uint32_t hash, std::size_t at) const;
  void Grow();

  std::string bytes_;
  std::vector<std::size_t> ends_;   // [index]: where the name ends in bytes_
  std::vector<std::uint8_t> tags_;  // [slot]: its tag, 0 when free
  std::vector<Slot> slots_;         // a power of two
};

// The groups of a file with a group column (FileLayout::group), as its
// lines are read: each group by the text of its field, in the order of
// first appearance, at most kMaxGroups of them.
class GroupNames {
 public:
  // The group of a line whose group field (number `number` from 1) holds
  // `field`, and whether it is new; a fault for an empty field or a group
  // beyond kMaxGroups.
  std::optional<ReadFault> Read(std::string_view field, long long line, int number, std::uint32_t& group,
                                bool& added);
  std::size_t size() const { return names_.size(); }
  std::string name(std::uint32_t group) const { return std::string(names_[group]); }
  std::vector<std::string> all() const;

 private:
  NameIndex names_;
};

// The one column of a group (--by) among `count` fields, by its name in the
// header (`names`) or its number; "" or what is wrong.
std::string ChooseGroupColumn(const std::string& wanted, const std::vector<std::string>& names, std::size_t count,
                              std::size_t& field, std::vector<std::string>& warnings);

// A refusal of one group: "group "x": " and what is wrong.
std::string InGroup(const std::string& group, const std::string& what);

// The classes of a data file after it has been read.
struct ClassSet {
  int K = 0;
  std::vector<std::string> labels;  // [class]: empty when the ratings are class numbers
  std::vector<double> values;       // [class]: the labels' values, when every label is a number
};

// Reads the ratings of a data file as classes. Without labels a rating is a
// class number from 1 to 1000 and K is the largest one read. With labels
// (layout.labels) every rating is a label, any text; a label that is a
// number (NumberField) is its exact value (ExactNumber: its digits, not the
// nearest double), so that "1" and "1.0" are one class, shown as it was
// first written, and "12345678901234567" and "12345678901234568" are two.
// The classes are the distinct labels, ordered by value when every label is
// a number and by their bytes otherwise. With a list of classes
// (layout.classes) the labels, their order and K are the list's, and a
// rating not in it is refused. By the rules of CSV (layout.csv()) an
// unquoted NA or . is refused where missing ratings are not read: it is
// R's, SAS's or Stata's mark of a missing rating, not a class.
//
// While the file is read a label is known by its code, 1 ... in the order
// of first appearance (the position in a list); Finish() gives the class of
// every code.
class ClassReader {
 public:
  enum class Status { kClass, kMissing, kEmpty, kNotClassNumber, kNotListed, kTooManyLabels, kMissingMark };

  // `missing`: an empty field, NA or . is a missing rating.
  ClassReader(const FileLayout& layout, bool missing);

  bool labels() const { return labels_; }

  // The value of one rating: a class number, or a label's code; 0 for a
  // missing rating. `quoted`: the field was in double quotes.
  Status Read(std::string_view field, std::uint16_t& value, bool quoted = false);

  // Notes a class number read elsewhere (a reader's fast path of digits).
  void Note(std::uint32_t classNumber) {
    if (classNumber > largest_) largest_ = classNumber;
  }

  // The refusal of a rating that Read did not take.
  ReadFault Fault(Status status, std::string_view field, long long line, int number) const;

  // The classes; for labels also classOfCode[code] = the class (1 .. K) of
  // every code (empty when the codes are the classes already).
  ClassSet Finish(std::vector<std::uint16_t>& classOfCode) const;

  // The labels read so far in the order they first appear (code 1 first),
  // and whether every one is a number.
  const std::vector<std::string>& labelsInFileOrder() const { return spelled_; }
  bool numbersOnly() const { return numbersOnly_; }

 private:
  // The code of a label, given it when it is new and `add` allows and
  // there is room; 0 for a new label that gets no code.
  std::uint16_t CodeOf(std::string_view field, bool add);

  bool labels_;
  bool fixed_;
  bool missing_;
  bool zeroFractions_;
  bool marks_;  // an unquoted NA or . is refused (the rules of CSV without --missing)
  bool numbersOnly_ = true;
  std::uint32_t largest_ = 0;  // the largest class number read
  NameIndex texts_;                                 // labels that are no number
  std::vector<std::uint16_t> textCodes_;            // [text index]: its code
  std::unordered_map<std::string, std::uint16_t> numbers_;  // labels that are numbers, by ExactNumber
  std::vector<std::string> spelled_;                // [code - 1]: the label as first written
  std::vector<std::string> exact_;                  // [code - 1]: its ExactNumber, "" for text
  std::vector<double> values_;                      // [code - 1]: its value, NaN for text
  // Labels read lately with their codes (0: none), for Read.
  struct Recent {
    std::string label;
    std::uint16_t code = 0;
  };
  static constexpr std::size_t kRecent = 64;
  std::array<Recent, kRecent> recent_;
};

// The line of every data row, by its number among the rows: kept as the
// rows where the line numbers jump (after the first line, a blank line or a
// header), so that a file without blank lines needs almost nothing.
class RowLines {
 public:
  // Rows come in increasing order.
  void Add(std::uint64_t row, long long line) {
    if (jumps_.empty() || jumps_.back().line + static_cast<long long>(row - jumps_.back().row) != line) {
      jumps_.push_back({row, line});
    }
  }
  long long LineOf(std::uint64_t row) const;

 private:
  struct Jump {
    std::uint64_t row;
    long long line;
  };
  std::vector<Jump> jumps_;
};

// What a reader of observed data has read: the response tuples of the
// objects that every rater rated (or of the rows of a frequencies file, each
// weighted by its frequency), the tuples of the others with 0 for a missing
// rating, and what describes them. Tuples hold the codes of ClassReader.
struct FileRatings {
  int raters = 0;
  std::unique_ptr<TupleCounter> complete;
  std::unique_ptr<TupleCounter> incomplete;  // with missing ratings only
  std::uint64_t completeObjects = 0;         // n
  double missingRatings = 0;
  std::uint32_t rows = 0;                    // the rows of a frequencies file
  std::vector<std::string> raterNames;       // empty without names
  std::string rowNames;                      // how row names were read, when no option named them
  std::vector<std::string> warnings;
  ClassSet classes;
  std::vector<std::uint16_t> classOfCode;    // from ClassReader::Finish
  RatedObjects objects;                      // every object, when kept (codes, not yet classes)

  void Start(int raterCount, bool withMissing, bool keepObjects = false) {
    raters = raterCount;
    complete = std::make_unique<TupleCounter>(raterCount);
    if (withMissing) incomplete = std::make_unique<TupleCounter>(raterCount);
    objects.kept = keepObjects;
    objects.raters = raterCount;
  }
  // Keeps one object, when objects are kept: its R values, its line and its
  // name (empty in a file that names no object; a file that does names
  // every one).
  void KeepObject(const std::uint16_t* values, long long line, std::string_view id) {
    if (!objects.kept) return;
    objects.ratings.insert(objects.ratings.end(), values, values + raters);
    objects.lines.push_back(line);
    if (!id.empty()) objects.ids.emplace_back(id);
  }
};

// The objects with missing ratings (0 in their tuples, class numbers
// 1 .. K otherwise), as the rating patterns of tb.incomplete; `threaded`:
// many tuples are shared out to two threads.
void KeepIncomplete(ObservedData& tb, const TupleCounts& tuples, int raters, bool threaded = false);

// The one place where what a data file held goes into the observed data:
// the entry mode, frec, the incomplete tuples and patterns and the kept
// objects (in class numbers), maxclase, nraters, K, R, Norg, contextra, the
// missing ratings, the rater names and the class labels. `threaded`: many
// tuples are sorted and patterned on two threads.
void StoreObservedData(ObservedData& tb, FileRatings&& data, EntryMode mode, bool threaded = false);

// The raw and frequencies layouts, one skeleton: a line per object (raw) or
// per response tuple with its frequency in the last field. The first line
// sets the field count of every line (layout.header: it names the raters);
// layout.id skips a first field that labels the object.
ReadOutcome ReadColumns(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout,
                        bool frequencies, FileGroups* groups = nullptr);

}  // namespace zover
