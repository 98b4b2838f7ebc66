// The long layout, as annotation tools export ratings: one line per rating,
// holding the object, the rater and the rating, the lines in any order.

#include <algorithm>
#include <memory>
#include <new>
#include <tuple>

#include "console/format.h"
#include "input/big_tables.h"
#include "input/reader_parts.h"
#include "tables/limits.h"
#include "tables/tasks.h"

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
      AdviseHugePages(blocks_.back().data(), kBlock * sizeof(Rating));
    }
    blocks_.back().push_back(rating);
    ++size_;
  }
  const Rating& operator[](std::uint32_t i) const { return blocks_[i >> kShift][i & (kBlock - 1)]; }
  std::uint32_t size() const { return size_; }

 private:
  static constexpr int kShift = 20;
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

// The earliest repeated pair of a file that has one: each object's ratings
// in file order (`start` as CountObjects puts them), the earliest rating of
// a pair rated before, with that pair's first. Only for a file that
// CountObjects found a repeat in: it costs four bytes a rating more.
Repeat EarliestRepeat(const RatingList& ratings, const std::vector<std::uint32_t>& start, std::size_t raters) {
  const std::size_t objects = start.size() - 1;
  const std::unique_ptr<std::uint32_t[]> order(new std::uint32_t[ratings.size()]);  // rating indices by object
  {
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::uint32_t i = 0; i < ratings.size(); ++i) order[next[ratings[i].object]++] = i;
  }
  std::vector<std::uint32_t> seen(raters, 0);   // [rater]: 1 + the object it last rated
  std::vector<std::uint32_t> where(raters, 0);  // [rater]: the rating of that object
  Repeat repeat;
  for (std::size_t o = 0; o < objects; ++o) {
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) {
      const std::uint32_t i = order[at];
      const std::uint16_t rater = ratings[i].rater;
      if (seen[rater] == o + 1) {
        if (i < repeat.again) repeat = {where[rater], i};
        continue;
      }
      seen[rater] = static_cast<std::uint32_t>(o + 1);
      where[rater] = i;
    }
  }
  return repeat;
}

// Puts every object's ratings together, in file order, and counts each
// object's tuple (0 for a rater who gave it no rating) into `data`, which
// also keeps the object when it keeps objects (named `names`, at the line of
// its first rating); returns the earliest repeated pair, if any. An object
// costs O(its ratings).
//
// The ratings are dealt out object by object (a counting sort), each as its
// rater and value alone, so that the objects are then read one after
// another from memory instead of at random; the two halves of a large file
// on two threads where `threaded`.
Repeat CountObjects(const RatingList& ratings, std::size_t objects, FileRatings& data, const NameIndex& names,
                    const RowLines& lines, bool threaded) {
  struct Placed {
    std::uint16_t rater;
    std::uint16_t value;
  };
  // The ratings in two halves of the file, each dealt out by a thread of
  // its own where `threaded`: an object's ratings of the first half go
  // before those of the second, each half's in file order, so that every
  // object's ratings are in file order as one pass would put them.
  const std::uint32_t count = ratings.size(), half = count / 2;
  // [half][object]: first its ratings in that half, then where its next
  // rating of that half goes in `placed`.
  std::vector<std::uint32_t> next[2] = {std::vector<std::uint32_t>(objects, 0),
                                        std::vector<std::uint32_t>(objects, 0)};
  auto inHalves = [&](auto&& work) {
    SideThread side(threaded && count >= kSideThreadWork);
    side.Start([&] { work(0, 0, half); });
    work(1, half, count);
    side.Wait();
  };
  inHalves([&](int h, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i) ++next[h][ratings[i].object];
  });
  std::vector<std::uint32_t> start(objects + 1, 0);  // [object]: its first place in `placed`
  for (std::size_t o = 0; o < objects; ++o) {
    const std::uint32_t first = next[0][o], second = next[1][o];
    next[0][o] = start[o];
    next[1][o] = start[o] + first;
    start[o + 1] = start[o] + first + second;
  }
  const std::unique_ptr<Placed[]> placed(new Placed[count]);
  AdviseHugePages(placed.get(), count * sizeof(Placed));
  std::vector<std::uint32_t> firstRating;  // [object]: its first rating, when objects are kept
  if (data.objects.kept) firstRating.resize(objects);
  inHalves([&](int h, std::uint32_t from, std::uint32_t to) {
    std::vector<std::uint32_t>& at = next[h];
    for (std::uint32_t i = from; i < to; ++i) {
      const Rating& rating = ratings[i];
      if (data.objects.kept && at[rating.object] == start[rating.object]) firstRating[rating.object] = i;
      placed[at[rating.object]++] = {rating.rater, rating.value};
    }
  });
  const auto raters = static_cast<std::size_t>(data.raters);
  std::vector<std::uint16_t> tuple(raters, 0);
  std::vector<std::uint32_t> seen(raters, 0);  // [rater]: 1 + the object it last rated
  bool repeated = false;
  for (std::size_t o = 0; o < objects; ++o) {
    int missing = static_cast<int>(raters);
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) {
      const Placed rating = placed[at];
      if (seen[rating.rater] == o + 1) {
        repeated = true;
        continue;
      }
      seen[rating.rater] = static_cast<std::uint32_t>(o + 1);
      tuple[rating.rater] = rating.value;
      if (rating.value != 0) --missing;
    }
    if (data.objects.kept) {
      data.KeepObject(tuple.data(), lines.LineOf(firstRating[o]), names[static_cast<std::uint32_t>(o)]);
    }
    if (missing == 0) {
      data.complete->AddObject(tuple.data());
      ++data.completeObjects;
    } else {
      data.incomplete->AddObject(tuple.data());
      data.missingRatings += missing;
    }
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) tuple[placed[at].rater] = 0;
  }
  return repeated ? EarliestRepeat(ratings, start, raters) : Repeat{};
}

