// The classes of the ratings, names in order of appearance and the lines of
// rows: the parts that every reader of observed data shares.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <numeric>

#include "console/format.h"
#include "input/big_tables.h"
#include "input/reader_parts.h"
#include "tables/limits.h"

namespace zover {

ReadOutcome Refused(ReadFault fault, const std::string& name) {
  std::string message = DialogueMessage(fault, name);
  return {false, std::move(fault), std::move(message)};
}

ReadFault CountFault(const FileLayout& layout, const DataLineReader& reader, std::string what, std::size_t count) {
  const char separator = reader.separator();
  if (layout.separator == Separator::kDetect && separator != 0) {
    std::vector<std::string_view> fields;
    std::string scratch;
    if (SplitFields(reader.line(), fields, scratch).field == 0 && fields.size() == count) {
      const char* const name = separator == ',' ? "comma" : separator == ';' ? "semicolon" : "tab";
      return FaultOf(ReadFault::Kind::kSeparators, reader.lineNumber(), 0,
                     what + ", as the first line makes the " + name +
                         " the separator, while blanks separate this line's fields");
    }
  }
  return FaultAt(reader.lineNumber(), 0, std::move(what));
}

bool NumberOrMark(std::string_view field) {
  return field.empty() || field == "NA" || field == "." || NumberField(field).has_value();
}

bool AlignHeader(const std::vector<std::string>& header, std::size_t count, std::vector<std::string>& names,
                 bool& rowNames) {
  rowNames = false;
  names.clear();
  if (count == header.size() + 1) {
    rowNames = true;
    names.emplace_back();
  } else if (count == header.size()) {
    rowNames = count > 0 && header[0].empty();
  } else {
    return false;
  }
  names.insert(names.end(), header.begin(), header.end());
  return true;
}

std::string QuotedList(const std::vector<std::string>& texts, std::size_t shown) {
  std::string list;
  for (std::size_t i = 0; i < texts.size() && i < shown; ++i) list += (i == 0 ? "" : ", ") + QuotedText(texts[i]);
  return texts.size() > shown ? list + ", ..." : list;
}

std::string ChooseColumns(const std::vector<std::string>& wanted, const std::vector<std::string>& names,
                          std::size_t count, const char* option, std::vector<std::size_t>& fields,
                          std::vector<std::string>& warnings) {
  fields.clear();
  const std::string prefix = std::string(option) + ": ";
  for (const std::string& entry : wanted) {
    std::vector<std::size_t> named;
    for (std::size_t f = 0; f < names.size(); ++f) {
      if (names[f] == entry) named.push_back(f);
    }
    const std::optional<std::uint64_t> number = WholeField(entry, 1000000000000000000ULL);
    std::size_t field = 0;
    if (named.size() > 1) {
      return prefix + QuotedText(entry) + " names columns " + std::to_string(named[0] + 1) + " and " +
             std::to_string(named[1] + 1) + "; give the column's number";
    } else if (named.size() == 1) {
      field = named[0];
      if (number && *number >= 1 && *number <= count && *number - 1 != field) {
        warnings.push_back("column " + std::to_string(field + 1) + ", named " + QuotedText(entry) + ", is read for " +
                           option + " " + entry + ", not column " + entry);
      }
    } else if (number && *number >= 1 && *number <= count) {
      field = static_cast<std::size_t>(*number - 1);
    } else if (number) {
      return prefix + "there is no column " + entry + ": the lines have " + std::to_string(count) + " fields";
    } else if (names.empty()) {
      return prefix + QuotedText(entry) + " is not a column's number, and without --header the columns have no names";
    } else {
      std::vector<std::string> present;
      for (const std::string& n : names) {
        if (!n.empty()) present.push_back(n);
      }
      return prefix + "no column is named " + QuotedText(entry) + "; the header holds " + QuotedList(present);
    }
    if (std::find(fields.begin(), fields.end(), field) != fields.end()) {
      return prefix + "column " + std::to_string(field + 1) + " is given twice";
    }
    fields.push_back(field);
  }
  return "";
}

std::optional<ReadFault> GroupNames::Read(std::string_view field, long long line, int number, std::uint32_t& group,
                                          bool& added) {
  if (field.empty()) return FaultAt(line, number, "the field is empty; every line needs its group (--by)");
  const auto [index, isNew] = names_.Add(field);
  if (isNew && names_.size() > kMaxGroups) {
    return FaultAt(line, number, "more than 10000 groups: at most 10000 groups can be analysed in one run");
  }
  group = index;
  added = isNew;
  return std::nullopt;
}

std::vector<std::string> GroupNames::all() const {
  std::vector<std::string> names;
  for (std::uint32_t g = 0; g < names_.size(); ++g) names.emplace_back(names_[g]);
  return names;
}

std::string ChooseGroupColumn(const std::string& wanted, const std::vector<std::string>& names, std::size_t count,
                              std::size_t& field, std::vector<std::string>& warnings) {
  std::vector<std::size_t> fields;
  const std::string why = ChooseColumns({wanted}, names, count, "--by", fields, warnings);
  if (why.empty()) field = fields[0];
  return why;
}

std::string InGroup(const std::string& group, const std::string& what) {
  return "group " + QuotedText(group) + " (--by): " + what;
}

ReadFault OrderUnknown(const std::vector<std::string>& labelsInFileOrder) {
  constexpr std::size_t kShown = 50;
  std::string list;
  for (std::size_t i = 0; i < labelsInFileOrder.size() && i < kShown; ++i) {
    std::string label = ControlEscaped(labelsInFileOrder[i]);
    if (label.find_first_of(",\"") != std::string::npos) {
      for (std::size_t at = label.find('"'); at != std::string::npos; at = label.find('"', at + 2)) label.insert(at, 1, '"');
      label = "\"" + label + "\"";
    }
    list += (i == 0 ? "" : ",") + label;
  }
  if (labelsInFileOrder.size() > kShown) list += ",...";
  // Quoted for the shell where it holds anything but letters, digits and - _ . , + :
  if (list.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.,+:") !=
      std::string::npos) {
    for (std::size_t at = list.find('\''); at != std::string::npos; at = list.find('\'', at + 4)) {
      list.replace(at, 1, "'\\''");
    }
    list = "'" + list + "'";
  }
  return FaultAt(0, 0,
                 "the classes are text labels, whose order ordered classes (--weights, --alpha-level) need: give "
                 "it with --classes, as --classes " +
                     list + " in the order of the scale (here the labels as the file first holds them)");
}

// --- NameIndex ----------------------------------------------------------------

NameIndex::NameIndex() : tags_(16, 0), slots_(16) {}

// Eight bytes at a time, each step a keyed bijection of the state; the
// last bytes, fewer than eight, go in with the length in the top byte, so
// that names that differ only by trailing zero bytes differ.
std::uint32_t NameIndex::HashOf(std::string_view name) {
  static const std::uint64_t seed = TupleCounter::RandomSeed();
  std::uint64_t h = seed;
  std::size_t at = 0;
  for (; at + 8 <= name.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, name.data() + at, 8);
    h = TupleCounter::Mix(h ^ word);
  }
  std::uint64_t rest = std::uint64_t{name.size() & 0xff} << 56;
  for (std::size_t i = at; i < name.size(); ++i) {
    rest |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * (i - at));
  }
  return static_cast<std::uint32_t>(TupleCounter::Mix(h ^ rest) >> 32);
}

