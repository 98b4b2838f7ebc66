// The long layout, as annotation tools export ratings: one line per rating,
// holding the object, the rater and the rating, the lines in any order.

#include <array>
#include <memory>
#include <new>

#include "console/format.h"
#include "input/reader_parts.h"
#include "tables/limits.h"

namespace zover {

namespace {

// One line of the file: its object and rater by their index in order of
// first appearance, and the rating (a ClassReader value, 0 when missing).
struct Rating {
  std::uint32_t object;
  std::uint16_t rater;
  std::uint16_t value;
};

// The ratings in file order, in blocks, so that growing never moves what is
// kept (a vector that doubles needs one and a half times its size while it
// moves).
class RatingList {
 public:
  void Add(const Rating& rating) {
    if (size_ == UINT32_MAX) throw std::bad_alloc();  // more lines than any memory holds
    if ((size_ & (kBlock - 1)) == 0) {
      blocks_.emplace_back();
      blocks_.back().reserve(kBlock);
    }
    blocks_.back().push_back(rating);
    ++size_;
  }
  const Rating& operator[](std::uint32_t i) const { return blocks_[i >> kShift][i & (kBlock - 1)]; }
  std::uint32_t size() const { return size_; }

 private:
  static constexpr int kShift = 16;
  static constexpr std::uint32_t kBlock = 1u << kShift;
  std::vector<std::vector<Rating>> blocks_;
  std::uint32_t size_ = 0;
};

// The earliest line that rates a pair again, with the line that rated it
// first, as indices of ratings.
struct Repeat {
  std::uint32_t first = 0;
  std::uint32_t again = UINT32_MAX;  // none
};

// Puts every object's ratings together, in file order, and counts each
// object's tuple (0 for a rater who gave it no rating) into `data`, which
// also keeps the object when it keeps objects (named `names`, at the line of
// its first rating); returns the earliest repeated pair, if any. An object
// costs O(its ratings).
Repeat CountObjects(const RatingList& ratings, std::size_t objects, FileRatings& data, const NameIndex& names,
                    const RowLines& lines) {
  constexpr std::uint32_t kAhead = 8;
  std::vector<std::uint32_t> start(objects + 1, 0);  // [object]: its first place in `order`
  for (std::uint32_t i = 0; i < ratings.size(); ++i) ++start[ratings[i].object + 1];
  for (std::size_t o = 0; o < objects; ++o) start[o + 1] += start[o];
  // Rating indices, object by object (each one written before it is read).
  const std::unique_ptr<std::uint32_t[]> order(new std::uint32_t[ratings.size()]);
  {
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::uint32_t i = 0; i < ratings.size(); ++i) order[next[ratings[i].object]++] = i;
  }
  const auto raters = static_cast<std::size_t>(data.raters);
  std::vector<std::uint16_t> tuple(raters, 0);
  std::vector<std::uint32_t> seen(raters, 0);   // [rater]: 1 + the object it last rated
  std::vector<std::uint32_t> where(raters, 0);  // [rater]: the rating of that object
  Repeat repeat;
  for (std::size_t o = 0; o < objects; ++o) {
    int missing = static_cast<int>(raters);
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) {
      // The ratings of an object lie anywhere in the file: ask for those a
      // few steps ahead.
      if (at + kAhead < ratings.size()) __builtin_prefetch(&ratings[order[at + kAhead]]);
      const Rating& rating = ratings[order[at]];
      if (seen[rating.rater] == o + 1) {
        if (order[at] < repeat.again) repeat = {where[rating.rater], order[at]};
        continue;
      }
      seen[rating.rater] = static_cast<std::uint32_t>(o + 1);
      where[rating.rater] = order[at];
      tuple[rating.rater] = rating.value;
      if (rating.value != 0) --missing;
    }
    if (data.objects.kept) {
      data.KeepObject(tuple.data(), lines.LineOf(order[start[o]]), names[static_cast<std::uint32_t>(o)]);
    }
    if (missing == 0) {
      data.complete->AddObject(tuple.data());
      ++data.completeObjects;
    } else {
      data.incomplete->Add(tuple.data());
      data.missingRatings += missing;
    }
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) tuple[ratings[order[at]].rater] = 0;
  }
  return repeat;
}

// Lines whose object is not looked up yet. In a file that comes rater by
// rater every line's object lies somewhere else in the table of names, and
// each lookup waits for memory; asking for the slots of the next lines
// first lets that memory arrive together. The lines are settled in file
// order, so objects still take their indices in order of first appearance.
class WaitingLines {
 public:
  struct Line {
    std::string object;  // the object's name, unless `same`
    bool same = false;   // the object of the line before
    std::uint32_t hash = 0;
    Rating rating{};
    long long line = 0;
  };

  static constexpr std::size_t kDepth = 16;

