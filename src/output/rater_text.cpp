// The batch text's rater pairs and raters, printed after the table of
// agreement coefficients: the matrix of the pairs' Cohen's kappas (up to
// kMaxMatrixRaters raters, so that a line fits 90 columns) and one line per
// rater (up to kMaxListedRaters). The JSON and CSV outputs hold every pair
// and every rater, with the pairs' tables and the raters' class counts.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/format.h"
#include "output/batch_output.h"
#include "output/markup.h"
#include "output/measures.h"
#include "output/valid_utf8.h"

namespace zover {

namespace {

constexpr int kMaxMatrixRaters = 10;
constexpr int kMaxListedRaters = 100;
constexpr std::size_t kMaxListedObjects = 50;

using Value = std::optional<double>;

// A value with 4 decimals right-aligned in `width` columns, with at least
// one blank before it; "--" where there is none.
std::string Cell(const Value& x, std::size_t width) {
  const std::string text = x && std::isfinite(*x) ? Fixed4(*x) : "--";
  return std::string(text.size() < width ? width - text.size() : 1, ' ') + text;
}

// A rater's name (valid UTF-8, control bytes escaped, at most `characters`
// characters), or its number.
std::string RaterText(const Results& res, int g, std::size_t characters) {
  const std::string* name = RaterName(res, g);
  if (name == nullptr) return std::to_string(g + 1);
  return ControlEscaped(Shortened(ValidUtf8(*name), characters));
}

// The raters' names by number, when the file names them.
void NameLine(const Results& res, int raters, std::ostream& out) {
  if (res.input.raterNames.empty()) return;
  std::string line = "\n Raters:";
  std::size_t width = line.size() - 1;
  for (int g = 0; g < raters; ++g) {
    const std::string item = std::to_string(g + 1) + " = " + RaterText(res, g, 20) + (g + 1 < raters ? "," : "");
    if (width + 1 + item.size() > 88) {
      line += "\n        ";
      width = 8;
    }
    line += " " + item;
    width += 1 + item.size();
  }
  out << line;
}

void PairMatrix(const Results& res, std::ostream& out) {
  const DisagreementRecord& d = res.disagreement;
  out << "\n\n Rater pairs: Cohen's kappa on the objects both rated";
  if (!d.pairs) {
    out << "\n Left out: " << d.pairsReason << ".";
    return;
  }
  const int R = res.R;
  if (R > kMaxMatrixRaters) {
    out << "\n The " << PairNumber(R - 2, R - 1, R) + 1 << " pairs of " << R
        << " raters are in the JSON and CSV outputs (--format json, csv),\n with their tables; the matrix is printed "
           "for up to "
        << kMaxMatrixRaters << " raters.";
    return;
  }
  std::vector<Value> kappa(PairNumber(R - 2, R - 1, R) + 1);
  for (const ResultRow& row : res.rows) {
    if (row.group == RowGroup::kPair && row.key == "pair_cohen_kappa") {
      kappa[PairNumber(row.rater - 1, row.rater2 - 1, R)] = row.estimate;
    }
  }
  out << "\n Rater";
  for (int b = 0; b < R; ++b) {
    const std::string number = std::to_string(b + 1);
    out << std::string(8 - number.size(), ' ') << number;
  }
  for (int a = 0; a < R; ++a) {
    const std::string number = std::to_string(a + 1);
    out << "\n " << std::string(5 - number.size(), ' ') << number;
    for (int b = 0; b < R; ++b) {
      if (a == b) {
        out << "       .";
      } else {
        out << Cell(kappa[a < b ? PairNumber(a, b, R) : PairNumber(b, a, R)], 8);
      }
    }
  }
  NameLine(res, R, out);
  out << "\n The JSON and CSV outputs hold each pair's agreement, SE, interval and test, and\n its table.";
}

// The rows of rater g, by key.
struct RaterRows {
  const ResultRow* agreement = nullptr;
  const ResultRow* kappa = nullptr;
  const ResultRow* without = nullptr;
};

void RaterLines(const Results& res, std::ostream& out) {
  const DisagreementRecord& d = res.disagreement;
  const int R = res.R;
  out << "\n\n Each rater against the others' leading class (the class most of the others chose)";
  if (R > kMaxListedRaters) {
    out << "\n The " << R << " raters are in the JSON and CSV outputs (--format json, csv); the\n lines are printed for up to "
        << kMaxListedRaters << " raters.";
    return;
  }
  std::vector<RaterRows> rows(static_cast<std::size_t>(R));
  for (const ResultRow& row : res.rows) {
    if (row.group != RowGroup::kRater || row.rater < 1 || row.rater > R) continue;
    RaterRows& r = rows[static_cast<std::size_t>(row.rater - 1)];
    if (row.key == "rater_leading_agreement") r.agreement = &row;
    if (row.key == "rater_leading_kappa") r.kappa = &row;
    if (row.key == "rater_others_fleiss_kappa") r.without = &row;
  }
  out << "\n Rater                 Objects Agreement    Kappa       SE        p  Others' Fleiss";
  std::vector<std::string> notes;
  for (int g = 0; g < R; ++g) {
    const RaterRows& r = rows[static_cast<std::size_t>(g)];
    if (r.agreement == nullptr || r.kappa == nullptr || r.without == nullptr) continue;
    std::string name = " " + RaterText(res, g, 20);
    name.resize(21, ' ');
    const std::string objects = Format("%.0lf", {d.raterObjects[static_cast<std::size_t>(g)]});
    out << "\n" << name << std::string(objects.size() < 9 ? 9 - objects.size() : 1, ' ') << objects
        << Cell(r.agreement->estimate, 10) << Cell(r.kappa->estimate, 9) << Cell(r.kappa->se, 9)
        << (r.kappa->p && *r.kappa->p < 0.0001 ? std::string("  <0.0001") : Cell(r.kappa->p, 9))
        << Cell(r.without->estimate, 16);
    if (!r.kappa->reason.empty() && !r.kappa->estimate) {
      notes.push_back("Rater " + RaterText(res, g, 20) + ": " + r.kappa->reason + ".");
    }
    if (!r.without->reason.empty() && !r.without->estimate) {
      notes.push_back("Rater " + RaterText(res, g, 20) + ", the others' Fleiss' kappa: " + r.without->reason + ".");
    }
  }
  for (std::size_t i = 0; i < notes.size() && i < 10; ++i) out << "\n " << notes[i];
  if (notes.size() > 10) out << "\n and " << notes.size() - 10 << " more notes in the JSON output.";
  out << "\n Agreement and kappa: the rater against the class that most of the other raters\n"
         " chose, on the objects where one class leads; p tests the kappa against chance.\n"
         " Others' Fleiss: Fleiss' kappa (Gwet's form) of the other raters without this\n"
         " one; above the whole data's, the others agree better without it.";
}

// The adjudication list's first kMaxListedObjects objects, most disputed
// first, with their ratings as class numbers (up to kMaxMatrixRaters raters).
void ObjectLines(const Results& res, std::ostream& out) {
  const ObjectResults& list = res.disagreement.objects;
  const RatedObjects& objects = list.objects;
  out << "\n\n Objects, most disputed first (the adjudication list)";
  if (list.disputed.empty()) {
    out << "\n No object.";
    return;
  }
  const bool ratings = objects.raters <= kMaxMatrixRaters;
  out << "\n Object          " << (ratings ? "Classes given  " : "")
      << "Ratings  Agreeing pairs  Most chosen    Share  Unanimous";
  for (std::size_t i = 0; i < list.disputed.size() && i < kMaxListedObjects; ++i) {
    const ObjectSummary& s = list.disputed[i];
    const bool named = s.object < objects.ids.size() && !objects.ids[s.object].empty();
    std::string name =
        " " + (named ? ControlEscaped(Shortened(ValidUtf8(objects.ids[s.object]), 15))
                     : "line " + std::to_string(objects.lines[s.object]));
    name.resize(std::max<std::size_t>(name.size() + 1, 17), ' ');
    out << "\n" << name;
    if (ratings) {
      std::string given;
      const std::uint16_t* values = objects.Ratings(s.object);
      for (int g = 0; g < objects.raters; ++g) {
        given += (g == 0 ? "" : " ") + (values[g] == 0 ? "." : std::to_string(values[g]));
      }
      given.resize(std::max<std::size_t>(given.size() + 1, 15), ' ');
      out << given;
    }
    const std::string count = std::to_string(s.ratings);
    const std::string mode = s.mode ? std::to_string(*s.mode + 1) : "--";
    out << std::string(count.size() < 7 ? 7 - count.size() : 1, ' ') << count << Cell(s.agreeingPairs, 16)
        << std::string(mode.size() < 13 ? 13 - mode.size() : 1, ' ') << mode << Cell(s.modeShare, 9)
        << (s.unanimous ? "        yes" : "         no");
  }
  if (list.disputed.size() > kMaxListedObjects) {
    out << "\n The first " << kMaxListedObjects << " of the " << list.disputed.size()
        << " objects; the JSON and CSV outputs list every one.";
  }
  out << "\n Agreeing pairs: the share of the object's pairs of ratings in one class; most\n"
         " chosen: the class most of its ratings chose (-- on a tie), with its share.";
}

}  // namespace

void PrintRaterTables(const Results& res, std::ostream& out) {
  if (!res.disagreement.computed) return;
  PairMatrix(res, out);
  RaterLines(res, out);
  if (res.disagreement.objects.kept) ObjectLines(res, out);
}

}  // namespace zover