// The tags pass by the slots of other names; a slot's hash and length are
// compared as one word, its head as three, against the name's head with
// zeros after a shorter name: a lookup takes a few comparisons and no loop
// over the bytes of the name.
std::size_t NameIndex::SlotOf(std::string_view name, std::uint32_t hash, std::size_t at) const {
  static_assert(offsetof(Slot, length) == 4 && offsetof(Slot, head) == 12 && kHead == 20, "the words compared");
  const std::size_t mask = slots_.size() - 1;
  const std::uint8_t tag = TagOf(hash);
  const std::size_t head = std::min(name.size(), kHead);
  const std::uint64_t key = hash | std::uint64_t{static_cast<std::uint32_t>(name.size())} << 32;
  char padded[kHead] = {};
  if (head != 0) std::memcpy(padded, name.data(), head);
  std::uint64_t a = 0, b = 0;
  std::uint32_t c = 0;
  std::memcpy(&a, padded, 8);
  std::memcpy(&b, padded + 8, 8);
  std::memcpy(&c, padded + 16, 4);
  for (;; at = (at + 1) & mask) {
    if (tags_[at] == 0) return at;
    if (tags_[at] != tag) continue;
    const Slot& slot = slots_[at];
    std::uint64_t slotKey = 0, slotA = 0, slotB = 0;
    std::uint32_t slotC = 0;
    std::memcpy(&slotKey, &slot, 8);
    if (slotKey != key) continue;
    std::memcpy(&slotA, slot.head, 8);
    std::memcpy(&slotB, slot.head + 8, 8);
    std::memcpy(&slotC, slot.head + 16, 4);
    if (((slotA ^ a) | (slotB ^ b) | (slotC ^ c)) != 0) continue;
    if (head == name.size() || (*this)[slot.index].substr(head) == name.substr(head)) return at;
  }
}

