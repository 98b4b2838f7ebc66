// The batch command's HTML page and SVG figure. The page is one file that a
// browser shows without anything else: CSS and SVG inline, no script, no
// external reference, no web font. It is written as it is built, element by
// element, and it is also well-formed XML (every element closed, attributes
// quoted, only the five predefined entities), so that an XML parser can
// check it. Every text from the data (the file's name, rater names, class
// labels) goes through Markup: valid UTF-8, escaped.
//
// The page: a header (file, layout, options, objects, raters, classes,
// complete objects, missing ratings), figure 1 (the coefficients), figure 2
// (per class), figure 3 (chance probabilities), the tables of numbers (the
// JSON's values to 4 decimals), the dialogue's report and notes. It reads
// on a screen 320 px wide (tables and figures scroll sideways, the text
// wraps) and prints on A4 and Letter (figures shrink to the page's width).

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "console/format.h"
#include "output/batch_output.h"
#include "output/figures.h"
#include "output/markup.h"
#include "output/measures.h"
#include "output/report.h"
#include "tables/version.h"

namespace zover {

namespace {

// The largest table of chance probabilities written as a table (classes
// times raters); the dialogue's report below it holds every one of them.
constexpr long kMaxTableCells = 10000;
// The most rater names and class labels the header lists.
constexpr std::size_t kMaxListed = 50;

const char* const kStyle = R"(
body{margin:0 auto;max-width:64rem;padding:1rem 1.25rem 3rem;font:16px/1.45 Helvetica,Arial,sans-serif;color:#1a1a1a;background:#fff}
h1{font-size:1.5rem;margin:.5rem 0 1rem;overflow-wrap:anywhere}
h2{font-size:1.2rem;margin:2rem 0 .6rem;padding-bottom:.2rem;border-bottom:1px solid #ccc}
h3{font-size:1rem;margin:1.2rem 0 .4rem}
figure{margin:1rem 0 1.5rem}
figcaption{font-weight:bold;margin-bottom:.5rem}
.scroll{overflow-x:auto}
svg.figure{display:block;height:auto}
table{border-collapse:collapse;font-size:.9rem;font-variant-numeric:tabular-nums;margin:.25rem 0}
th,td{padding:.2rem .55rem;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}
thead th{border-bottom:2px solid #999}
tbody th{font-weight:normal}
caption{text-align:left;font-weight:bold;white-space:nowrap;padding:.2rem 0}
td.num,th.num{text-align:right;white-space:nowrap}
table.facts th{font-weight:normal;color:#444;white-space:nowrap}
table.facts td{overflow-wrap:anywhere}
ul.notes{font-size:.9rem;color:#333;padding-left:1.2rem}
pre{font-size:.8rem;line-height:1.3;background:#f6f6f6;padding:.75rem;overflow-x:auto}
footer{margin-top:2rem;font-size:.85rem;color:#555}
@media (max-width:40rem){body{padding:.75rem}h1{font-size:1.25rem}svg.figure{width:auto!important;max-width:none!important}
table.facts tr,table.facts th,table.facts td{display:block;border:0;padding:0 .2rem}table.facts tr{padding:.3rem 0;border-bottom:1px solid #ddd}}
@media print{@page{margin:15mm}body{max-width:none;padding:0;font-size:10pt}.scroll{overflow:visible}
svg.figure{max-width:100%!important}figure,tr{break-inside:avoid}h2,h3{break-after:avoid}
pre{white-space:pre-wrap;font-size:7pt;background:none;padding:0}}
)";

// A stream buffer that writes what it is given to `out` as markup text,
// without the line ends it starts with.
class MarkupBuf : public std::streambuf {
 public:
  explicit MarkupBuf(std::ostream& out) : out_(out) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) Put(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) Put(s[i]);
    return n;
  }

 private:
  void Put(char c) {
    if (c == '\n' && start_) return;
    start_ = false;
    switch (c) {
      case '&': out_ << "&amp;"; break;
      case '<': out_ << "&lt;"; break;
      case '>': out_ << "&gt;"; break;
      default: out_.put(c);
    }
  }
  std::ostream& out_;
  bool start_ = true;
};

using Value = std::optional<double>;

// A number cell: four decimals, or a dash where the JSON has null.
std::string Cell(const Value& x) {
  return "<td class=\"num\">" + (x && std::isfinite(*x) ? Table4(*x) : std::string("\xE2\x80\x94")) + "</td>";
}

std::string PCell(const Value& p) {
  if (p && *p < 0.0001) return "<td class=\"num\">&lt;0.0001</td>";
  return Cell(p);
}

std::string Whole(double x) { return Format("%.0lf", {x}); }

// A list of names, the first kMaxListed of them.
std::string Listed(const std::vector<std::string>& names, bool numbered) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kMaxListed; ++i) {
    text += (i == 0 ? "" : ", ") + (numbered ? std::to_string(i + 1) + " = " : std::string()) + names[i];
  }
  if (names.size() > kMaxListed) text += " and " + std::to_string(names.size() - kMaxListed) + " more";
  return text;
}

const char* LayoutInWords(const std::string& layout) {
  if (layout == "frequencies") return "response tuples with their frequencies";
  if (layout == "model") return "model data: agreements and disagreements";
  if (layout == "long") return "one rating per line (object, rater, rating)";
  return "raw responses, one line per object";
}

const char* ReportInWords(Report report) {
  switch (report) {
    case Report::kTwoByTwo:
      return "two raters and two classes: fitted with a dummy third class on data increased by 0.5";
    case Report::kIndeterminate:
      return "the chance probabilities of the first fit are indeterminate: refitted on data increased by 0.5";
    case Report::kMinusInfinity:
      return "the agreement of one class tends to minus infinity: refitted on data increased by 0.5";
    case Report::kInfiniteSolutions:
      return "the model equations have infinitely many solutions: refitted on data increased by 0.5";
    case Report::kZeroProbability:
      return "a chance probability of the first fit is 0: refitted on data increased by 0.5";
    case Report::kRegular: break;
  }
  return "regular: the first fit, with its standard errors";
}

void Fact(std::ostream& out, const char* name, const std::string& value) {
  out << "<tr><th scope=\"row\">" << name << "</th><td>" << Markup(value) << "</td></tr>\n";
}

void Head(const Results& res, std::ostream& out) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
      << "<meta name=\"generator\" content=\"zover " << Version() << "\"/>\n"
      << "<title>Agreement of raters: " << Markup(res.input.file) << "</title>\n"
      << "<style>" << kStyle << "</style>\n</head>\n<body>\n";
}

void Header(const Results& res, std::ostream& out) {
  const InputDescription& in = res.input;
  out << "<header>\n<h1>Agreement of raters: " << Markup(in.file) << "</h1>\n";
  out << "<table class=\"facts\">\n";
  Fact(out, "File", in.file);
  Fact(out, "Layout", LayoutInWords(in.layout));
  Fact(out, "Options", in.options.empty() ? "none" : in.options);
  Fact(out, "Objects", Whole(in.objects));
  Fact(out, "Raters", std::to_string(res.R) + (in.raterNames.empty() ? "" : ": " + Listed(in.raterNames, false)));
  Fact(out, "Classes", std::to_string(res.K) + (in.classLabels.empty() ? "" : ": " + Listed(in.classLabels, true)));
  Fact(out, "Objects rated by every rater", Whole(in.completeObjects));
  Fact(out, "Missing ratings", Whole(in.missingRatings));
  if (!in.rowNames.empty()) Fact(out, "Row names", in.rowNames);
  out << "</table>\n</header>\n<main>\n";
}

// What the data may not mean as read, in a box at the top of the page; no
// box (and not a byte more) without warnings.
void WarningBox(const Results& res, std::ostream& out) {
  if (res.input.warnings.empty()) return;
  out << "<aside class=\"warnings\" role=\"note\" style=\"border:2px solid #d55e00;background:#fff4ec;"
         "padding:.5rem 1rem;margin:1rem 0\">\n<p><strong>"
      << (res.input.warnings.size() > 1 ? "Warnings: read these" : "Warning: read this")
      << " before the results.</strong></p>\n<ul>\n";
  for (const std::string& warning : res.input.warnings) out << "<li>" << Markup(warning) << ".</li>\n";
  out << "</ul>\n</aside>\n";
}

void Notes(const std::vector<std::string>& notes, std::ostream& out) {
  if (notes.empty()) return;
  out << "<ul class=\"notes\">\n";
  for (const std::string& note : notes) out << "<li>" << Markup(note) << "</li>\n";
  out << "</ul>\n";
}

void FigureOpen(const std::string& caption, std::ostream& out) {
  out << "<figure>\n<figcaption>" << caption << "</figcaption>\n<div class=\"scroll\">\n";
}

void FigureClose(std::ostream& out) { out << "</div>\n</figure>\n"; }

// Figures 4 and 5: the pairs' kappas and the raters' class distributions,
// for up to kMaxDrawnRaters raters.
void RaterFigures(const Results& res, std::ostream& out, const std::string& prefix) {
  const DisagreementRecord& d = res.disagreement;
  const std::string tooMany = "Not drawn: the figure shows up to " + std::to_string(kMaxDrawnRaters) +
                              " raters; these data have " + std::to_string(res.R) + ".";
  FigureOpen("Figure 4. Cohen's kappa of every pair of raters, raters with similar kappas side by side: blue "
             "agrees, white is chance, red disagrees",
             out);
  if (!d.pairs) {
    Notes({"Not drawn: " + d.pairsReason + "."}, out);
  } else if (res.R > kMaxDrawnRaters) {
    Notes({tooMany + " The pairs are in the table of rater pairs below and in the JSON and CSV outputs."}, out);
  } else {
    WriteKappaHeatmap(res, out, prefix);
  }
  FigureClose(out);
  FigureOpen("Figure 5. Each rater's own class distribution: the share of its ratings in each class", out);
  if (res.R > kMaxDrawnRaters) {
    Notes({tooMany + " The shares are in the table of raters below."}, out);
  } else if (res.K > kMaxShareClasses) {
    Notes({"Not drawn: the figure colours up to " + std::to_string(kMaxShareClasses) + " classes; these data have " +
           std::to_string(res.K) + ". The shares are in the table of raters below."},
          out);
  } else {
    WriteClassShares(res, out, prefix);
  }
  FigureClose(out);
}

// The figures; a group's (`prefix` not empty) without the section
// around them, their ids after the prefix.
void Figures(const Results& res, std::ostream& out, const std::string& prefix = "") {
  if (prefix.empty()) out << "<section id=\"figures\">\n<h2>Figures</h2>\n";
  const std::string percent = LevelPercent(res.level);
  FigureOpen("Figure 1. Agreement coefficients with their " + percent + " % confidence intervals", out);
  WriteForestPlot(res, SvgMode::kInline, out, prefix);
  FigureClose(out);
  const std::string noModel = "Not drawn: the Zover model is not fitted (" + res.notAnalysed + ").";
  const std::string tooMany = std::to_string(kMaxFigureClasses) + " classes; these data have " + std::to_string(res.K) +
                              " classes and " + std::to_string(res.R) + " raters. ";
  FigureOpen("Figure 2. Per class: the Zover consistency and agreement with their " + percent + " % intervals" +
                 (res.hasFleiss && res.observed ? ", beside Fleiss' kappa of the class" : ""),
             out);
  if (!res.analysed) {
    Notes({noModel}, out);
  } else if (res.K > kMaxFigureClasses) {
    Notes({"Not drawn: the figure shows up to " + tooMany + "The values are in the tables below."}, out);
  } else {
    WriteClassFigure(res, out, prefix);
  }
  FigureClose(out);
  FigureOpen("Figure 3. The Zover model's chance-response probabilities of each class and rater: fitted by the "
             "model, not the raters' own class shares (figure 5 shows those)",
             out);
  if (!res.analysed) {
    Notes({noModel}, out);
  } else if (res.K > kMaxFigureClasses || res.R > kMaxGridRaters) {
    Notes({"Not drawn: the grid shows up to " + std::to_string(kMaxGridRaters) + " raters and " + tooMany +
           "The probabilities are in the table below when there are at most " + std::to_string(kMaxTableCells) +
           " of them, and always in the report and in the JSON and CSV outputs."},
          out);
  } else {
    WriteChanceGrid(res, out, prefix);
  }
  FigureClose(out);
  if (res.disagreement.computed) RaterFigures(res, out, prefix);
  if (prefix.empty()) out << "</section>\n";
}

void TableOpen(const std::string& caption, const std::vector<std::string>& columns, std::ostream& out) {
  out << "<div class=\"scroll\">\n<table>\n<caption>" << caption << "</caption>\n<thead><tr>";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    out << (i == 0 ? "<th scope=\"col\">" : "<th scope=\"col\" class=\"num\">") << columns[i] << "</th>";
  }
  out << "</tr></thead>\n<tbody>\n";
}

void TableClose(std::ostream& out) { out << "</tbody>\n</table>\n</div>\n"; }

void CoefficientTable(const Results& res, std::ostream& out) {
  out << "<h3>Coefficients</h3>\n";
  const std::string percent = LevelPercent(res.level);
  TableOpen("Estimates, standard errors, " + percent + " % intervals and tests",
            {"Coefficient", "Estimate", "SE", percent + " % CI low", percent + " % CI high", "SE under chance", "z", "p"},
            out);
  std::vector<std::string> reasons;
  for (const ResultRow& c : res.rows) {
    if (c.group == RowGroup::kModel && c.cls > 0) continue;  // in the model's table
    if (c.group == RowGroup::kPair || c.group == RowGroup::kRater) continue;  // in their own tables
    const Value low = c.ci ? Value(c.ci->low) : std::nullopt;
    const Value high = c.ci ? Value(c.ci->high) : std::nullopt;
    out << "<tr data-key=\"" << c.key << "\"" << (c.cls > 0 ? " data-class=\"" + std::to_string(c.cls) + "\"" : "")
        << "><th scope=\"row\">" << Markup(c.label) << "</th>" << Cell(c.estimate) << Cell(c.se) << Cell(low)
        << Cell(high) << Cell(c.se0) << Cell(c.z) << PCell(c.p) << "</tr>\n";
    if (!c.reason.empty()) reasons.push_back(c.label + ": " + c.reason + ".");
    if (!c.caution.empty()) reasons.push_back(c.label + ": not to be read as it stands: " + c.caution + ".");
  }
  TableClose(out);
  reasons.push_back("A dash marks a value that does not exist or is not a number (null in the JSON).");
  Notes(reasons, out);
}

void ModelFacts(const Results& res, std::ostream& out) {
  const ModelResults& model = res.model;
  out << "<h3>The Zover model</h3>\n<table class=\"facts\">\n";
  Fact(out, "Report", ReportInWords(model.report));
  Fact(out, "B of the first fit", Fixed4(model.first.B));
  Fact(out, "Increment per response tuple", Fixed4(model.increment));
  Fact(out, "Pseudo-objects it adds", Fixed4(model.pseudoObjects));
  out << "</table>\n";
}

// The class's number and label; class 3 of two classes is the dummy class
// of the two-raters-two-classes fit.
std::string ClassHeader(const Results& res, int i) {
  const std::string* label = ClassLabel(res, i);
  const std::string name = label != nullptr ? " " + Markup(*label) : i >= res.K ? " (dummy class)" : "";
  return "<th scope=\"row\">" + std::to_string(i + 1) + name + "</th>";
}

// The table printed with standard errors, from the model's rows.
void FinalTable(const Results& res, std::ostream& out) {
  TableOpen("Per class and overall, with standard errors and " + LevelPercent(res.level) + " % intervals",
            {"Class", "Consistency", "SE", "CI low", "CI high", "Agreement", "SE", "CI low", "CI high"}, out);
  const auto measure = [&out](const ResultRow* row) {
    out << Cell(row->estimate) << Cell(row->se) << Cell(row->ci ? Value(row->ci->low) : std::nullopt)
        << Cell(row->ci ? Value(row->ci->high) : std::nullopt);
  };
  for (int i = 0; i < res.K; ++i) {
    out << "<tr>" << ClassHeader(res, i);
    measure(res.Find("zover_consistency", i + 1));
    measure(res.Find("zover_agreement", i + 1));
    out << "</tr>\n";
  }
  out << "<tr><th scope=\"row\">Overall (Zover)</th>" << Cell({}) << Cell({}) << Cell({}) << Cell({});
  measure(res.Find("zover_overall"));
  out << "</tr>\n";
  TableClose(out);
}

// The table printed without standard errors, as the JSON's first_fit: the
// three-class fit of two raters and two classes, or the first fit with the
// indeterminate probabilities and the minus-infinity class left empty.
void FirstFitTable(const Results& res, std::ostream& out) {
  const ModelResults& model = res.model;
  const bool twoByTwo = model.report == Report::kTwoByTwo;
  const bool minusInfinity = model.report == Report::kMinusInfinity;
  const ModelFit& m = model.first;
  TableOpen(twoByTwo ? "First fit: the three classes with the dummy class, without standard errors"
                     : "First fit, without standard errors",
            twoByTwo ? std::vector<std::string>{"Class", "Agreement"}
                     : std::vector<std::string>{"Class", "Consistency", "Agreement"},
            out);
  const int classes = twoByTwo ? 3 : res.K;
  for (int i = 0; i < classes; ++i) {
    out << "<tr>" << ClassHeader(res, i);
    const bool marked = minusInfinity && i == model.first.t;
    if (twoByTwo) {
      out << Cell(model.agreementesp[i]);
    } else {
      out << Cell(marked ? Value() : Value(m.consistency[i])) << Cell(marked ? Value() : Value(m.agreement[i]));
    }
    out << "</tr>\n";
  }
  out << "<tr><th scope=\"row\">Overall (Zover)</th>" << (twoByTwo ? "" : Cell({}))
      << Cell(twoByTwo ? Value(model.overallesp) : minusInfinity ? Value() : Value(m.overall)) << "</tr>\n";
  TableClose(out);
  if (minusInfinity) {
    Notes({"The agreement of class " + std::to_string(model.first.t + 1) +
           " tends to minus infinity, and so does the overall agreement: their cells are empty."},
          out);
  }
}

std::string RaterHeader(const Results& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[static_cast<std::size_t>(r)].empty()) {
    return Markup(names[static_cast<std::size_t>(r)]);
  }
  return "Rater " + std::to_string(r + 1);
}

// A class x rater table of chance probabilities; `cell` gives each value or
// none.
template <typename CellOf>
void ChanceTable(const Results& res, const char* caption, int classes, CellOf cell, std::ostream& out) {
  if (static_cast<long>(classes) * res.R > kMaxTableCells) {
    Notes({std::string(caption) + ": " + std::to_string(classes) + " classes by " + std::to_string(res.R) +
           " raters are more than the " + std::to_string(kMaxTableCells) +
           " cells of a readable table; they are in the report below and in the JSON and CSV outputs."},
          out);
    return;
  }
  std::vector<std::string> columns{"Class"};
  for (int r = 0; r < res.R; ++r) columns.push_back(RaterHeader(res, r));
  TableOpen(caption, columns, out);
  for (int i = 0; i < classes; ++i) {
    out << "<tr>" << ClassHeader(res, i);
    for (int r = 0; r < res.R; ++r) out << Cell(cell(i, r));
    out << "</tr>\n";
  }
  TableClose(out);
}

void ModelTables(const Results& res, std::ostream& out) {
  const ModelResults& model = res.model;
  ModelFacts(res, out);
  FinalTable(res, out);
  const ModelFit& final = FinalMeasures(model);
  ChanceTable(res, "Chance-response probabilities (the table with standard errors)", res.K,
              [&final](int i, int r) { return Value(final.pi[i][r]); }, out);
  if (!PrintsFirstFit(model.report)) return;
  FirstFitTable(res, out);
  if (model.report == Report::kTwoByTwo) {
    ChanceTable(res, "Chance-response probabilities of the first fit", 3,
                [&model](int i, int r) { return Value(model.piesp[i][r]); }, out);
  } else {
    const bool minusInfinity = model.report == Report::kMinusInfinity;
    const bool indeterminate = model.report == Report::kIndeterminate;
    ChanceTable(res, "Chance-response probabilities of the first fit", res.K,
                [&model, minusInfinity, indeterminate](int i, int r) {
                  if (minusInfinity) return Value(i == model.first.t ? 1.0 : 0.0);
                  const double p = model.first.pi[i][r];
                  return indeterminate && p == 0.0 ? Value() : Value(p);
                },
                out);
  }
}

void RaterTables(const Results& res, std::ostream& out);

void NumberTables(const Results& res, std::ostream& out) {
  out << "<section id=\"tables\">\n<h2>Tables</h2>\n";
  CoefficientTable(res, out);
  if (res.analysed) ModelTables(res, out);
  if (res.disagreement.computed) RaterTables(res, out);
  out << "</section>\n";
}

// --- The pairs, the raters and the objects ----------------------------------

// The most pairs listed in the page's table, the pairs whose tables it
// shows, the largest of those tables, and the objects of the adjudication
// list it shows; the JSON and CSV outputs hold every one.
constexpr std::size_t kMaxListedPairs = 4950;
constexpr std::size_t kShownPairTables = 6;
constexpr int kMaxShownTableClasses = 20;
constexpr std::size_t kShownObjects = 50;

// A rater as a table's row header names it: its number and name.
std::string RaterCell(const Results& res, int g) {
  const std::string* name = RaterName(res, g);
  return std::to_string(g + 1) + (name != nullptr ? " " + Markup(*name) : "");
}

std::string ShareCell(const Value& x) {
  return "<td class=\"num\">" + (x && std::isfinite(*x) ? Format("%.1lf", {100 * *x}) + " %" : "\xE2\x80\x94") +
         "</td>";
}

// The rows of one pair or rater: its first row and the others by key.
struct RowsOfOne {
  std::vector<const ResultRow*> rows;
  const ResultRow* Find(const char* key) const {
    for (const ResultRow* row : rows) {
      if (row->key == key) return row;
    }
    return nullptr;
  }
};

std::vector<RowsOfOne> Grouped(const Results& res, RowGroup group) {
  std::vector<RowsOfOne> all;
  for (const ResultRow& row : res.rows) {
    if (row.group != group) continue;
    if (all.empty() || all.back().rows.front()->rater != row.rater || all.back().rows.front()->rater2 != row.rater2) {
      all.emplace_back();
    }
    all.back().rows.push_back(&row);
  }
  return all;
}

void PairTables(const Results& res, std::ostream& out) {
  const DisagreementRecord& d = res.disagreement;
  out << "<h3 id=\"pairs\">Rater pairs</h3>\n";
  if (!d.pairs) {
    Notes({"The pairs of raters are left out: " + d.pairsReason + "."}, out);
    return;
  }
  const std::vector<RowsOfOne> pairs = Grouped(res, RowGroup::kPair);
  const bool weighted = !pairs.empty() && pairs.front().Find("pair_cohen_kappa_weighted") != nullptr;
  std::vector<std::string> columns{"Raters", "Objects", "Agreement", "Kappa", "SE", "95 % CI low", "95 % CI high",
                                   "SE under chance", "z", "p"};
  if (weighted) columns.push_back(std::string("Weighted kappa (") + WeightSchemeName(res.ordered.weights) + ")");
  TableOpen("Every pair of raters on the objects both rated: percent agreement and Cohen's kappa", columns, out);
  for (std::size_t i = 0; i < pairs.size() && i < kMaxListedPairs; ++i) {
    const ResultRow* agreement = pairs[i].Find("pair_agreement");
    const ResultRow* k = pairs[i].Find("pair_cohen_kappa");
    if (agreement == nullptr || k == nullptr) continue;
    out << "<tr data-rater=\"" << k->rater << "\" data-rater2=\"" << k->rater2 << "\"><th scope=\"row\">"
        << RaterCell(res, k->rater - 1) << " / " << RaterCell(res, k->rater2 - 1) << "</th>"
        << "<td class=\"num\">" << (k->objectsUsed ? Whole(*k->objectsUsed) : "\xE2\x80\x94") << "</td>"
        << Cell(agreement->estimate) << Cell(k->estimate) << Cell(k->se)
        << Cell(k->ci ? Value(k->ci->low) : std::nullopt) << Cell(k->ci ? Value(k->ci->high) : std::nullopt)
        << Cell(k->se0) << Cell(k->z) << PCell(k->p);
    if (weighted) {
      const ResultRow* w = pairs[i].Find("pair_cohen_kappa_weighted");
      out << Cell(w != nullptr ? w->estimate : std::nullopt);
    }
    out << "</tr>\n";
  }
  TableClose(out);
  std::vector<std::string> notes;
  if (pairs.size() > kMaxListedPairs) {
    notes.push_back("The first " + std::to_string(kMaxListedPairs) + " of the " + std::to_string(pairs.size()) +
                    " pairs; the JSON and CSV outputs hold every one.");
  }
  notes.push_back("z and p test each kappa against chance with its SE under chance; the interval comes from its "
                  "own SE, which is Gwet's (irrCAC's kappa2.table) and statsmodels'.");
  Notes(notes, out);

  // The tables of the pairs that agree least.
  if (!d.tablesReason.empty() || d.tables.empty()) {
    if (!d.tablesReason.empty()) Notes({"The pairs' tables are left out: " + d.tablesReason + "."}, out);
    return;
  }
  if (res.K > kMaxShownTableClasses) {
    Notes({"The pairs' tables of " + std::to_string(res.K) + " classes are in the JSON and CSV outputs."}, out);
    return;
  }
  std::vector<const ResultRow*> least;
  for (const RowsOfOne& pair : pairs) {
    if (const ResultRow* k = pair.Find("pair_cohen_kappa"); k != nullptr && k->estimate) least.push_back(k);
  }
  std::stable_sort(least.begin(), least.end(),
                   [](const ResultRow* a, const ResultRow* b) { return *a->estimate < *b->estimate; });
  if (least.size() > kShownPairTables) least.resize(kShownPairTables);
  if (least.empty()) return;
  out << "<h3>The tables of the pairs that agree least</h3>\n";
  for (const ResultRow* k : least) {
    const int a = k->rater - 1, b = k->rater2 - 1;
    const std::uint32_t* cells = d.Table(PairNumber(a, b, res.R), res.K);
    std::vector<std::string> columns{RaterCell(res, a) + " \\ " + RaterCell(res, b)};
    for (int l = 0; l < res.K; ++l) {
      const std::string* label = ClassLabel(res, l);
      columns.push_back(std::to_string(l + 1) + (label != nullptr ? " " + Markup(*label) : ""));
    }
    const std::string caption = "Raters " + RaterCell(res, a) + " (rows) and " + RaterCell(res, b) +
                                " (columns): kappa " + Fixed4(*k->estimate);
    TableOpen(caption.c_str(), columns, out);
    for (int r = 0; r < res.K; ++r) {
      out << "<tr>" << ClassHeader(res, r);
      for (int l = 0; l < res.K; ++l) {
        const std::uint32_t count = cells[r * res.K + l];
        out << "<td class=\"num\">" << (r == l ? "<strong>" + std::to_string(count) + "</strong>"
                                               : std::to_string(count))
            << "</td>";
      }
      out << "</tr>\n";
    }
    TableClose(out);
  }
  Notes({"The diagonal (in bold) holds the objects on which the two raters agree; a large cell off it shows which "
         "classes they confuse. Every pair's table is in the JSON and CSV outputs."},
        out);
}

void RaterTable(const Results& res, std::ostream& out) {
  const DisagreementRecord& d = res.disagreement;
  out << "<h3 id=\"raters\">Each rater</h3>\n";
  const bool shares = res.K <= kMaxShownTableClasses;
  std::vector<std::string> columns{"Rater", "Objects"};
  if (shares) {
    for (int k = 0; k < res.K; ++k) {
      const std::string* label = ClassLabel(res, k);
      columns.push_back("Class " + std::to_string(k + 1) + (label != nullptr ? " " + Markup(*label) : ""));
    }
  }
  for (const char* column : {"Agreement with the others' leading class", "Kappa", "SE", "p",
                             "Fleiss' kappa of the others without it", "95 % CI low", "95 % CI high"}) {
    columns.push_back(column);
  }
  TableOpen("Each rater: its class shares, its agreement with the class most of the others chose, and how the others "
            "agree without it",
            columns, out);
  std::vector<std::string> reasons;
  for (const RowsOfOne& rater : Grouped(res, RowGroup::kRater)) {
    const ResultRow* agreement = rater.Find("rater_leading_agreement");
    const ResultRow* k = rater.Find("rater_leading_kappa");
    const ResultRow* without = rater.Find("rater_others_fleiss_kappa");
    if (agreement == nullptr || k == nullptr || without == nullptr) continue;
    const auto g = static_cast<std::size_t>(k->rater - 1);
    out << "<tr data-rater=\"" << k->rater << "\"><th scope=\"row\">" << RaterCell(res, k->rater - 1) << "</th>"
        << "<td class=\"num\">" << Whole(d.raterObjects[g]) << "</td>";
    if (shares) {
      for (int c = 0; c < res.K; ++c) {
        out << ShareCell(d.raterObjects[g] > 0 ? Value(d.raterShares[g][static_cast<std::size_t>(c)]) : std::nullopt);
      }
    }
    out << Cell(agreement->estimate) << Cell(k->estimate) << Cell(k->se) << PCell(k->p) << Cell(without->estimate)
        << Cell(without->ci ? Value(without->ci->low) : std::nullopt)
        << Cell(without->ci ? Value(without->ci->high) : std::nullopt) << "</tr>\n";
    if (!k->estimate && !k->reason.empty()) reasons.push_back(k->label + ": " + k->reason + ".");
    if (!without->estimate && !without->reason.empty()) reasons.push_back(without->label + ": " + without->reason + ".");
  }
  TableClose(out);
  if (reasons.size() > 20) {
    const std::size_t more = reasons.size() - 20;
    reasons.resize(20);
    reasons.push_back("And " + std::to_string(more) + " more: the JSON output gives every reason.");
  }
  if (!shares) {
    reasons.push_back("The class shares of " + std::to_string(res.K) + " classes are in the JSON and CSV outputs.");
  }
  reasons.push_back(
      "The others' leading class of an object is the class most of the other raters chose (none on a tie). Fleiss' "
      "kappa of the others is in Gwet's form, on every rating: compare it with the whole data's; where it is "
      "higher, the others agree better without this rater.");
  Notes(reasons, out);
}

void ObjectTable(const Results& res, std::ostream& out) {
  const ObjectResults& list = res.disagreement.objects;
  const RatedObjects& objects = list.objects;
  out << "<h3 id=\"objects\">The most disputed objects</h3>\n";
  TableOpen("The objects to adjudicate first: the fewest agreeing pairs of ratings",
            {"Object", "Ratings", "Agreeing pairs", "Most chosen class", "Its share", "Unanimous"}, out);
  for (std::size_t i = 0; i < list.disputed.size() && i < kShownObjects; ++i) {
    const ObjectSummary& s = list.disputed[i];
    const bool named = s.object < objects.ids.size() && !objects.ids[s.object].empty();
    std::string ratings;
    const std::uint16_t* values = objects.Ratings(s.object);
    for (int g = 0; g < objects.raters; ++g) {
      const std::string* label = values[g] > 0 ? ClassLabel(res, values[g] - 1) : nullptr;
      ratings += (g == 0 ? "" : " ") +
                 (values[g] == 0 ? std::string("\xC2\xB7") : label != nullptr ? Markup(*label) : std::to_string(values[g]));
    }
    const std::string* mode = s.mode ? ClassLabel(res, *s.mode) : nullptr;
    out << "<tr><th scope=\"row\">"
        << (named ? Markup(objects.ids[s.object]) : "line " + std::to_string(objects.lines[s.object])) << "</th><td>"
        << ratings << "</td>" << Cell(s.agreeingPairs) << "<td class=\"num\">"
        << (s.mode ? std::to_string(*s.mode + 1) + (mode != nullptr ? " " + Markup(*mode) : "") : "\xE2\x80\x94")
        << "</td>" << Cell(s.modeShare) << "<td>" << (s.unanimous ? "yes" : "no") << "</td></tr>\n";
  }
  TableClose(out);
  std::vector<std::string> notes;
  if (list.disputed.size() > kShownObjects) {
    notes.push_back("The first " + std::to_string(kShownObjects) + " of the " + std::to_string(list.disputed.size()) +
                    " objects; the JSON output lists every one.");
  }
  notes.push_back("Ratings in rater order, a dot for a missing one. The objects come in the order of the share of "
                  "their pairs of ratings that agree, then the share of their most chosen class, then the file's.");
  Notes(notes, out);
}

void RaterTables(const Results& res, std::ostream& out) {
  PairTables(res, out);
  RaterTable(res, out);
  if (res.disagreement.objects.kept) ObjectTable(res, out);
}

void ReportText(const Results& res, std::ostream& out) {
  out << "<section id=\"report\">\n<h2>The report</h2>\n";
  if (!res.analysed) {
    out << "<p>The Zover model, Hubert's kappa, H2 and Fleiss' kappa are not computed: " << Markup(res.notAnalysed)
        << ".</p>\n</section>\n";
    return;
  }
  out << "<p>As the interactive program prints it.</p>\n<pre>";
  MarkupBuf buffer(out);
  std::ostream text(&buffer);
  text.exceptions(std::ios::badbit | std::ios::failbit);
  PrintAnalysis(res, text);
  out << "\n</pre>\n</section>\n";
}

void Reading(const Results& res, std::ostream& out) {
  std::vector<std::string> notes;
  char z[16];
  std::snprintf(z, sizeof z, "%.2f", TwoSidedNormalPoint(res.level));
  notes.push_back(
      "Standard errors: every SE, and every " + LevelPercent(res.level) + " % interval (the estimate -/+ " + z +
      " SE, cut at the values the measure can take; normal-theory, with two-sided p), is a large-sample standard "
      "error of the estimate itself, not one under the hypothesis of chance agreement: the model's own for the consistencies, agreements and Zover; Fleiss' kappa's with divisor n; "
      "Gwet's, with divisor n (n - 1), for percent agreement, Brennan-Prediger, Gwet's AC1 and Fleiss' kappa in "
      "Gwet's form. The section \"Which standard errors\" of doc/statistics.md compares them with other tools.");
  if (res.observed) {
    notes.push_back(
        "Tests: the z and p of Cohen's kappa, Fleiss' kappa and each per-class Fleiss kappa divide the estimate by "
        "its standard error under chance agreement (SE under chance); those of Brennan-Prediger, Gwet's AC1 and "
        "Fleiss' kappa in Gwet's form by their own SE. Percent agreement has no test: raters who rate by chance "
        "agree too.");
  }
  if (res.disagreement.computed) {
    notes.push_back(
        "Who disagrees: figure 4 and the table of rater pairs give each pair's Cohen's kappa on the objects both "
        "raters rated; Light's kappa is their mean. Conger's kappa is H2 with Gwet's standard error, equal to it "
        "without missing ratings. Figure 5 shows what each rater chose; the table of raters compares each with the "
        "class most of the others chose, and gives Fleiss' kappa of the others without it." +
        std::string(res.R > 100 ? " Beyond 100 raters the pairs are computed only with --pairs." : ""));
  }
  if (res.analysed && res.model.increment > 0) {
    notes.push_back("A refit: the standard errors belong to the data increased by " + Fixed4(res.model.increment) +
                    " per response tuple, which adds " + Fixed4(res.model.pseudoObjects) + " pseudo-objects to the " +
                    Whole(res.n) +
                    " objects. They pull every chance probability towards 1/K and the agreements towards 0; when "
                    "they are comparable to the objects or outnumber them, the refit describes the increments "
                    "rather than the raters: quote the first fit and the kappas instead. See \"When to distrust a "
                    "refit\" in doc/statistics.md.");
  }
  if (res.input.completeObjects != res.input.objects) {
    notes.push_back("Missing ratings: " + Whole(res.input.completeObjects) + " of the " + Whole(res.input.objects) +
                    " objects are rated by every rater. The Zover model, Hubert's kappa, H2 and Fleiss' kappa use "
                    "only those; the other coefficients use every rating.");
  }
  out << "<section id=\"notes\">\n<h2>Reading the results</h2>\n";
  Notes(notes, out);
  out << "</section>\n";
}

}  // namespace

void PrintHtml(const Results& res, std::ostream& out) {
  Head(res, out);
  WarningBox(res, out);
  Header(res, out);
  Figures(res, out);
  NumberTables(res, out);
  ReportText(res, out);
  Reading(res, out);
  out << "</main>\n<footer>Written by zover " << Version() << ".</footer>\n</body>\n</html>\n";
}

void PrintSvg(const Results& res, std::ostream& out) { WriteForestPlot(res, SvgMode::kStandalone, out); }

// --- Groups -----------------------------------------------------------------

namespace {

std::string PairName(const GroupedResults& res, const GroupComparison& c) {
  return res.names[c.group] + " - " + (c.versus ? res.names[*c.versus] : std::string("others"));
}

// The differences between groups, a row each, the reasons below.
void ComparisonTable(const GroupedResults& res, std::ostream& out) {
  const std::string level = LevelPercent(res.level);
  out << "<h3>Differences between groups</h3>\n";
  TableOpen(res.pairOnly ? "Two groups compared"
                         : "Each group against the others pooled (their inverse-variance weighted mean)",
            {"Coefficient", "Groups", "Estimate", res.pairOnly ? "Other" : "Others", "Difference", "SE",
             level + " % CI low", level + " % CI high", "z", "p"},
            out);
  std::vector<std::string> notes;
  for (const GroupComparison& c : res.comparisons) {
    const ResultRow& row = res.all.rows[c.row];
    const Value low = c.ci ? Value(c.ci->low) : std::nullopt;
    const Value high = c.ci ? Value(c.ci->high) : std::nullopt;
    out << "<tr data-key=\"" << row.key << "\"" << (row.cls > 0 ? " data-class=\"" + std::to_string(row.cls) + "\"" : "")
        << " data-group=\"" << Markup(res.names[c.group]) << "\"><th scope=\"row\">" << Markup(row.label)
        << "</th><td style=\"white-space:nowrap\">" << Markup(PairName(res, c)) << "</td>" << Cell(c.estimate) << Cell(c.other)
        << Cell(c.difference) << Cell(c.se) << Cell(low) << Cell(high) << Cell(c.z) << PCell(c.p) << "</tr>\n";
    if (!c.reason.empty()) notes.push_back(row.label + ", " + PairName(res, c) + ": " + c.reason + ".");
  }
  TableClose(out);
  notes.push_back("The difference's SE is sqrt(SE1^2 + SE2^2), for independent samples: valid when the groups "
                  "rate different objects. See \"Comparing groups\" in doc/statistics.md.");
  Notes(notes, out);
}

// One group's figures and coefficients, folded.
void GroupDetails(const GroupedResults& res, std::size_t g, std::ostream& out) {
  const Results& group = res.groups[g];
  std::string summary = res.names[g] + ": " + Whole(group.input.objects) + " objects";
  if (const ResultRow* row = res.compare.empty() ? nullptr : group.Find(res.compare[0])) {
    if (row->estimate) summary += ", " + row->label + " " + Fixed4(*row->estimate);
  }
  out << "<details class=\"group\" data-group=\"" << Markup(res.names[g]) << "\">\n<summary>" << Markup(summary)
      << "</summary>\n";
  Figures(group, out, "g" + std::to_string(g + 1) + "-");
  CoefficientTable(group, out);
  out << "</details>\n";
}

}  // namespace

void PrintGroupedHtml(const GroupedResults& res, std::ostream& out) {
  const Results& all = res.all;
  Head(all, out);
  WarningBox(all, out);
  Header(all, out);
  out << "<section id=\"groups\">\n<h2>Groups</h2>\n<p>"
      << Markup(std::to_string(res.groups.size()) + (res.by == "file" ? " groups, one per file" : " groups by " + res.by) +
                ": each analysed alone, and all of them together.")
      << "</p>\n";
  const ResultRow* drawn = res.compare.empty() ? nullptr : all.Find(res.compare[0]);
  FigureOpen("Figure G. " + Markup(drawn != nullptr ? drawn->label : "The coefficient") +
                 " of each group and of all groups, with " + LevelPercent(res.level) + " % confidence intervals",
             out);
  WriteGroupForest(res, SvgMode::kInline, out);
  FigureClose(out);
  ComparisonTable(res, out);
  out << "<h3>Each group</h3>\n";
  const std::size_t folded = std::min(res.groups.size(), kMaxFigureGroups);
  for (std::size_t g = 0; g < folded; ++g) GroupDetails(res, g, out);
  if (folded < res.groups.size()) {
    Notes({"The figures of the first " + std::to_string(folded) + " of the " + std::to_string(res.groups.size()) +
           " groups are here; every group's results are in the text, JSON and CSV outputs."},
          out);
  }
  out << "</section>\n<h2>All groups together</h2>\n";
  Figures(all, out);
  NumberTables(all, out);
  ReportText(all, out);
  Reading(all, out);
  out << "</main>\n<footer>Written by zover " << Version() << ".</footer>\n</body>\n</html>\n";
}

void PrintGroupedSvg(const GroupedResults& res, std::ostream& out) { WriteGroupForest(res, SvgMode::kStandalone, out); }

}  // namespace zover
