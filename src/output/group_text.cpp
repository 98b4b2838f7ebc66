// The batch text of several analyses: all groups together, the table of
// differences between groups, then each group's text under its heading.
// Every analysis is printed as PrintBatchText prints a single file.

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/format.h"
#include "output/batch_output.h"
#include "output/measures.h"

namespace zover {

namespace {

using Value = std::optional<double>;

// A value right-aligned in 9 columns, as the table of coefficients writes it.
std::string Cell(const Value& x) {
  const std::string text = x && std::isfinite(*x) ? Fixed4(*x) : "--";
  return std::string(text.size() < 9 ? 9 - text.size() : 1, ' ') + text;
}

std::string PCell(const Value& p) { return p && *p < 0.0001 ? "  <0.0001" : Cell(p); }

// "north - others", "north - south": what a difference subtracts.
std::string PairName(const GroupedResults& res, const GroupComparison& c) {
  return res.names[c.group] + " - " + (c.versus ? res.names[*c.versus] : std::string("others"));
}

std::string GroupsBy(const GroupedResults& res) {
  return res.by == "file" ? "one group per file" : "groups by " + res.by;
}

// The differences between groups: under each coefficient's label a row per
// group with its estimate, the other side (the others pooled, or the other
// group), the difference, its standard error, interval, z and p; the
// reasons of missing values below.
void PrintGroupComparisons(const GroupedResults& res, std::ostream& out) {
  const std::string level = LevelPercent(res.level);
  if (res.pairOnly) {
    out << "\n\n Differences between two groups, with " << level << " % intervals";
  } else {
    out << "\n\n Differences between groups: each against the others pooled (their\n inverse-variance weighted "
           "mean), with "
        << level << " % intervals";
  }
  out << "\n Coefficient and group            Estimate   " << (res.pairOnly ? "Other " : "Others")
      << "     Diff       SE   CI low  CI high        z        p";
  std::vector<std::string> notes;
  std::size_t row = res.all.rows.size();
  for (const GroupComparison& c : res.comparisons) {
    if (c.row != row) {
      row = c.row;
      out << "\n " << ControlEscaped(res.all.rows[row].label);
    }
    std::string name = ControlEscaped("   " + PairName(res, c));
    if (name.size() > 32) name = name.substr(0, 29) + "...";
    name.resize(33, ' ');
    const Value low = c.ci ? Value(c.ci->low) : std::nullopt;
    const Value high = c.ci ? Value(c.ci->high) : std::nullopt;
    out << "\n" << name << Cell(c.estimate) << Cell(c.other) << Cell(c.difference) << Cell(c.se) << Cell(low)
        << Cell(high) << Cell(c.z) << PCell(c.p);
    if (!c.reason.empty()) {
      notes.push_back(ControlEscaped(res.all.rows[row].label + ", " + PairName(res, c)) + ": " + c.reason + ".");
    }
  }
  if (res.comparisons.empty()) out << "\n (no coefficient with a standard error to compare)";
  for (const std::string& note : notes) out << "\n " << note;
  out << "\n SE = sqrt(SE1^2 + SE2^2): valid when the groups rate different objects (see\n"
         " doc/statistics.md, \"Comparing groups\").\n";
}

}  // namespace

void PrintGroupedText(const GroupedResults& res, std::ostream& out) {
  const std::string count = std::to_string(res.groups.size());
  out << "\n All " << count << " groups together (" << GroupsBy(res) << ")";
  PrintBatchText(res.all, out);
  PrintGroupComparisons(res, out);
  for (std::size_t g = 0; g < res.groups.size(); ++g) {
    out << "\n Group " << g + 1 << " of " << count << " (" << GroupsBy(res) << "): " << ControlEscaped(res.names[g]);
    PrintBatchText(res.groups[g], out);
  }
}

}  // namespace zover