std::pair<std::uint32_t, bool> NameIndex::Add(std::string_view name, std::uint32_t hash) {
  const std::size_t at = SlotOf(name, hash, hash & (slots_.size() - 1));
  if (tags_[at] != 0) return {slots_[at].index, false};
  if (ends_.size() >= UINT32_MAX - 1) throw std::bad_alloc();  // more names than any memory holds
  const auto index = static_cast<std::uint32_t>(ends_.size());
  Slot& slot = slots_[at];
  slot.hash = hash;
  slot.length = static_cast<std::uint32_t>(name.size());
  slot.index = index;
  if (!name.empty()) std::memcpy(slot.head, name.data(), std::min(name.size(), kHead));
  tags_[at] = TagOf(hash);
  bytes_.append(name);
  ends_.push_back(bytes_.size());
  if (ends_.size() * 4 > slots_.size() * 3) Grow();
  return {index, true};
}

std::optional<std::uint32_t> NameIndex::Find(std::string_view name, std::uint32_t hash, std::uint32_t near) const {
  const std::size_t at = SlotOf(name, hash, near);
  if (tags_[at] == 0) return std::nullopt;
  return slots_[at].index;
}

// Doubles the table.
void NameIndex::Grow() {
  std::vector<std::uint8_t> oldTags = BigTable(tags_.size() * 2, std::uint8_t{0});
  std::vector<Slot> old = BigTable(slots_.size() * 2, Slot{});
  oldTags.swap(tags_);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = 0; i < old.size(); ++i) {
    if (oldTags[i] == 0) continue;
    std::size_t at = old[i].hash & mask;
    while (tags_[at] != 0) at = (at + 1) & mask;
    tags_[at] = oldTags[i];
    slots_[at] = old[i];
  }
}

// --- ClassReader --------------------------------------------------------------

ClassReader::ClassReader(const FileLayout& layout, bool missing)
    : labels_(layout.labels || !layout.classes.empty()),
      fixed_(!layout.classes.empty()),
      missing_(missing),
      zeroFractions_(layout.zeroFractions),
      marks_(layout.csv() && !missing) {
  for (const std::string& label : layout.classes) CodeOf(label, true);
}

std::uint16_t ClassReader::CodeOf(std::string_view field, bool add) {
  const auto next = static_cast<std::uint16_t>(spelled_.size() + 1);
  const bool room = add && spelled_.size() < static_cast<std::size_t>(kMaxClasses);
  double value = std::nan("");
  std::optional<std::string> exact = ExactNumber(field);
  if (exact) {
    const auto found = numbers_.find(*exact);
    if (found != numbers_.end()) return found->second;
    if (!room) return 0;
    value = *NumberField(*exact) + 0.0;  // -0 and 0 are one value
    numbers_.emplace(*exact, next);
  } else {
    if (const std::optional<std::uint32_t> index = texts_.Find(field)) return textCodes_[*index];
    if (!room) return 0;
    texts_.Add(field);
    textCodes_.push_back(next);
    numbersOnly_ = false;
  }
  spelled_.emplace_back(field);
  exact_.push_back(exact ? std::move(*exact) : std::string());
  values_.push_back(value);
  return next;
}