// Lines whose object is not looked up yet, a block of them at a time. In a
// file that comes rater by rater every line's object lies somewhere else in
// the table of names, tens of megabytes for millions of objects, and each
// lookup at random waits for memory and for the translation of its address.
// The names a block already holds are found first, the tags and slots of
// the next lines asked for ahead, so that the memory of many lookups
// arrives together; then the lines are settled in file order, the names new to the
// table added one by one, so that objects still take their indices in order
// of first appearance.
class alignas(kThreadApart) LineBlock {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Line {
    std::uint32_t nameAt = 0;      // the object's name in the block's bytes, unless `same`
    std::uint32_t nameLength = 0;
    bool same = false;             // the object of the line before
    std::uint32_t hash = 0;        // of the name, once looked up
    std::uint32_t found = kNone;   // the object's index, once looked up, when it has one
    std::uint32_t near = 0;        // where its lookup goes on (NameIndex::Near)
    Rating rating{};
    long long line = 0;
    std::uint32_t group = 0;       // with a group column
  };

  bool full() const { return lines_.size() == kLines || names_.size() >= kBytes; }
  // Every line pushed has been settled (Pop).
  bool empty() const { return next_ == lines_.size(); }

  // The name of the last line's object (of the block before, when this one
  // has no line yet).
  std::string_view lastName() const {
    return last_ == kNone ? std::string_view(carried_) : name(lines_[last_]);
  }
  // A line after the others, with its object's name, or `same` when it is
  // the last line's object.
  Line& Push(std::string_view object, bool same) {
    Line& line = lines_.emplace_back();
    line.same = same;
    if (!same) {
      line.nameAt = static_cast<std::uint32_t>(names_.size());
      line.nameLength = static_cast<std::uint32_t>(object.size());
      names_.append(object);
      last_ = static_cast<std::uint32_t>(lines_.size() - 1);
    }
    return line;
  }
  std::string_view name(const Line& line) const {
    return std::string_view(names_.data() + line.nameAt, line.nameLength);
  }

