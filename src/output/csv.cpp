// The batch command's CSV: one tidy table of every value, one row each,
// under the header
// measure,class,rater,estimate,se,ci95_low,ci95_high,se0,z,p,class_label,
// objects_used,rater2,class2,count (ci_low and ci_high, with a `level` row,
// when the intervals are not at 95 %).
// Numbers as in the JSON (the shortest text that reads back to the same
// double); an empty cell where a value does not apply, does not exist or is
// not finite. se is a coefficient's own (non-null) standard error and the
// interval comes from it; se0 is the standard error under the hypothesis of
// chance agreement, and z and p come from it where it is given, from se
// otherwise. The model's values are those of its final table. A rater's
// name is written as valid UTF-8, and never as a cell that a spreadsheet
// would run as a formula. class_label holds the label of the row's
// class, when the classes have labels; objects_used, the objects a
// coefficient is computed from. The rows of ordered classes (weighted
// coefficients, alpha by level, class values) come only when asked for,
// after Krippendorff's alpha, so that the other rows keep their places. The
// rows are the results' rows, in their order: a coefficient that the engine
// adds is a line here without any change to this file. The pairs of raters
// and the raters come last: each pair's rows (rater and rater2 name it) and
// the cells of its table that hold objects (pair_table: class, class2,
// count), then each rater's rows and its class counts and shares
// (rater_class: class, count, the share as estimate). With --objects, a
// last column `object` and the adjudication list's rows after them
// (object_agreeing_pairs, object_mode, object_unanimous, object_rating).

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "output/batch_output.h"
#include "output/measures.h"
#include "output/valid_utf8.h"