ClassReader::Status ClassReader::Read(std::string_view field, std::uint16_t& value, bool quoted) {
  if (missing_ && (field.empty() || field == "NA" || field == ".")) {
    value = 0;
    return Status::kMissing;
  }
  if (marks_ && !quoted && (field == "NA" || field == ".")) return Status::kMissingMark;
  if (field.empty()) return Status::kEmpty;
  if (labels_) {
    // The few labels of a file come again and again: the code of one read
    // before is found in a small table by its length and last byte first.
    Recent& recent = recent_[(field.size() * 8 + static_cast<unsigned char>(field.back())) % kRecent];
    if (recent.code != 0 && recent.label == field) {
      value = recent.code;
      return Status::kClass;
    }
    value = CodeOf(field, !fixed_);
    if (value != 0) {
      recent.label.assign(field);
      recent.code = value;
      return Status::kClass;
    }
    return fixed_ ? Status::kNotListed : Status::kTooManyLabels;
  }
  const std::optional<std::uint64_t> number = WholeField(field, kMaxClasses, zeroFractions_);
  if (!number || *number < 1) return Status::kNotClassNumber;
  value = static_cast<std::uint16_t>(*number);
  Note(value);
  return Status::kClass;
}

ReadFault ClassReader::Fault(Status status, std::string_view field, long long line, int number) const {
  ReadFault fault;
  fault.line = line;
  fault.field = number;
  switch (status) {
    case Status::kEmpty:
      fault.kind = ReadFault::Kind::kEmptyRating;
      fault.what = "the field is empty";
      break;
    case Status::kNotClassNumber:
      fault.kind = ReadFault::Kind::kNotClassNumber;
      fault.what = "not a class number from 1 to 1000";
      fault.text = std::string(field);
      break;
    case Status::kNotListed: fault.what = QuotedText(field) + " is not one of the classes given by --classes"; break;
    case Status::kMissingMark:
      fault.kind = ReadFault::Kind::kMissingMark;
      fault.what = QuotedText(field) + " marks a missing rating";
      break;
    default: fault.what = "more than 1000 different labels: at most 1000 classes can be analysed"; break;
  }
  return fault;
}

ClassSet ClassReader::Finish(std::vector<std::uint16_t>& classOfCode) const {
  ClassSet set;
  classOfCode.clear();
  if (!labels_) {
    set.K = static_cast<int>(largest_);
    return set;
  }
  const std::size_t count = spelled_.size();
  set.K = static_cast<int>(count);
  const bool numbers = numbersOnly_;
  std::vector<std::size_t> order(count);  // codes - 1 in class order
  std::iota(order.begin(), order.end(), 0);
  if (!fixed_) {
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return numbers ? ExactLess(exact_[a], exact_[b]) : spelled_[a] < spelled_[b];
    });
  }
  classOfCode.assign(count + 1, 0);
  for (std::size_t k = 0; k < count; ++k) {
    classOfCode[order[k] + 1] = static_cast<std::uint16_t>(k + 1);
    set.labels.push_back(spelled_[order[k]]);
    if (numbers) set.values.push_back(values_[order[k]]);
  }
  if (fixed_) classOfCode.clear();  // the codes are the classes
  return set;
}

// --- RowLines -----------------------------------------------------------------

long long RowLines::LineOf(std::uint64_t row) const {
  auto after = std::upper_bound(jumps_.begin(), jumps_.end(), row,
                                [](std::uint64_t r, const Jump& jump) { return r < jump.row; });
  if (after == jumps_.begin()) return 0;
  --after;
  return after->line + static_cast<long long>(row - after->row);
}

}  // namespace zover
