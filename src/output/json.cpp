// The batch command's JSON: one object with the input, the raw agreement,
// the kappa coefficients and the model (first fit and final table), the
// coefficients beside them and, when asked for, those of ordered classes
// with their class values and weights. Numbers
// are written at full precision (the shortest text that reads back to the
// same double); a value that is not finite, or that the report shows as no
// number, is null.
//
// The document is written as it is built, with nlohmann/json's layout of
// dump(2), and no tree of values is kept: the library's tree needs memory to
// be destroyed, so that running out of memory while one is built or
// destroyed would end the program. Here a failed allocation can only throw,
// and the batch command reports it.

#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "output/batch_output.h"
#include "output/measures.h"
#include "output/valid_utf8.h"
#include "tables/version.h"

namespace zover {

namespace {

// The text of one value, as nlohmann/json prints it.
using Scalar = std::string;

Scalar Null() { return "null"; }
Scalar Number(double x) { return std::isfinite(x) ? nlohmann::json(x).dump() : Null(); }
Scalar Whole(long long x) { return std::to_string(x); }
Scalar Text(const std::string& text) { return nlohmann::json(ValidUtf8(text)).dump(); }
Scalar Optional(const std::optional<double>& x) { return x ? Number(*x) : Null(); }
// A count of objects, as a whole number.
Scalar Count(const std::optional<double>& x) {
  return x && std::isfinite(*x) ? Whole(static_cast<long long>(*x)) : Null();
}

// Writes objects and arrays with two blanks of indentation per level and
// one element per line; an empty one as {} or [].
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void Open(char bracket) {
    Element();
    out_ << bracket;
    empty_.push_back(true);
  }
  void Open(const char* key, char bracket) {
    Key(key);
    Open(bracket);
  }
  void Close(char bracket) {
    const bool empty = empty_.back();
    empty_.pop_back();
    if (!empty) out_ << '\n' << std::string(2 * empty_.size(), ' ');
    out_ << bracket;
  }
  void Value(const Scalar& value) {
    Element();
    out_ << value;
  }
  void Field(const char* key, const Scalar& value) {
    Key(key);
    Value(value);
  }

 private:
  void Key(const char* key) {
    Element();
    out_ << '"' << key << "\": ";
    keyed_ = true;
  }
  // Before a key, or a value that has none: the separator from the element
  // before it and the new element's line.
  void Element() {
    if (keyed_) {
      keyed_ = false;
      return;
    }
    if (empty_.empty()) return;
    out_ << (empty_.back() ? "\n" : ",\n") << std::string(2 * empty_.size(), ' ');
    empty_.back() = false;
  }