  // Finds the objects of the block's lines that `objects` holds already;
  // once a block. The tags of a name are asked for 16 lines ahead, its
  // slot 8 lines ahead, so that the memory of many lookups arrives
  // together.
  void LookUp(const NameIndex& objects) {
    if (lookedUp_) return;
    lookedUp_ = true;
    constexpr std::size_t kTagsAhead = 16, kSlotAhead = 8;
    const std::size_t n = lines_.size();
    auto named = [&](std::size_t i) { return i < n && !lines_[i].same; };
    // The names are hashed here, on the thread that settles the block,
    // which has time to spare where the reading has none.
    auto hash = [&](Line& line) { line.hash = NameIndex::HashOf(name(line)); };
    for (std::size_t i = 0; i < kTagsAhead && i < n; ++i) {
      if (!named(i)) continue;
      hash(lines_[i]);
      if (i < kSlotAhead) lines_[i].near = objects.Near(lines_[i].hash);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (named(i + kTagsAhead)) {
        hash(lines_[i + kTagsAhead]);
        objects.Prefetch(lines_[i + kTagsAhead].hash);
      }
      if (named(i + kSlotAhead)) lines_[i + kSlotAhead].near = objects.Near(lines_[i + kSlotAhead].hash);
      Line& line = lines_[i];
      if (!line.same) line.found = objects.Find(name(line), line.hash, line.near).value_or(kNone);
    }
  }
  // The oldest line not settled yet, taken out.
  Line& Pop() { return lines_[next_++]; }
  // Empties the block, every line settled, for the lines after those of the
  // block whose lastName() is `before`.
  void Restart(std::string_view before) {
    carried_.assign(before);
    last_ = kNone;
    lines_.clear();
    names_.clear();
    next_ = 0;
    lookedUp_ = false;
  }

 private:
  static constexpr std::size_t kLines = std::size_t{1} << 14;
  static constexpr std::size_t kBytes = std::size_t{1} << 22;  // of names, so that long names do not fill memory

  std::vector<Line> lines_;
  std::string names_;
  std::uint32_t last_ = kNone;  // the last line with a name
  std::string carried_;         // the last name of the block before
  std::size_t next_ = 0;        // the first line not settled yet
  bool lookedUp_ = false;
};

// Counts the objects of each group into `groups` (each group's raters in the
// order they first rate in it: `groupRaters` gives each one's index among
// all raters), after CountObjects has found no pair rated twice. Returns
// what keeps a group from being analysed alone: fewer than 2 raters or 2
// objects.
std::string CountGroups(const RatingList& ratings, std::size_t objects, const std::vector<std::uint16_t>& objectGroup,
                        const GroupNames& names, std::size_t raterCount, std::vector<FileRatings>& groups,
                        std::vector<std::vector<std::uint16_t>>& groupRaters) {
  const std::size_t count = names.size();
  constexpr std::uint16_t kNone = UINT16_MAX;
  std::vector<std::uint16_t> local(count * raterCount, kNone);  // [group][rater]: its index in the group
  groupRaters.assign(count, {});
  for (std::uint32_t i = 0; i < ratings.size(); ++i) {
    const Rating& rating = ratings[i];
    const std::size_t g = objectGroup[rating.object];
    std::uint16_t& slot = local[g * raterCount + rating.rater];
    if (slot != kNone) continue;
    slot = static_cast<std::uint16_t>(groupRaters[g].size());
    groupRaters[g].push_back(rating.rater);
  }
  std::vector<std::uint64_t> groupObjects(count, 0);
  for (std::size_t o = 0; o < objects; ++o) ++groupObjects[objectGroup[o]];
  for (std::uint32_t g = 0; g < count; ++g) {
    if (groupRaters[g].size() < 2) return InGroup(names.name(g), "at least 2 raters are needed");
    if (groupObjects[g] < 2) return InGroup(names.name(g), "at least 2 objects are needed");
  }
  groups.clear();
  groups.resize(count);
  for (std::size_t g = 0; g < count; ++g) groups[g].Start(static_cast<int>(groupRaters[g].size()), true);
  // Every object's ratings together, as CountObjects puts them.
  std::vector<std::uint32_t> start(objects + 1, 0);
  for (std::uint32_t i = 0; i < ratings.size(); ++i) ++start[ratings[i].object + 1];
  for (std::size_t o = 0; o < objects; ++o) start[o + 1] += start[o];
  const std::unique_ptr<std::uint32_t[]> order(new std::uint32_t[ratings.size()]);
  {
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (std::uint32_t i = 0; i < ratings.size(); ++i) order[next[ratings[i].object]++] = i;
  }
  std::vector<std::uint16_t> tuple(raterCount, 0);
  for (std::size_t o = 0; o < objects; ++o) {
    const std::size_t g = objectGroup[o];
    FileRatings& group = groups[g];
    const auto raters = static_cast<std::size_t>(group.raters);
    std::fill(tuple.begin(), tuple.begin() + static_cast<std::ptrdiff_t>(raters), std::uint16_t{0});
    int missing = static_cast<int>(raters);
    for (std::uint32_t at = start[o]; at < start[o + 1]; ++at) {
      const Rating& rating = ratings[order[at]];
      tuple[local[g * raterCount + rating.rater]] = rating.value;
      if (rating.value != 0) --missing;
    }
    if (missing == 0) {
      group.complete->AddObject(tuple.data());
      ++group.completeObjects;
    } else {
      group.incomplete->Add(tuple.data());
      group.missingRatings += missing;
    }
  }
  return "";
}