namespace zover {

namespace {

using Value = std::optional<double>;

// A count, as a whole number.
std::string Whole(const Value& x) { return x && std::isfinite(*x) ? std::to_string(static_cast<long long>(*x)) : ""; }

std::string Cell(const Value& x) { return x && std::isfinite(*x) ? nlohmann::json(*x).dump() : ""; }

// Whether `text` is a decimal number such as -1, +2.5 or -3e-4.
bool IsNumber(const std::string& text) {
  if (text.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0';
}

// A text cell from the data (a rater's name): valid UTF-8; a leading ' where
// a spreadsheet would take it for a formula (=, +, - or @ first, and not a
// number); quoted when it holds a separator, a quote or a line end.
std::string TextCell(const std::string& name) {
  std::string text = ValidUtf8(name);
  if (!text.empty() && std::string("=+-@").find(text[0]) != std::string::npos && !IsNumber(text)) text.insert(0, "'");
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// The header: the interval's columns say their level where it is 95 %; a
// last column `object` when the objects were kept.
std::string Header(double level, bool objects) {
  const char* ci = level == kDefaultLevel ? "ci95" : "ci";
  return std::string("measure,class,rater,estimate,se,") + ci + "_low," + ci +
         "_high,se0,z,p,class_label,objects_used,rater2,class2,count" + (objects ? ",object" : "") + "\n";
}

// The rows of one analysis; with groups each row starts with its group's
// cell (`group`: the cell and its comma).
class CsvTable {
 public:
  CsvTable(const Results& res, std::ostream& out, bool objectColumn, std::string group = "")
      : res_(res), out_(out), objectColumn_(objectColumn), group_(std::move(group)) {}

  // A warning about the data as read: its text in the class_label column.
  void AddWarning(const std::string& text) {
    out_ << group_ << "warning,,,,,,,,,," << TextCell(text) << ",,,,";
    End();
  }

  // A count of objects or ratings, as a whole number.
  void AddCount(const char* measure, double count) {
    out_ << group_ << measure << ",,," << static_cast<long long>(count) << ",,,,,,,,,,,";
    End();
  }

  void Add(const ResultRow& row) {
    const Value low = row.ci ? Value(row.ci->low) : std::nullopt;
    const Value high = row.ci ? Value(row.ci->high) : std::nullopt;
    Line(row.key, row.cls, Rater(row.rater), row.estimate, row.se, low, high, row.se0, row.z, row.p);
    Tail(row.objectsUsed, Rater(row.rater2), 0, std::nullopt);
  }

  // A difference between groups, as a row of its own.
  void AddDifference(const std::string& measure, int cls, const GroupComparison& c) {
    const Value low = c.ci ? Value(c.ci->low) : std::nullopt;
    const Value high = c.ci ? Value(c.ci->high) : std::nullopt;
    Line(measure, cls, "", c.difference, c.se, low, high, {}, c.z, c.p);
    Tail({}, "", 0, {});
  }

  // A value that is not a coefficient: a class's value, a chance
  // probability.
  void AddValue(const char* measure, int cls, const std::string& rater, Value value) {
    Line(measure, cls, rater, value, {}, {}, {}, {}, {}, {});
    Tail({}, "", 0, {});
  }

  // A count of objects: a cell of a pair's table (rater and rater2, class
  // and class2, 1-based), or a rater's class with its share.
  void AddCell(const char* measure, int rater, int rater2, int cls, int cls2, double count, Value share) {
    Line(measure, cls, Rater(rater), share, {}, {}, {}, {}, {}, {});
    Tail({}, Rater(rater2), cls2, count);
  }

  // A value of one object of the adjudication list (`object`: its name, or
  // "line N"): rater (from 1) and class for a rating, or a share with the
  // number of ratings or the most chosen class.
  void AddObject(const char* measure, const std::string& object, int rater, int cls, Value estimate, Value count) {
    Line(measure, cls, Rater(rater), estimate, {}, {}, {}, {}, {}, {});
    Tail({}, "", 0, count, object);
  }

 private:
  // A rater from 1 by its name or number; "" for 0.
  std::string Rater(int rater) const {
    if (rater <= 0) return "";
    const std::string* name = RaterName(res_, rater - 1);
    return name != nullptr ? TextCell(*name) : std::to_string(rater);
  }

  void Line(const std::string& measure, int cls, const std::string& rater, Value estimate, Value se, Value low,
            Value high, Value se0, Value z, Value p) {
    const std::string* label = ClassLabel(res_, cls - 1);
    out_ << group_ << measure << ',' << (cls > 0 ? std::to_string(cls) : "") << ',' << rater << ','
         << Cell(estimate) << ',' << Cell(se) << ',' << Cell(low) << ',' << Cell(high) << ',' << Cell(se0) << ','
         << Cell(z) << ',' << Cell(p) << ',' << (label != nullptr ? TextCell(*label) : "");
  }

  // objects_used, rater2, class2 and count, and the line's end.
  void Tail(Value objectsUsed, const std::string& rater2, int cls2, Value count, const std::string& object = "") {
    out_ << ',' << Whole(objectsUsed) << ',' << rater2 << ',' << (cls2 > 0 ? std::to_string(cls2) : "") << ','
         << Whole(count);
    End(object);
  }

  // The object column, when the objects were kept, and the line's end.
  void End(const std::string& object = "") {
    if (objectColumn_) out_ << ',' << object;
    out_ << '\n';
  }

  const Results& res_;
  std::ostream& out_;
  const bool objectColumn_;
  std::string group_;
};

std::string RaterLabel(const Results& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[r].empty()) return TextCell(names[r]);
  return std::to_string(r + 1);
}

bool ByRater(const ResultRow& row) { return row.group == RowGroup::kPair || row.group == RowGroup::kRater; }

// The pairs' and raters' rows, each pair's table after its rows and each
// rater's class counts after its.
void PairsAndRaters(const Results& res, CsvTable& table) {
  const DisagreementRecord& d = res.disagreement;
  const int K = res.K;
  std::size_t at = 0;
  while (at < res.rows.size()) {
    const ResultRow& first = res.rows[at];
    if (!ByRater(first)) {
      ++at;
      continue;
    }
    for (; at < res.rows.size() && ByRater(res.rows[at]) && res.rows[at].group == first.group &&
           res.rows[at].rater == first.rater && res.rows[at].rater2 == first.rater2;
         ++at) {
      table.Add(res.rows[at]);
    }
    const int a = first.rater - 1;
    if (first.group == RowGroup::kPair && !d.tables.empty()) {
      const std::uint32_t* cells = d.Table(PairNumber(a, first.rater2 - 1, res.R), K);
      for (int k = 0; k < K; ++k) {
        for (int l = 0; l < K; ++l) {
          const std::uint32_t count = cells[k * K + l];
          if (count > 0) table.AddCell("pair_table", first.rater, first.rater2, k + 1, l + 1, count, {});
        }
      }
    } else if (first.group == RowGroup::kRater) {
      for (int k = 0; k < K; ++k) {
        const Value share = d.raterObjects[a] > 0 ? Value(d.raterShares[a][k]) : std::nullopt;
        table.AddCell("rater_class", first.rater, 0, k + 1, 0, d.raterCounts[a][k], share);
      }
    }
  }
}

// The adjudication list, most disputed first: for each object the share of
// its pairs of ratings that agree (count: its ratings), its most chosen
// class (none on a tie) with that class's share, whether it is unanimous (1
// or 0), and its ratings, one row each.
void Objects(const Results& res, CsvTable& table) {
  const ObjectResults& list = res.disagreement.objects;
  const RatedObjects& objects = list.objects;
  for (const ObjectSummary& s : list.disputed) {
    const bool named = s.object < objects.ids.size() && !objects.ids[s.object].empty();
    const std::string name =
        named ? TextCell(objects.ids[s.object]) : "line " + std::to_string(objects.lines[s.object]);
    table.AddObject("object_agreeing_pairs", name, 0, 0, s.agreeingPairs, s.ratings);
    table.AddObject("object_mode", name, 0, s.mode ? *s.mode + 1 : 0, s.modeShare, {});
    table.AddObject("object_unanimous", name, 0, 0, s.unanimous ? 1.0 : 0.0, {});
    const std::uint16_t* ratings = objects.Ratings(s.object);
    for (int g = 0; g < objects.raters; ++g) {
      if (ratings[g] > 0) table.AddObject("object_rating", name, g + 1, ratings[g], {}, {});
    }
  }
}

// Every row in the rows' order; the class values of ordered classes before
// the model's rows, and its chance probabilities after them; then the pairs
// and the raters, and the objects when they were kept.
void Rows(CsvTable& table, const Results& res) {
  for (const std::string& warning : res.input.warnings) table.AddWarning(warning);
  table.AddCount("objects", res.input.objects);
  table.AddCount("complete_objects", res.input.completeObjects);
  table.AddCount("missing_ratings", res.input.missingRatings);
  if (res.level != kDefaultLevel) table.AddValue("level", 0, "", res.level);
  for (const ResultRow& row : res.rows) {
    if (row.group != RowGroup::kModel && !ByRater(row)) table.Add(row);
  }
  if (res.ordered.asked) {
    for (std::size_t k = 0; k < res.ordered.classValues.size(); ++k) {
      table.AddValue("class_value", static_cast<int>(k + 1), "", res.ordered.classValues[k]);
    }
  }
  for (const ResultRow& row : res.rows) {
    if (row.group == RowGroup::kModel) table.Add(row);
  }
  if (res.analysed) {
    const ModelFit& m = FinalMeasures(res.model);
    for (int i = 0; i < res.K; ++i) {
      for (int r = 0; r < res.R; ++r) {
        table.AddValue("chance_probability", i + 1, RaterLabel(res, r), Finite(m.pi[i][r]));
      }
    }
  }
  PairsAndRaters(res, table);
  if (res.disagreement.objects.kept) Objects(res, table);
}

}  // namespace

void PrintCsv(const Results& res, std::ostream& out) {
  const bool objects = res.disagreement.objects.kept;
  out << Header(res.level, objects);
  CsvTable table(res, out, objects);
  Rows(table, res);
}

// The group's cell comes first, so that every row of one analysis reads as
// the single file's row behind one more key, as a data frame of several
// analyses stacked (R's rbind, pandas' concat) puts its key first; all
// groups together have an empty cell, and a difference between groups the
// cell "A - others" or "A - B".
void PrintGroupedCsv(const GroupedResults& res, std::ostream& out) {
  // Every group is read with the same options: all keep their objects, or none.
  const bool objects = res.all.disagreement.objects.kept;
  out << "group," << Header(res.level, objects);
  CsvTable all(res.all, out, objects, ",");
  Rows(all, res.all);
  for (std::size_t g = 0; g < res.groups.size(); ++g) {
    CsvTable table(res.groups[g], out, objects, TextCell(res.names[g]) + ",");
    Rows(table, res.groups[g]);
  }
  for (const GroupComparison& c : res.comparisons) {
    const ResultRow& row = res.all.rows[c.row];
    const std::string pair = res.names[c.group] + " - " + (c.versus ? res.names[*c.versus] : std::string("others"));
    CsvTable table(res.all, out, objects, TextCell(pair) + ",");
    table.AddDifference(row.key + "_difference", row.cls, c);
  }
}

}  // namespace zover