  bool full() const { return count_ == kDepth; }
  bool empty() const { return count_ == 0; }
  // A place for the next line, after the others.
  Line& Push() { return lines_[(first_ + count_++) % kDepth]; }
  // The oldest line, taken out.
  Line& Pop() {
    Line& line = lines_[first_];
    first_ = (first_ + 1) % kDepth;
    --count_;
    return line;
  }

 private:
  std::array<Line, kDepth> lines_;
  std::size_t first_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

// Every line holds three fields. The first fault of a line in file order is
// reported, within a line left to right. Then, once the whole file is read:
// fewer than 2 raters; a pair given twice (the earliest repeat); fewer than
// 2 objects or classes.
ReadOutcome ReadLongFile(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout) {
  DataLineReader reader(file);
  ClassReader classes(layout, layout.missing);
  NameIndex objects, raters;
  RatingList ratings;
  RowLines lines;
  WaitingLines waiting;
  bool header = layout.header;
  std::string previous;  // the last line's object
  std::uint32_t object = 0;
  long long tooMany = 0;  // the line of the object beyond kMaxObjects
  // Settles the oldest waiting line: finds its object and keeps its rating.
  auto settle = [&]() {
    WaitingLines::Line& waited = waiting.Pop();
    if (!waited.same) {
      const auto [index, added] = objects.Add(waited.object, waited.hash);
      if (added && objects.size() > kMaxObjects) tooMany = waited.line;
      object = index;
    }
    waited.rating.object = object;
    lines.Add(ratings.size(), waited.line);
    ratings.Add(waited.rating);
    return tooMany == 0;
  };
  // A fault of a line: the lines before it are settled first, which may
  // find an earlier fault.
  auto refuse = [&](ReadFault fault) {
    while (!waiting.empty() && settle()) {}
    if (tooMany != 0) return Refused(FaultAt(tooMany, 1, "more than 1000000000 objects"), name);
    return Refused(std::move(fault), name);
  };
  while (true) {
    const LineStatus status = reader.Next();
    if (status == LineStatus::kEnd) break;
    if (status != LineStatus::kLine) return refuse(reader.Fault(status));
    const long long line = reader.lineNumber();
    const auto& fields = reader.fields();
    if (fields.size() != 3) {
      return refuse(FaultAt(line, 0, Format("%d fields where the long layout has 3 (object, rater, rating)",
                                            {static_cast<long long>(fields.size())})));
    }
    if (header) {
      header = false;
      continue;
    }
    for (int f = 0; f < 2; ++f) {
      if (fields[f].empty()) return refuse(FaultAt(line, f + 1, "the field is empty"));
    }
    Rating rating{};
    const ClassReader::Status read = classes.Read(fields[2], rating.value);
    if (read != ClassReader::Status::kClass && read != ClassReader::Status::kMissing) {
      return refuse(classes.Fault(read, fields[2], line, 3));
    }
    const auto [rater, added] = raters.Add(fields[1]);
    if (added && raters.size() > static_cast<std::size_t>(kMaxRaters)) {
      return refuse(FaultAt(line, 2, "more than 1000 raters: at most 1000 raters can be analysed"));
    }
    rating.rater = static_cast<std::uint16_t>(rater);
    if (waiting.full() && !settle()) return refuse({});
    WaitingLines::Line& next = waiting.Push();
    next.same = !previous.empty() && previous == fields[0];  // no name is empty
    if (!next.same) {
      previous.assign(fields[0]);
      next.object.assign(fields[0]);
      next.hash = objects.Prefetch(next.object);
    }
    next.rating = rating;
    next.line = line;
  }
  while (!waiting.empty()) {
    if (!settle()) return refuse({});
  }

  if (raters.size() < 2) return Refused("at least 2 raters are needed", name);
  FileRatings data;
  data.Start(static_cast<int>(raters.size()), true, layout.keepObjects);
  const Repeat repeat = CountObjects(ratings, objects.size(), data, objects, lines);
  if (repeat.again != UINT32_MAX) {
    const Rating& again = ratings[repeat.again];
    return Refused(FaultAt(lines.LineOf(repeat.again), 0,
                           "object " + QuotedText(objects[again.object]) + " was already rated by " +
                               QuotedText(raters[again.rater]) + " on line " +
                               std::to_string(lines.LineOf(repeat.first))),
                   name);
  }
  if (objects.size() < 2) return Refused("at least 2 objects are needed", name);
  data.classes = classes.Finish(data.classOfCode);
  if (data.classes.K < 2) return Refused("at least 2 classes are needed", name);
  for (std::uint32_t r = 0; r < raters.size(); ++r) data.raterNames.emplace_back(raters[r]);
  StoreObservedData(tb, std::move(data), EntryMode::kRawFile);
  return {};
}

}  // namespace zover