// Takes the next line from the reader's buffer when it is plain: `count`
// fields between separators of one character, and no double quote, blank
// or carriage return but a carriage return before the line feed. Such a
// line's fields are the bytes between its separators, as the reader's rules
// would split it, and `fields` points at them in the buffer (valid until
// the reader reads on). False, taking nothing, for any other line, an empty
// one included, and when the buffer holds no whole line.
bool TakePlainLine(DataLineReader& reader, std::size_t count, std::vector<std::string_view>& fields) {
  const char separator = reader.separator();
  if (separator == 0 || separator == ' ') return false;
  const std::string_view ahead = reader.Ahead();
  fields.resize(count);
  std::size_t field = 0;
  std::size_t start = 0;
  for (std::size_t at = 0; at < ahead.size(); ++at) {
    const char c = ahead[at];
    if (c == separator) {
      if (field + 1 == count) return false;
      fields[field++] = std::string_view(ahead.data() + start, at - start);
      start = at + 1;
      continue;
    }
    if (c != '\n' && c != '\r' && c != '"' && c != ' ' && c != '\t') continue;
    const std::size_t end = at;
    if (c == '\r' && ahead[at + 1] == '\n') ++at;  // Ahead() ends with a line feed
    if (ahead[at] != '\n' || end == 0 || field + 1 != count) return false;
    fields[field] = std::string_view(ahead.data() + start, end - start);
    reader.Skip(at + 1, 1);
    return true;
  }
  return false;
}

}  // namespace