  std::ostream& out_;
  std::vector<bool> empty_;  // per open object or array: nothing in it yet
  bool keyed_ = false;       // a key was written, its value comes next
};

// The name of the intervals: ci95 at the usual 95 %, otherwise ci (the
// document gives the level once, as "level").
const char* IntervalName(double level) { return level == kDefaultLevel ? "ci95" : "ci"; }

// An interval as [lower, upper], or null.
void IntervalField(JsonWriter& w, const std::optional<Interval>& interval, double level) {
  const char* name = IntervalName(level);
  if (!interval) {
    w.Field(name, Null());
    return;
  }
  w.Open(name, '[');
  w.Value(Number(interval->low));
  w.Value(Number(interval->high));
  w.Close(']');
}

// A reason is given where a value is null for a cause other than the data
// being what they are.
void AddReason(JsonWriter& w, const std::string& reason) {
  if (!reason.empty()) w.Field("reason", Text(reason));
}

// Why an estimate is not to be read as it stands, and what to read instead.
void AddCaution(JsonWriter& w, const ResultRow& row) {
  if (row.caution.empty()) return;
  w.Field("caution", Text(row.caution));
  if (row.instead) w.Field("instead", Number(*row.instead));
}

// A per-class object's first fields: the class number and its label (null
// without labels).
void ClassFields(JsonWriter& w, const Results& res, int i) {
  w.Field("class", Whole(i + 1));
  const std::string* label = ClassLabel(res, i);
  w.Field("label", label != nullptr ? Text(*label) : Null());
}

// A list of texts, or null when it is empty.
void Texts(JsonWriter& w, const char* key, const std::vector<std::string>& texts) {
  if (texts.empty()) {
    w.Field(key, Null());
    return;
  }
  w.Open(key, '[');
  for (const std::string& text : texts) w.Value(Text(text));
  w.Close(']');
}

void Chance(JsonWriter& w, const Grid<double>& pi, int i, int R, bool zeroIsNone) {
  w.Open("chance", '[');
  for (int r = 0; r < R; ++r) w.Value(zeroIsNone && pi[i][r] == 0.0 ? Null() : Number(pi[i][r]));
  w.Close(']');
}

void Input(JsonWriter& w, const Results& res) {
  w.Open("input", '{');
  w.Field("file", Text(res.input.file));
  w.Field("layout", Text(res.input.layout));
  w.Field("objects", Whole(static_cast<long long>(res.input.objects)));
  w.Field("raters", Whole(res.R));
  w.Field("classes", Whole(res.K));
  Texts(w, "class_labels", res.input.classLabels);
  Texts(w, "rater_names", res.input.raterNames);
  w.Field("complete_objects", Whole(static_cast<long long>(res.input.completeObjects)));
  w.Field("missing_ratings", Whole(static_cast<long long>(res.input.missingRatings)));
  if (!res.input.rowNames.empty()) w.Field("row_names", Text(res.input.rowNames));
  w.Close('}');
}

// What the data may not mean as read: present only when there is something
// to say.
void Warnings(JsonWriter& w, const Results& res) {
  if (!res.input.warnings.empty()) Texts(w, "warnings", res.input.warnings);
}

// The fields of a row that it gives, in one order: its label, estimate,
// standard error and interval, null standard error, z and p, the reason.
void RowFields(JsonWriter& w, const Results& res, const ResultRow& row) {
  if (row.cls > 0) ClassFields(w, res, row.cls - 1);
  if (row.has(kFieldLabel)) w.Field("label", Text(row.label));
  w.Field("estimate", Optional(row.estimate));
  if (row.has(kFieldSe)) w.Field("se", Optional(row.se));
  if (row.has(kFieldCi)) IntervalField(w, row.ci, res.level);
  if (row.has(kFieldSe0)) w.Field("se0", Optional(row.se0));
  if (row.has(kFieldZ)) w.Field("z", Optional(row.z));
  if (row.has(kFieldP)) w.Field("p", Optional(row.p));
  w.Field("objects_used", Count(row.objectsUsed));
  AddReason(w, row.reason);
  AddCaution(w, row);
}

// A row as an object under its key, with its rows per class as a list
// (Fleiss' kappa per class).
void RowObject(JsonWriter& w, const Results& res, std::size_t at) {
  const ResultRow& row = res.rows[at];
  w.Open(row.jsonName().c_str(), '{');
  RowFields(w, res, row);
  std::string list;
  for (std::size_t k = at + 1; k < res.rows.size(); ++k) {
    const ResultRow& child = res.rows[k];
    if (child.cls == 0 || child.parent != row.key) continue;
    if (child.jsonName() != list) {
      if (!list.empty()) w.Close(']');
      list = child.jsonName();
      w.Open(list.c_str(), '[');
    }
    w.Open('{');
    RowFields(w, res, child);
    w.Close('}');
  }
  if (!list.empty()) w.Close(']');
  w.Close('}');
}

// The kappas of the report (unweighted), each with the rows under it.
void Kappas(JsonWriter& w, const Results& res) {
  w.Open("kappa", '{');
  for (std::size_t at = 0; at < res.rows.size(); ++at) {
    const ResultRow& row = res.rows[at];
    if (row.group == RowGroup::kKappa && row.weights == WeightScheme::kIdentity && row.cls == 0) {
      RowObject(w, res, at);
    }
  }
  w.Close('}');
}

// The coefficients beside the kappas: Gwet's family, Krippendorff's alpha
// and the coefficients of ordered classes, in the rows' order; then
// Conger's and Light's kappa and Scott's pi.
void Coefficients(JsonWriter& w, const Results& res) {
  w.Open("coefficients", '{');
  for (std::size_t at = 0; at < res.rows.size(); ++at) {
    const ResultRow& row = res.rows[at];
    const bool beside = row.group == RowGroup::kGwet || row.group == RowGroup::kAlpha ||
                        (row.group == RowGroup::kKappa && row.weights != WeightScheme::kIdentity);
    if (beside && row.cls == 0) RowObject(w, res, at);
  }
  for (std::size_t at = 0; at < res.rows.size(); ++at) {
    if (res.rows[at].group == RowGroup::kRaterKappa) RowObject(w, res, at);
  }
  w.Close('}');
}

// The adjudication list, most disputed first: each object's name (null when
// the file names none), line, ratings (class numbers, null for a missing
// rating), share of agreeing pairs of ratings, most chosen class when one
// leads, its share, and whether the ratings are unanimous.
void Objects(JsonWriter& w, const Results& res) {
  const ObjectResults& list = res.disagreement.objects;
  const RatedObjects& objects = list.objects;
  w.Open("objects", '[');
  for (const ObjectSummary& s : list.disputed) {
    w.Open('{');
    const bool named = s.object < objects.ids.size() && !objects.ids[s.object].empty();
    w.Field("object", named ? Text(objects.ids[s.object]) : Null());
    w.Field("line", Whole(objects.lines[s.object]));
    w.Open("ratings", '[');
    const std::uint16_t* ratings = objects.Ratings(s.object);
    for (int g = 0; g < objects.raters; ++g) w.Value(ratings[g] == 0 ? Null() : Whole(ratings[g]));
    w.Close(']');
    w.Field("agreeing_pairs", Optional(s.agreeingPairs));
    w.Field("mode", s.mode ? Whole(*s.mode + 1) : Null());
    w.Field("mode_share", Number(s.modeShare));
    w.Field("unanimous", s.unanimous ? "true" : "false");
    w.Close('}');
  }
  w.Close(']');
}

// A rater's number from 1 and its name (null without one).
void RaterFields(JsonWriter& w, const Results& res, const char* key, const char* nameKey, int rater) {
  w.Field(key, Whole(rater));
  const std::string* name = RaterName(res, rater - 1);
  w.Field(nameKey, name != nullptr ? Text(*name) : Null());
}

// The rows of one pair or rater that start at `at`, each an object under
// its JSON key; returns where the next one starts.
std::size_t RowsOf(JsonWriter& w, const Results& res, std::size_t at) {
  const ResultRow& first = res.rows[at];
  for (; at < res.rows.size(); ++at) {
    const ResultRow& row = res.rows[at];
    if (row.group != first.group || row.rater != first.rater || row.rater2 != first.rater2) break;
    w.Open(row.jsonName().c_str(), '{');
    RowFields(w, res, row);
    w.Close('}');
  }
  return at;
}

// Every pair of raters with its objects, agreement, Cohen's kappa (and
// weighted kappa) and its K x K table; the raters in the order that puts
// similar ones together; each rater with its class counts and shares and
// its rows; the adjudication list when the objects were kept.
void Disagreement(JsonWriter& w, const Results& res) {
  const DisagreementRecord& d = res.disagreement;
  const int K = res.K;
  if (d.raterOrder.empty()) {
    w.Field("rater_order", Null());
  } else {
    w.Open("rater_order", '[');
    for (const int g : d.raterOrder) w.Value(Whole(g + 1));
    w.Close(']');
  }
  if (!d.pairs) {
    w.Field("pairs", Null());
    w.Field("pairs_left_out", Text(d.pairsReason));
  } else {
    if (!d.tablesReason.empty()) w.Field("pair_tables_left_out", Text(d.tablesReason));
    w.Open("pairs", '[');
    for (std::size_t at = 0; at < res.rows.size();) {
      const ResultRow& first = res.rows[at];
      if (first.group != RowGroup::kPair) {
        ++at;
        continue;
      }
      w.Open('{');
      RaterFields(w, res, "rater", "name", first.rater);
      RaterFields(w, res, "rater2", "name2", first.rater2);
      w.Field("objects", Count(first.objectsUsed));
      at = RowsOf(w, res, at);
      if (!d.tables.empty()) {
        const std::uint32_t* cells = d.Table(PairNumber(first.rater - 1, first.rater2 - 1, res.R), K);
        w.Open("table", '[');
        for (int k = 0; k < K; ++k) {
          w.Open('[');
          for (int l = 0; l < K; ++l) w.Value(Whole(cells[k * K + l]));
          w.Close(']');
        }
        w.Close(']');
      }
      w.Close('}');
    }
    w.Close(']');
  }
  w.Open("raters", '[');
  for (std::size_t at = 0; at < res.rows.size();) {
    const ResultRow& first = res.rows[at];
    if (first.group != RowGroup::kRater) {
      ++at;
      continue;
    }
    const auto g = static_cast<std::size_t>(first.rater - 1);
    w.Open('{');
    RaterFields(w, res, "rater", "name", first.rater);
    w.Field("objects", Whole(static_cast<long long>(d.raterObjects[g])));
    w.Open("counts", '[');
    for (int k = 0; k < K; ++k) w.Value(Whole(static_cast<long long>(d.raterCounts[g][k])));
    w.Close(']');
    w.Open("shares", '[');
    for (int k = 0; k < K; ++k) w.Value(d.raterObjects[g] > 0 ? Number(d.raterShares[g][k]) : Null());
    w.Close(']');
    w.Field("leading_objects", Count(first.objectsUsed));
    at = RowsOf(w, res, at);
    w.Close('}');
  }
  w.Close(']');
  if (d.objects.kept) Objects(w, res);
}

// The class values of the coefficients of ordered classes, the bootstrap,
// what stays nominal, and the weights.
void Ordered(JsonWriter& w, const Results& res) {
  const OrderedSettings& ordered = res.ordered;
  w.Open("ordered", '{');
  w.Open("class_values", '[');
  for (const double x : ordered.classValues) w.Value(Number(x));
  w.Close(']');
  w.Field("class_values_from", Text(ClassValuesSource(res)));
  w.Field("nominal", Text("the Zover model, the kappas, H2 and the unweighted coefficients treat the classes as "
                          "nominal"));
  if (ordered.bootstrapSamples > 0) {
    w.Open("bootstrap", '{');
    w.Field("samples", Whole(ordered.bootstrapSamples));
    w.Field("seed", std::to_string(ordered.seed));
    w.Close('}');
  } else {
    w.Field("bootstrap", Null());
  }
  w.Close('}');
  if (ordered.weights == WeightScheme::kIdentity) return;
  w.Open("weights", '{');
  w.Field("name", Text(WeightSchemeName(ordered.weights)));
  w.Open("matrix", '[');
  const Grid<double>& m = ordered.weightMatrix;
  for (std::size_t k = 0; k < m.rows(); ++k) {
    w.Open('[');
    for (std::size_t l = 0; l < m.cols(); ++l) w.Value(Number(m[k][l]));
    w.Close(']');
  }
  w.Close(']');
  w.Close('}');
}

// The table printed without standard errors, as the report shows it: the
// three-class fit of the two-raters-two-classes case; otherwise the first
// fit, with the indeterminate probabilities and the minus-infinity class as
// null.
void FirstFit(JsonWriter& w, const Results& res) {
  const ModelResults& model = res.model;
  w.Open("first_fit", '{');
  if (model.report == Report::kTwoByTwo) {
    w.Field("overall", Number(model.overallesp));
    w.Open("classes", '[');
    for (int i = 0; i < 3; ++i) {
      w.Open('{');
      ClassFields(w, res, i);
      w.Field("agreement", Number(model.agreementesp[i]));
      Chance(w, model.piesp, i, res.R, false);
      w.Close('}');
    }
    w.Close(']');
    w.Close('}');
    return;
  }
  const ModelFit& m = model.first;
  const bool minusInfinity = model.report == Report::kMinusInfinity;
  w.Field("overall", minusInfinity ? Null() : Number(m.overall));
  if (minusInfinity) w.Field("minus_infinity_class", Whole(model.first.t + 1));
  w.Open("classes", '[');
  for (int i = 0; i < res.K; ++i) {
    w.Open('{');
    ClassFields(w, res, i);
    if (minusInfinity) {
      const bool marked = i == model.first.t;
      w.Field("consistency", marked ? Null() : Number(m.consistency[i]));
      w.Field("agreement", marked ? Null() : Number(m.agreement[i]));
      w.Open("chance", '[');
      for (int r = 0; r < res.R; ++r) w.Value(Number(marked ? 1.0 : 0.0));
      w.Close(']');
    } else {
      w.Field("consistency", Number(m.consistency[i]));
      w.Field("agreement", Number(m.agreement[i]));
      Chance(w, m.pi, i, res.R, model.report == Report::kIndeterminate);
    }
    w.Close('}');
  }
  w.Close(']');
  w.Close('}');
}

// A value of the model's final table, from its row.
void ModelValue(JsonWriter& w, const char* name, const ResultRow* row, double level) {
  w.Open(name, '{');
  w.Field("estimate", Optional(row->estimate));
  w.Field("se", Optional(row->se));
  IntervalField(w, row->ci, level);
  w.Field("objects_used", Count(row->objectsUsed));
  if (!row->estimate) AddReason(w, row->reason);
  AddCaution(w, *row);
  w.Close('}');
}

void Final(JsonWriter& w, const Results& res) {
  const ModelFit& m = FinalMeasures(res.model);
  w.Open("final", '{');
  ModelValue(w, "overall", res.Find("zover_overall"), res.level);
  w.Open("classes", '[');
  for (int i = 0; i < res.K; ++i) {
    w.Open('{');
    ClassFields(w, res, i);
    ModelValue(w, "consistency", res.Find("zover_consistency", i + 1), res.level);
    ModelValue(w, "agreement", res.Find("zover_agreement", i + 1), res.level);
    Chance(w, m.pi, i, res.R, false);
    w.Close('}');
  }
  w.Close(']');
  w.Close('}');
}

void Model(JsonWriter& w, const Results& res) {
  const ModelResults& model = res.model;
  w.Open("model", '{');
  w.Field("report", Text(ReportName(model.report)));
  w.Field("B", Number(model.first.B));
  w.Field("increment", Number(model.increment));
  w.Field("pseudo_objects", Number(model.pseudoObjects));
  // Whether every fit printed is stable, and the larger spread of B.
  w.Field("stable", model.stable ? "true" : "false");
  w.Field("spread", Number(model.spread));
  if (PrintsFirstFit(model.report)) FirstFit(w, res);
  Final(w, res);
  w.Close('}');
}

// The fields of one analysis, in its open object.
void ResultsFields(JsonWriter& w, const Results& res) {
  w.Field("zover", Text(Version()));
  Input(w, res);
  if (res.level != kDefaultLevel) w.Field("level", Number(res.level));
  Warnings(w, res);
  if (res.ordered.asked) Ordered(w, res);
  if (res.analysed) {
    w.Field("raw_agreement", Optional(res.Find("raw_agreement")->estimate));
    Kappas(w, res);
    Model(w, res);
  } else {
    w.Field("raw_agreement", Null());
    w.Field("kappa", Null());
    w.Field("model", Null());
    w.Field("not_analysed", Text(res.notAnalysed));
  }
  if (res.observed) Coefficients(w, res);
  if (res.disagreement.computed) Disagreement(w, res);
}

// A comparison of one coefficient between groups.
void Comparison(JsonWriter& w, const GroupedResults& res, const GroupComparison& c) {
  const ResultRow& row = res.all.rows[c.row];
  w.Open('{');
  w.Field("measure", Text(row.key));
  w.Field("class", row.cls > 0 ? Whole(row.cls) : Null());
  w.Field("label", Text(row.label));
  w.Field("group", Text(res.names[c.group]));
  w.Field("versus", c.versus ? Text(res.names[*c.versus]) : Null());
  if (!c.versus) w.Field("pooled_groups", Whole(c.pooled));
  w.Field("estimate", Optional(c.estimate));
  w.Field("other", Optional(c.other));
  w.Field("other_se", Optional(c.otherSe));
  w.Field("difference", Optional(c.difference));
  w.Field("se", Optional(c.se));
  IntervalField(w, c.ci, res.level);
  w.Field("z", Optional(c.z));
  w.Field("p", Optional(c.p));
  AddReason(w, c.reason);
  w.Close('}');
}

}  // namespace

void PrintJson(const Results& res, std::ostream& out) {
  JsonWriter w(out);
  w.Open('{');
  ResultsFields(w, res);
  w.Close('}');
  out << "\n";
}

void PrintGroupedJson(const GroupedResults& res, std::ostream& out) {
  JsonWriter w(out);
  w.Open('{');
  ResultsFields(w, res.all);
  w.Field("groups_by", Text(res.by));
  w.Open("groups", '[');
  for (std::size_t g = 0; g < res.groups.size(); ++g) {
    w.Open('{');
    w.Field("group", Text(res.names[g]));
    w.Open("results", '{');
    ResultsFields(w, res.groups[g]);
    w.Close('}');
    w.Close('}');
  }
  w.Close(']');
  w.Open("comparisons", '{');
  w.Field("level", Number(res.level));
  w.Open("compared", '[');
  for (const std::string& key : res.compare) w.Value(Text(key));
  w.Close(']');
  w.Open("rows", '[');
  for (const GroupComparison& c : res.comparisons) Comparison(w, res, c);
  w.Close(']');
  w.Close('}');
  w.Close('}');
  out << "\n";
}

}  // namespace zover
