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

namespace zover {

namespace {

// The text of one value, as nlohmann/json prints it.
using Scalar = std::string;

Scalar Null() { return "null"; }
Scalar Number(double x) { return std::isfinite(x) ? nlohmann::json(x).dump() : Null(); }
Scalar Whole(long long x) { return std::to_string(x); }
Scalar Text(const std::string& text) { return nlohmann::json(ValidUtf8(text)).dump(); }
Scalar Optional(const std::optional<double>& x) { return x ? Number(*x) : Null(); }

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

// A 95 % interval as [lower, upper], or null.
void Interval(JsonWriter& w, const std::optional<std::pair<double, double>>& interval) {
  if (!interval) {
    w.Field("ci95", Null());
    return;
  }
  w.Open("ci95", '[');
  w.Value(Number(interval->first));
  w.Value(Number(interval->second));
  w.Close(']');
}

// An estimate with its standard error and 95 % interval within `range`
// (null where the standard error is not finite or missing).
void WithError(JsonWriter& w, double estimate, double se, Range range, bool hasSe = true) {
  w.Field("estimate", Number(estimate));
  w.Field("se", hasSe ? Number(se) : Null());
  Interval(w, hasSe ? Interval95(estimate, se, range) : std::nullopt);
}

// A reason is given where a value is null for a cause other than the data
// being what they are.
void AddReason(JsonWriter& w, const std::string& reason) {
  if (!reason.empty()) w.Field("reason", Text(reason));
}

// A value of the model's final table, with `reason` where its estimate is
// null.
void ObjectWithError(JsonWriter& w, const char* key, double estimate, double se, const std::string& reason) {
  w.Open(key, '{');
  WithError(w, estimate, se, kModelRange);
  if (!std::isfinite(estimate)) AddReason(w, reason);
  w.Close('}');
}

void NullTestFields(JsonWriter& w, const NullTest& t) {
  w.Field("se0", Optional(t.se0));
  w.Field("z", Optional(t.z));
  w.Field("p", Optional(t.p));
  AddReason(w, t.reason);
}

// A per-class object's first fields: the class number and its label (null
// without labels).
void ClassFields(JsonWriter& w, const PassResults& res, int i) {
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

void Input(JsonWriter& w, const PassResults& res) {
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
void Warnings(JsonWriter& w, const PassResults& res) {
  if (!res.input.warnings.empty()) Texts(w, "warnings", res.input.warnings);
}

// The kappas; with observed data, Cohen's and Fleiss' kappas are tested
// against chance (se0, and z and p from it) and Fleiss' kappa per class.
void Kappas(JsonWriter& w, const PassResults& res) {
  const CoefficientResults& c = res.coefficients;
  w.Open("kappa", '{');
  w.Open("hubert", '{');
  w.Field("label", Text(res.R == 2 ? "Cohen's kappa" : "Hubert's kappa"));
  WithError(w, res.hubert.estimate, res.hubert.se, kKappaRange, res.hubert.hasSe);
  if (c.hasCohen) {
    NullTestFields(w, c.cohen);
  } else {
    AddReason(w, res.hubert.reason);
  }
  w.Close('}');
  if (res.hasFleiss) {
    w.Open("fleiss", '{');
    WithError(w, res.fleiss.estimate, res.fleiss.se, kKappaRange);
    if (c.present) {
      NullTestFields(w, c.fleiss.kappa);
      w.Open("per_class", '[');
      for (std::size_t k = 0; k < c.fleiss.perClass.size(); ++k) {
        const NullTest& t = c.fleiss.perClass[k];
        w.Open('{');
        ClassFields(w, res, static_cast<int>(k));
        w.Field("estimate", Optional(t.estimate));
        NullTestFields(w, t);
        w.Close('}');
      }
      w.Close(']');
    }
    w.Close('}');
  }
  if (res.hasH2) {
    w.Open("h2", '{');
    w.Field("estimate", Number(res.h2));
    AddReason(w, res.h2Reason);
    w.Close('}');
  }
  w.Close('}');
}

void Coefficient(JsonWriter& w, const char* key, const Inference& g) {
  w.Open(key, '{');
  w.Field("estimate", Optional(g.estimate));
  w.Field("se", Optional(g.se));
  Interval(w, g.ci95);
  w.Field("z", Optional(g.z));
  w.Field("p", Optional(g.p));
  AddReason(w, g.reason);
  w.Close('}');
}

// Krippendorff's alpha: its estimate, and its bootstrap interval when one
// was asked for.
void Alpha(JsonWriter& w, const char* key, const Estimate& alpha, const LeveledAlpha* leveled) {
  w.Open(key, '{');
  w.Field("estimate", Optional(alpha.value));
  if (leveled != nullptr) Interval(w, leveled->ci95);
  AddReason(w, alpha.reason);
  w.Close('}');
}

void Coefficients(JsonWriter& w, const CoefficientResults& c) {
  const AgreementCoefficients& all = c.all;
  const OrderedResults& ordered = c.ordered;
  w.Open("coefficients", '{');
  Coefficient(w, "percent_agreement", all.percentAgreement);
  Coefficient(w, "brennan_prediger", all.brennanPrediger);
  Coefficient(w, "gwet_ac1", all.gwetAc1);
  Coefficient(w, "fleiss_general", all.fleissGeneral);
  Alpha(w, "krippendorff_alpha", all.krippendorffAlpha, NominalAlpha(ordered));
  if (ordered.hasCohen) {
    const Inference& k = ordered.cohen.kappa;
    w.Open("cohen_kappa_weighted", '{');
    w.Field("estimate", Optional(k.estimate));
    w.Field("se", Optional(k.se));
    Interval(w, k.ci95);
    w.Field("se0", Optional(ordered.cohen.se0));
    w.Field("z", Optional(k.z));
    w.Field("p", Optional(k.p));
    AddReason(w, k.reason);
    w.Close('}');
  }
  if (ordered.weights != WeightScheme::kIdentity) {
    Coefficient(w, "percent_agreement_weighted", ordered.gwet.percentAgreement);
    Coefficient(w, "brennan_prediger_weighted", ordered.gwet.brennanPrediger);
    Coefficient(w, "gwet_ac2", ordered.gwet.gwetAc2);
    Coefficient(w, "fleiss_general_weighted", ordered.gwet.fleissGeneral);
  }
  for (const LeveledAlpha& a : ordered.alphas) {
    if (a.level == AlphaLevel::kNominal) continue;
    Alpha(w, ("krippendorff_alpha_" + std::string(AlphaLevelName(a.level))).c_str(), a.alpha, &a);
  }
  w.Close('}');
}

// The class values of the coefficients of ordered classes, the bootstrap,
// what stays nominal, and the weights.
void Ordered(JsonWriter& w, const PassResults& res) {
  const OrderedResults& ordered = res.coefficients.ordered;
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
void FirstFit(JsonWriter& w, const PassResults& res) {
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

void Final(JsonWriter& w, const PassResults& res) {
  const ModelResults& model = res.model;
  const ModelFit& m = FinalMeasures(model);
  w.Open("final", '{');
  ObjectWithError(w, "overall", m.overall, model.overallSe, model.reason);
  w.Open("classes", '[');
  for (int i = 0; i < res.K; ++i) {
    w.Open('{');
    ClassFields(w, res, i);
    ObjectWithError(w, "consistency", m.consistency[i], model.consistencySe[i], model.reason);
    ObjectWithError(w, "agreement", m.agreement[i], model.agreementSe[i], model.reason);
    Chance(w, m.pi, i, res.R, false);
    w.Close('}');
  }
  w.Close(']');
  w.Close('}');
}

void Model(JsonWriter& w, const PassResults& res) {
  const ModelResults& model = res.model;
  w.Open("model", '{');
  w.Field("report", Text(ReportName(model.report)));
  w.Field("B", Number(model.first.B));
  w.Field("increment", Number(model.increment));
  w.Field("pseudo_objects", Number(model.pseudoObjects));
  if (PrintsFirstFit(model.report)) FirstFit(w, res);
  Final(w, res);
  w.Close('}');
}

}  // namespace

void PrintJson(const PassResults& res, std::ostream& out) {
  JsonWriter w(out);
  w.Open('{');
  w.Field("zover", Text("1.3"));
  Input(w, res);
  Warnings(w, res);
  const OrderedResults& ordered = res.coefficients.ordered;
  if (ordered.weights != WeightScheme::kIdentity || !ordered.alphas.empty()) Ordered(w, res);
  if (res.analysed) {
    w.Field("raw_agreement", Number(res.raw));
    Kappas(w, res);
    Model(w, res);
  } else {
    w.Field("raw_agreement", Null());
    w.Field("kappa", Null());
    w.Field("model", Null());
    w.Field("not_analysed", Text(res.notAnalysed));
  }
  if (res.coefficients.present) Coefficients(w, res.coefficients);
  w.Close('}');
  out << "\n";
}

}  // namespace zover