// Every line holds three fields, or, with layout.columns or a first column
// of row names under a header, as many as the first line of data. The
// first fault of a line in file order is reported, within a line left to
// right. Then, once the whole file is read: fewer than 2 raters; a pair
// given twice (the earliest repeat); fewer than 2 objects or classes.
ReadOutcome ReadLongFile(DataSource& file, ObservedData& tb, const std::string& name, const FileLayout& layout,
                         FileGroups* groups) {
  DataLineReader reader(file, layout.separator);
  ClassReader classes(layout, layout.missing);
  NameIndex raters;
  // What settling a block writes, which a side thread may do while the
  // reading goes on (below): apart in memory from what the reading writes
  // (alignas), so that the two threads do not take each other's cache
  // lines at every line.
  struct alignas(kThreadApart) Settled {
    NameIndex objects;
    RatingList ratings;
    RowLines lines;
    std::uint32_t object = 0;  // the last line's
    long long tooMany = 0;     // the line of the object beyond kMaxObjects
    // With a group column: each object's group, and the first line that
    // puts an object in a second group.
    std::vector<std::uint16_t> objectGroup;  // [object]
    struct {
      long long line = 0;
      std::uint32_t object = 0, group = 0;
    } twoGroups;
    bool ok = true;  // the last block settled on the side thread had no fault
  };
  Settled settled;
  NameIndex& objects = settled.objects;
  RatingList& ratings = settled.ratings;
  RowLines& lines = settled.lines;
  std::uint32_t& object = settled.object;
  long long& tooMany = settled.tooMany;
  std::vector<std::uint16_t>& objectGroup = settled.objectGroup;
  auto& twoGroups = settled.twoGroups;
  // The lines read and not settled yet: one block fills while the other,
  // full, is settled beside it.
  LineBlock blocks[2];
  LineBlock* waiting = &blocks[0];
  LineBlock* settling = &blocks[1];
  long long pushed = 0;  // lines put into a block
  std::vector<std::string> header;
  long long headerLine = 0;  // 0: no header (yet)
  std::vector<std::string> warnings;
  std::string rowNames;
  std::size_t fieldsPerLine = 0;
  std::size_t columns[3] = {0, 1, 2};  // the fields of the object, the rater, the rating
  bool three = false;  // every line has the three fields alone
  long long firstLine = 0;  // the first line of data
  // A first line that may be a header no option named (see data_file.cpp).
  const bool watch = layout.csv() && !layout.header && !layout.noHeader;
  std::uint16_t firstValue = 0;
  std::string lastRaterName;  // the last line's rater (no name is empty)
  std::uint32_t lastRater = 0;
  std::vector<std::string_view> plainFields;
  // With a group column: its field and the groups.
  const bool grouped = groups != nullptr && !layout.group.empty();
  std::size_t groupField = 0;
  GroupNames groupNames;
  // Settles the oldest line of a block: finds its object and keeps its
  // rating. After a fault it settles no more.
  auto settle = [&](LineBlock& block) {
    if (twoGroups.line != 0 || tooMany != 0) return false;
    LineBlock::Line& waited = block.Pop();
    if (!waited.same) {
      std::uint32_t index = waited.found;
      bool added = false;
      if (index == LineBlock::kNone) std::tie(index, added) = objects.Add(block.name(waited), waited.hash);
      if (added && objects.size() > kMaxObjects) tooMany = waited.line;
      object = index;
      if (grouped && added) objectGroup.push_back(static_cast<std::uint16_t>(waited.group));
    }
    if (grouped && tooMany == 0 && objectGroup[object] != waited.group) {
      twoGroups = {waited.line, object, waited.group};
      return false;
    }
    waited.rating.object = object;
    lines.Add(ratings.size(), waited.line);
    ratings.Add(waited.rating);
    return tooMany == 0;
  };
  // Settles every line of a block, or those before a fault.
  auto settleAll = [&](LineBlock& block) {
    block.LookUp(objects);
    while (!block.empty()) {
      if (!settle(block)) return false;
    }
    return true;
  };
  // Settles each full block on a thread of its own, if the layout allows
  // one, while the reading goes on.
  SideThread settler(SideThreadAllowed(layout));
  // Hands the full block over and goes on with the other: false when the
  // block before had a fault.
  auto handOver = [&]() {
    settler.Wait();
    if (!settled.ok) return false;
    std::swap(waiting, settling);
    waiting->Restart(settling->lastName());
    LineBlock* full = settling;
    settler.Start([&settled, &settleAll, full] { settled.ok = settleAll(*full); });
    return true;
  };
  // Settles every line read, or those before a fault.
  auto settleRest = [&]() {
    settler.Wait();
    return settled.ok && settleAll(*waiting);
  };
  // An object in a second group, with the line of its first rating.
  auto inTwoGroups = [&]() {
    std::uint32_t first = 0;
    while (ratings[first].object != twoGroups.object) ++first;
    return Refused(FaultAt(twoGroups.line, static_cast<int>(groupField + 1),
                           "object " + QuotedText(objects[twoGroups.object]) + " is in group " +
                               QuotedText(groupNames.name(twoGroups.group)) + " here and in group " +
                               QuotedText(groupNames.name(objectGroup[twoGroups.object])) + " on line " +
                               std::to_string(lines.LineOf(first)) + ": an object belongs to one group (--by)"),
                   name);
  };
  // A fault of a line: the lines before it are settled first, which may
  // find an earlier fault.
  auto refuse = [&](ReadFault fault) {
    settleRest();
    if (tooMany != 0) return Refused(FaultAt(tooMany, 1, "more than 1000000000 objects"), name);
    if (twoGroups.line != 0) return inTwoGroups();
    return Refused(std::move(fault), name);
  };
  // A rating of the first line of data refused: it may be a header that no
  // option named, when it holds text and the next line a number there.
  auto refuseFirst = [&](ReadFault fault) {
    if (!watch || pushed > 0) return refuse(std::move(fault));
    const long long first = reader.lineNumber();
    const std::string rating(reader.fields()[columns[2]]);
    if (NumberOrMark(rating) || reader.Next() != LineStatus::kLine || reader.fields().size() != fieldsPerLine ||
        !NumberOrMark(reader.fields()[columns[2]])) {
      return refuse(std::move(fault));
    }
    return refuse(FaultOf(ReadFault::Kind::kLooksLikeHeader, first, 0,
                          "it looks like a header: " + QuotedText(rating) + " is not a number, and line " +
                              std::to_string(reader.lineNumber()) + " holds one"));
  };
  while (true) {
    // Once the first line of data has set the fields, a plain line is split
    // in the reader's buffer; any other goes through the reader's rules.
    const bool plain = fieldsPerLine != 0 && TakePlainLine(reader, fieldsPerLine, plainFields);
    if (!plain) {
      const LineStatus status = reader.Next();
      if (status == LineStatus::kEnd) break;
      if (status != LineStatus::kLine) return refuse(reader.Fault(status));
    }
    const long long line = reader.lineNumber();
    const auto& fields = plain ? plainFields : reader.fields();
    if (layout.header && headerLine == 0) {
      header.assign(fields.begin(), fields.end());
      headerLine = line;
      if (!layout.csv() && fields.size() != 3) {
        return refuse(FaultAt(line, 0, Format("%d fields where the long layout has 3 (object, rater, rating)",
                                              {static_cast<long long>(fields.size())})));
      }
      continue;
    }
    if (fieldsPerLine == 0) {
      // The first line of data: which of its fields are read.
      const std::size_t count = fields.size();
      std::vector<std::string> names;
      bool skipFirst = false;
      if (headerLine != 0) {
        if (!AlignHeader(header, count, names, skipFirst)) {
          return refuse(FaultAt(line, 0, Format("%d fields where the first line has %d",
                                                {static_cast<long long>(count), static_cast<long long>(header.size())})));
        }
        if (skipFirst) {
          rowNames = count > header.size() ? "the first column, row names that the header does not name, is not read"
                                           : "the first column, row names under an empty header cell, is not read";
        }
      }
      const std::size_t from = skipFirst ? 1 : 0;
      if (grouped) {
        const std::string why = ChooseGroupColumn(layout.group, names, count, groupField, warnings);
        if (!why.empty()) return refuse(FaultAt(0, 0, why));
        if (groupField < from) return refuse(FaultAt(0, 0, "--by: column 1 holds row names, which are not read"));
      }
      if (!layout.columns.empty()) {
        std::vector<std::size_t> chosen;
        const std::string why = ChooseColumns(layout.columns, names, count, "--long-columns", chosen, warnings);
        if (!why.empty()) return refuse(FaultAt(0, 0, why));
        if (grouped && std::find(chosen.begin(), chosen.end(), groupField) != chosen.end()) {
          return refuse(FaultAt(0, 0, "--by: column " + std::to_string(groupField + 1) +
                                          " is one of the three of --long-columns"));
        }
        std::copy(chosen.begin(), chosen.end(), columns);
      } else if (grouped) {
        // The three columns beside the group's, in their order.
        std::size_t c = 0;
        for (std::size_t f = from; f < count; ++f) {
          if (f != groupField && c < 3) columns[c] = f;
          c += f != groupField ? 1 : 0;
        }
        if (c != 3) {
          return refuse(FaultOf(ReadFault::Kind::kLongColumns, headerLine != 0 ? headerLine : line, 0,
                                Format("%d fields beside the group's (--by) where the long layout has 3 (object, "
                                       "rater, rating)",
                                       {static_cast<long long>(c)})));
        }
      } else {
        if (count - from > 3 && layout.csv()) {
          const std::vector<std::string>& shown =
              headerLine != 0 ? header : std::vector<std::string>(fields.begin(), fields.end());
          return refuse(FaultOf(ReadFault::Kind::kLongColumns, headerLine != 0 ? headerLine : line, 0,
                                Format("%d fields where the long layout has 3 (object, rater, rating): ",
                                       {static_cast<long long>(count - from)}) +
                                    (headerLine != 0 ? "the header holds " : "it holds ") + QuotedList(shown)));
        }
        if (count - from != 3) {
          return refuse(FaultAt(line, 0, Format("%d fields where the long layout has 3 (object, rater, rating)",
                                                {static_cast<long long>(count)})));
        }
        for (std::size_t c = 0; c < 3; ++c) columns[c] = from + c;
        three = from == 0;
      }
      fieldsPerLine = count;
      firstLine = line;
    } else if (fields.size() != fieldsPerLine) {
      if (three) {
        return refuse(FaultAt(line, 0, Format("%d fields where the long layout has 3 (object, rater, rating)",
                                              {static_cast<long long>(fields.size())})));
      }
      return refuse(FaultAt(line, 0, Format("%d fields where line %d has %d",
                                            {static_cast<long long>(fields.size()), firstLine,
                                             static_cast<long long>(fieldsPerLine)})));
    }
    for (int c = 0; c < 2; ++c) {
      if (fields[columns[c]].empty()) {
        return refuseFirst(FaultAt(line, static_cast<int>(columns[c] + 1), "the field is empty"));
      }
    }
    const std::string_view objectName = fields[columns[0]], raterName = fields[columns[1]];
    Rating rating{};
    const std::size_t ratingField = columns[2];
    const ClassReader::Status read = classes.Read(fields[ratingField], rating.value, !plain && reader.quoted(ratingField));
    if (read != ClassReader::Status::kClass && read != ClassReader::Status::kMissing) {
      return refuseFirst(classes.Fault(read, fields[ratingField], line, static_cast<int>(ratingField + 1)));
    }
    std::uint32_t group = 0;
    if (grouped) {
      bool newGroup = false;
      if (auto fault = groupNames.Read(fields[groupField], line, static_cast<int>(groupField + 1), group, newGroup)) {
        return refuseFirst(std::move(*fault));
      }
    }
    // Files often come rater by rater: a line of the last line's rater is
    // not looked up again.
    std::uint32_t rater = lastRater;
    bool added = false;
    if (!SameText(raterName, lastRaterName)) {
      std::tie(rater, added) = raters.Add(raterName);
      lastRaterName.assign(raterName);
      lastRater = rater;
    }
    if (added && raters.size() > static_cast<std::size_t>(kMaxRaters)) {
      return refuse(FaultAt(line, static_cast<int>(columns[1] + 1),
                            "more than 1000 raters: at most 1000 raters can be analysed"));
    }
    rating.rater = static_cast<std::uint16_t>(rater);
    if (pushed == 0) firstValue = rating.value;
    if (waiting->full() && !handOver()) return refuse({});
    LineBlock::Line& next = waiting->Push(objectName, SameText(waiting->lastName(), objectName));  // no name is empty
    ++pushed;
    next.rating = rating;
    next.line = line;
    next.group = group;
  }
  if (!settleRest()) return refuse({});
  if (watch && classes.labels() && ratings.size() > 1) {
    // With labels, a first line whose object, rater and label occur on no
    // other line looks like a header.
    bool again = false;
    for (std::uint32_t i = 1; i < ratings.size() && !again; ++i) {
      const Rating& r = ratings[i];
      again = r.object == 0 || r.rater == 0 || (firstValue != 0 && r.value == firstValue);
    }
    if (!again) {
      return Refused(FaultOf(ReadFault::Kind::kLooksLikeHeader, lines.LineOf(0), 0,
                             "it looks like a header: its object, rater and label occur on no other line"),
                     name);
    }
  }
  if (raters.size() < 2) return Refused("at least 2 raters are needed", name);
  FileRatings data;
  data.Start(static_cast<int>(raters.size()), true, layout.keepObjects);
  const Repeat repeat = CountObjects(ratings, objects.size(), data, objects, lines, SideThreadAllowed(layout));
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
  if (layout.ordered && layout.classes.empty() && classes.labels() && !classes.numbersOnly()) {
    return Refused(OrderUnknown(classes.labelsInFileOrder()), name);
  }
  if (layout.csv() && layout.columns.empty() && raters.size() > objects.size()) {
    warnings.push_back(Format("more raters (%d) than objects (%d): are the columns object, rater, rating? See "
                              "--long-columns",
                              {static_cast<long long>(raters.size()), static_cast<long long>(objects.size())}));
  }
  for (std::uint32_t r = 0; r < raters.size(); ++r) data.raterNames.emplace_back(raters[r]);
  if (grouped) {
    std::vector<FileRatings> groupData;
    std::vector<std::vector<std::uint16_t>> groupRaters;
    const std::string why =
        CountGroups(ratings, objects.size(), objectGroup, groupNames, raters.size(), groupData, groupRaters);
    if (!why.empty()) return Refused(why, name);
    groups->names = groupNames.all();
    groups->data.assign(groupData.size(), ObservedData{});
    for (std::size_t g = 0; g < groupData.size(); ++g) {
      FileRatings& group = groupData[g];
      for (const std::uint16_t r : groupRaters[g]) group.raterNames.push_back(data.raterNames[r]);
      group.rowNames = rowNames;
      group.classes = data.classes;
      group.classOfCode = data.classOfCode;
      StoreObservedData(groups->data[g], std::move(group), EntryMode::kRawFile, SideThreadAllowed(layout));
    }
  }
  data.rowNames = std::move(rowNames);
  data.warnings = std::move(warnings);
  StoreObservedData(tb, std::move(data), EntryMode::kRawFile, SideThreadAllowed(layout));
  return {};
}

}  // namespace zover
