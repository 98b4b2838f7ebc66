#include "output/figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "console/format.h"
#include "output/markup.h"
#include "output/measures.h"
#include "output/valid_utf8.h"

namespace zover {

namespace {

// An interval that may be missing.
using Span = std::optional<Interval>;

// Okabe-Ito colours, told apart with every kind of colour vision.
constexpr const char* kBlue = "#0072B2";
constexpr const char* kVermillion = "#D55E00";
constexpr const char* kGreen = "#009E73";
constexpr const char* kInk = "#222222";
constexpr const char* kGrey = "#666666";

// The horizontal layout that figures 1 and 2 share: labels on the left, the
// plot, the values written on the right. A character of 12 px text is taken
// as at most 7.2 px wide (0.6 em), which holds for Helvetica, Arial and
// DejaVu Sans outside runs of capitals.
constexpr double kPlotLeft = 250;
constexpr double kPlotRight = 580;
constexpr double kValueX = 595;
constexpr double kCharWidth = 0.6;  // em
constexpr double kMinWidth = 780;
constexpr std::size_t kLabelCharacters = 31;
constexpr std::size_t kNoteCharacters = 100;  // of an 11 px line of a standalone figure's notes

// --- The frame of a figure ----------------------------------------------------

struct Frame {
  std::string id;  // "figure-1": its title and desc are id-title and id-desc
  std::string title;
  std::string desc;
  double width = 0;
  double height = 0;  // of the drawing, without the notes
  std::vector<std::string> notes;
  std::string heading = "Coefficient";  // of a forest plot's labels
};

// `text` broken into lines of at most `characters` characters at blanks (a
// longer word stands on a line of its own).
std::vector<std::string> Wrapped(const std::string& text, std::size_t characters) {
  std::vector<std::string> lines(1);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    std::string& line = lines.back();
    if (!line.empty() && line.size() + 1 + word.size() > characters) {
      lines.push_back(word);
    } else {
      line += (line.empty() ? "" : " ") + word;
    }
    start = end + 1;
  }
  return lines;
}

constexpr double kNoteLine = 15;

std::vector<std::string> NoteLines(const Frame& f) {
  std::vector<std::string> lines;
  for (const std::string& note : f.notes) {
    for (std::string& line : Wrapped(ValidUtf8(note), kNoteCharacters)) lines.push_back(std::move(line));
  }
  return lines;
}

void Open(std::ostream& out, const Frame& f, SvgMode mode) {
  const std::size_t noteLines = mode == SvgMode::kStandalone ? NoteLines(f).size() : 0;
  const double height = f.height + (noteLines > 0 ? noteLines * kNoteLine + 10 : 0);
  if (mode == SvgMode::kStandalone) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
  } else {
    out << "<svg";
  }
  const std::string id = f.id;
  out << " id=\"" << id << "\" class=\"figure\" width=\"" << Px(f.width) << "\" height=\"" << Px(height)
      << "\" viewBox=\"0 0 " << Px(f.width) << ' ' << Px(height) << '"';
  // In the page the figures fill the column as the forest plot does, all at
  // one scale, growing by at most a quarter.
  if (mode == SvgMode::kInline) {
    out << " style=\"width:" << Px(std::min(100.0, 100 * f.width / kMinWidth)) << "%;max-width:" << Px(1.25 * f.width)
        << "px\"";
  }
  out << " role=\"img\" aria-labelledby=\"" << id
      << "-title " << id << "-desc\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"12\">\n"
      << "<title id=\"" << id << "-title\">" << Markup(f.title) << "</title>\n"
      << "<desc id=\"" << id << "-desc\">" << Markup(f.desc) << "</desc>\n"
      << "<rect class=\"background\" x=\"0\" y=\"0\" width=\"" << Px(f.width) << "\" height=\"" << Px(height)
      << "\" fill=\"#ffffff\"/>\n";
}

void Close(std::ostream& out, const Frame& f, SvgMode mode) {
  if (mode == SvgMode::kStandalone) {
    double y = f.height + 10;
    for (const std::string& line : NoteLines(f)) {
      y += kNoteLine;
      out << "<text class=\"note\" x=\"10\" y=\"" << Px(y - 4) << "\" font-size=\"11\" fill=\"" << kInk << "\">"
          << Markup(line) << "</text>\n";
    }
  }
  out << "</svg>\n";
  if (mode == SvgMode::kInline && !f.notes.empty()) {
    out << "<ul class=\"notes\">\n";
    for (const std::string& note : f.notes) out << "<li>" << Markup(note) << "</li>\n";
    out << "</ul>\n";
  }
}

// --- Shapes -------------------------------------------------------------------

void Line(std::ostream& out, const char* cls, double x1, double y1, double x2, double y2, const char* stroke,
          double width) {
  out << "<line class=\"" << cls << "\" x1=\"" << Px(x1) << "\" y1=\"" << Px(y1) << "\" x2=\"" << Px(x2)
      << "\" y2=\"" << Px(y2) << "\" stroke=\"" << stroke << "\" stroke-width=\"" << Px(width) << "\"/>\n";
}

void Rect(std::ostream& out, const char* cls, double x, double y, double width, double height, const char* fill) {
  out << "<rect class=\"" << cls << "\" x=\"" << Px(x) << "\" y=\"" << Px(y) << "\" width=\"" << Px(width)
      << "\" height=\"" << Px(height) << "\" fill=\"" << fill << "\"/>\n";
}

// Text from the program or the data, escaped here; anchor start, middle or end.
void Text(std::ostream& out, const char* cls, double x, double y, const std::string& text, const char* anchor,
          double size, const char* fill = kInk) {
  out << "<text class=\"" << cls << "\" x=\"" << Px(x) << "\" y=\"" << Px(y) << "\"";
  if (std::string(anchor) != "start") out << " text-anchor=\"" << anchor << "\"";
  out << " font-size=\"" << Px(size) << "\" fill=\"" << fill << "\">" << Markup(text) << "</text>\n";
}

// A colour scale under a grid: its title at the left, `count` swatches of
// `width` from `left`, and label(s) under every `stride`th boundary s.
template <typename Label>
void ScaleLegend(std::ostream& out, double y, const char* title, double left, double width,
                 const char* const* colours, int count, int stride, Label label) {
  Text(out, "legend", 10, y + 11, title, "start", 12);
  for (int s = 0; s < count; ++s) Rect(out, "swatch", left + width * s, y, width, 14, colours[s]);
  for (int s = 0; s <= count; s += stride) Text(out, "legend", left + width * s, y + 30, label(s), "middle", 11);
}

enum class Shape { kCircle, kSquare, kDiamond };

// A marker centred on (x, y); filled, or hollow for an estimate without an
// interval.
void Marker(std::ostream& out, Shape shape, double x, double y, const char* colour, bool filled) {
  const std::string paint = std::string("fill=\"") + (filled ? colour : "#ffffff") + "\" stroke=\"" + colour +
                            "\" stroke-width=\"1.5\"/>\n";
  switch (shape) {
    case Shape::kCircle:
      out << "<circle class=\"estimate\" cx=\"" << Px(x) << "\" cy=\"" << Px(y) << "\" r=\"4.5\" " << paint;
      break;
    case Shape::kSquare:
      out << "<rect class=\"estimate\" x=\"" << Px(x - 4) << "\" y=\"" << Px(y - 4)
          << "\" width=\"8\" height=\"8\" " << paint;
      break;
    case Shape::kDiamond:
      out << "<polygon class=\"estimate\" points=\"" << Px(x) << ',' << Px(y - 5.5) << ' ' << Px(x + 5.5) << ','
          << Px(y) << ' ' << Px(x) << ',' << Px(y + 5.5) << ' ' << Px(x - 5.5) << ',' << Px(y) << "\" " << paint;
      break;
  }
}

// --- The axis of figures 1 and 2 ----------------------------------------------

// The estimates' axis: from -1 to 1, extended only where an estimate lies
// outside, to a multiple of its tick step. Intervals do not extend it: an
// interval that goes on beyond it is cut at its end and marked by an arrow.
// Halves keep every difference finite, whatever the estimates.
struct Axis {
  double low = -1;
  double high = 1;
  double step = 0.5;

  double X(double v) const { return kPlotLeft + (v / 2 - low / 2) / (high / 2 - low / 2) * (kPlotRight - kPlotLeft); }
  double Clamped(double v) const { return std::min(high, std::max(low, v)); }
  // Whether an interval goes on beyond an end.
  bool Cuts(const Span& ci) const {
    return ci && (Clamped(ci->low) != ci->low || Clamped(ci->high) != ci->high);
  }
};

constexpr const char* kArrowNote = "An arrow marks an interval that goes on beyond the end of the axis.";

// The step 1, 2 or 5 times a power of ten that cuts [low, high] into at
// most five parts.
double TickStep(double low, double high) {
  const double rough = high / 5 - low / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * magnitude >= rough) return m * magnitude;
  }
  return 10 * magnitude;
}

Axis AxisFor(const std::vector<double>& estimates) {
  Axis axis;
  double low = -1, high = 1;
  for (const double e : estimates) {
    low = std::min(low, e);
    high = std::max(high, e);
  }
  if (low == -1 && high == 1) return axis;
  axis.step = TickStep(low, high);
  const double lowTick = std::floor(low / axis.step) * axis.step;
  const double highTick = std::ceil(high / axis.step) * axis.step;
  axis.low = low < -1 && std::isfinite(lowTick) ? lowTick : low;
  axis.high = high > 1 && std::isfinite(highTick) ? highTick : high;
  return axis;
}

std::string TickLabel(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v == 0 ? 0.0 : v);
  return text;
}

// Grid lines and labels at the axis's ticks, the line at 0 and the axis
// itself, below the rows that run from `top` to `bottom`.
void DrawAxis(std::ostream& out, const Axis& axis, double top, double bottom, const char* caption) {
  const long first = static_cast<long>(std::ceil(axis.low / axis.step - 1e-9));
  const long last = static_cast<long>(std::floor(axis.high / axis.step + 1e-9));
  for (long k = first; k <= last; ++k) {
    const double v = static_cast<double>(k) * axis.step;
    const double x = axis.X(v);
    if (v != 0) Line(out, "grid", x, top, x, bottom, "#e3e3e3", 1);
    Line(out, "tick", x, bottom, x, bottom + 5, kGrey, 1);
    Text(out, "tick", x, bottom + 18, TickLabel(v), "middle", 11);
  }
  Line(out, "axis", kPlotLeft, bottom, kPlotRight, bottom, kGrey, 1);
  if (axis.low <= 0 && axis.high >= 0) Line(out, "zero", axis.X(0), top - 4, axis.X(0), bottom, kGrey, 1.2);
  Text(out, "caption", (kPlotLeft + kPlotRight) / 2, bottom + 34, caption, "middle", 11, kGrey);
}

// A 95 % interval as a line with caps at its ends; an end beyond the axis is
// cut there and drawn as an arrow.
void Whisker(std::ostream& out, const Axis& axis, const Interval& ci, double y, const char* colour) {
  const double x1 = axis.X(axis.Clamped(ci.low)), x2 = axis.X(axis.Clamped(ci.high));
  Line(out, "ci", x1, y, x2, y, colour, 1.8);
  for (const auto& [value, x, direction] : {std::tuple<double, double, double>{ci.low, x1, -1},
                                            std::tuple<double, double, double>{ci.high, x2, 1}}) {
    if (axis.Clamped(value) == value) {
      Line(out, "cap", x, y - 4, x, y + 4, colour, 1.5);
    } else {
      out << "<polygon class=\"clipped\" points=\"" << Px(x) << ',' << Px(y) << ' ' << Px(x - 7 * direction) << ','
          << Px(y - 4) << ' ' << Px(x - 7 * direction) << ',' << Px(y + 4) << "\" fill=\"" << colour << "\"/>\n";
    }
  }
}

std::string ValueText(double estimate, const Span& ci) {
  if (!ci) return Table4(estimate) + " (no interval)";
  return Table4(estimate) + " [" + Table4(ci->low) + ", " + Table4(ci->high) + "]";
}

std::string InWords(double estimate, const Span& ci) {
  if (!ci) return Table4(estimate) + ", without an interval";
  return Table4(estimate) + ", " + LevelPercent(ci->level) + " % interval " + Table4(ci->low) + " to " +
         Table4(ci->high);
}

double TextWidth(const std::string& text, double size) {
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return static_cast<double>(characters) * kCharWidth * size;
}

std::string AxisInWords(const Axis& axis) {
  return "The axis runs from " + TickLabel(axis.low) + " to " + TickLabel(axis.high) + ".";
}

// "2 maybe": a class's number and its label, if it has one.
std::string ClassText(const Results& res, int i) {
  const std::string* label = ClassLabel(res, i);
  return std::to_string(i + 1) + (label != nullptr ? " " + *label : "");
}

// --- Figure 1 -------------------------------------------------------------------

struct ForestRow {
  std::string key;  // the row's key and class, for whoever reads the figure
  int cls;
  std::string label;
  bool under;       // under the row it belongs to (its unweighted form, Fleiss' kappa)
  double estimate;
  Span ci;
  bool doubtful;    // not to be read as it stands: drawn hollow and grey
  std::optional<double> instead;  // the value to read instead
  std::string group = "";  // across groups: the group's name; empty for all groups together
};

// The value beside a row: the estimate and interval, and for a doubtful
// row the value to read instead.
std::string RowValue(const ForestRow& row) {
  std::string text = ValueText(row.estimate, row.ci);
  if (row.instead) text += "; first fit " + Table4(*row.instead);
  return text;
}

constexpr double kRowHeight = 22;
constexpr double kForestTop = 30;

void WriteForest(const std::vector<ForestRow>& rows, Frame& frame, const Axis& axis, SvgMode mode,
                 const std::string& percent, std::ostream& out) {
  double valueWidth = 0;
  for (const ForestRow& row : rows) valueWidth = std::max(valueWidth, TextWidth(RowValue(row), 12));
  const double bottom = kForestTop + kRowHeight * static_cast<double>(rows.size()) + 4;
  frame.width = std::max(kMinWidth, kValueX + valueWidth + 10);
  frame.height = bottom + 44;
  Open(out, frame, mode);
  Text(out, "heading", 10, 18, frame.heading, "start", 12);
  Text(out, "heading", kValueX, 18, "Estimate [" + percent + " % interval]", "start", 12);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double top = kForestTop + kRowHeight * static_cast<double>(i);
    if (i % 2 == 1) Rect(out, "stripe", 0, top, frame.width, kRowHeight, "#f4f4f4");
  }
  DrawAxis(out, axis, kForestTop, bottom, "estimate; the dark line marks 0");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ForestRow& row = rows[i];
    const double y = kForestTop + kRowHeight * static_cast<double>(i) + kRowHeight / 2;
    out << "<g class=\"row\" data-key=\"" << row.key << "\""
        << (row.cls > 0 ? " data-class=\"" + std::to_string(row.cls) + "\"" : "")
        << (row.group.empty() ? "" : " data-group=\"" + Markup(row.group) + "\"") << ">\n";
    Text(out, "label", row.under ? 20 : 10, y + 4, Shortened(ValidUtf8(row.label), kLabelCharacters), "start", 12);
    const char* colour = row.doubtful ? kGrey : kBlue;
    if (row.ci) Whisker(out, axis, *row.ci, y, colour);
    Marker(out, Shape::kCircle, axis.X(row.estimate), y, colour, row.ci.has_value() && !row.doubtful);
    Text(out, "value", kValueX, y + 4, RowValue(row), "start", 12, row.doubtful ? kGrey : kInk);
    out << "</g>\n";
  }
  Close(out, frame, mode);
}

}  // namespace

void WriteForestPlot(const Results& res, SvgMode mode, std::ostream& out, const std::string& idPrefix) {
  const std::string percent = LevelPercent(res.level);
  Frame frame{idPrefix + "figure-1", "Figure 1: agreement coefficients with their " + percent + " % confidence intervals",
              "", 0, 0, {}};
  std::vector<ForestRow> rows;
  std::vector<double> estimates;
  std::string values;
  bool withoutInterval = false, perClassDrawn = false, perClassLeftOut = false;
  std::vector<std::string> doubts;
  // The coefficients of the whole data (the model's per-class values are
  // figure 2's, the pairs' and the raters' figures 4 and 5's), each followed
  // by the rows that belong under it.
  const auto shown = [](const ResultRow& c) {
    return c.group != RowGroup::kAgreement && !(c.group == RowGroup::kModel && c.cls > 0) &&
           c.group != RowGroup::kPair && c.group != RowGroup::kRater;
  };
  std::vector<const ResultRow*> order;
  for (const ResultRow& c : res.rows) {
    if (!shown(c) || (!c.parent.empty() && res.Find(c.parent) != nullptr)) continue;
    order.push_back(&c);
    for (const ResultRow& child : res.rows) {
      if (shown(child) && child.parent == c.key) order.push_back(&child);
    }
  }
  for (const ResultRow* row : order) {
    const ResultRow& c = *row;
    const bool under = !c.parent.empty() && res.Find(c.parent) != nullptr;
    if (c.cls > 0 && res.K > kMaxFigureClasses) {
      perClassLeftOut = true;
      continue;
    }
    if (!c.estimate) {
      frame.notes.push_back("Left out: " + Shortened(ValidUtf8(c.label), 60) + ": " +
                            (c.reason.empty() ? "not a number" : c.reason) + ".");
      continue;
    }
    const Span ci = c.ci;
    const bool doubtful = !c.caution.empty();
    rows.push_back({c.key, c.cls, under ? c.shortLabel : c.label, under, *c.estimate, ci, doubtful, c.instead});
    perClassDrawn = perClassDrawn || c.cls > 0;
    estimates.push_back(*c.estimate);
    if (c.instead) estimates.push_back(*c.instead);
    values += " " + c.label + ": " + InWords(*c.estimate, ci) + ".";
    if (doubtful) {
      doubts.push_back("Grey, hollow: " + Shortened(ValidUtf8(c.label), 60) + ": " + c.caution +
                       (c.instead ? " (the first fit gives " + Table4(*c.instead) + ")." : "."));
      values += " Not to be read as it stands: " + c.caution + ".";
    }
    if (!ci) {
      withoutInterval = true;
      if (!c.reason.empty()) {
        frame.notes.push_back(Shortened(ValidUtf8(c.label), 60) + " has no interval: " + c.reason + ".");
      }
    }
  }
  frame.notes.insert(frame.notes.end(), doubts.begin(), doubts.end());
  if (perClassLeftOut) {
    frame.notes.push_back("Fleiss' kappa of each class is drawn for up to " + std::to_string(kMaxFigureClasses) +
                          " classes; those of these " + std::to_string(res.K) +
                          " classes are in the table of coefficients.");
  }
  if (withoutInterval) {
    frame.notes.push_back("A hollow dot is an estimate without a " + percent +
                          " % interval: it has no standard error of its own here" +
                          (perClassDrawn ? " (a per-class Fleiss kappa has one only under chance agreement)." : "."));
  }
  const Axis axis = AxisFor(estimates);
  if (std::any_of(rows.begin(), rows.end(), [&axis](const ForestRow& row) { return axis.Cuts(row.ci); })) {
    frame.notes.push_back(kArrowNote);
  }
  frame.desc = "Forest plot of " + std::to_string(rows.size()) + " agreement coefficients of " + res.input.file +
               ", one row each: a filled dot at the estimate with a horizontal line for its " + percent + " % confidence "
               "interval, or a hollow dot where it has none. A vertical line marks 0. " + AxisInWords(axis) + values;
  WriteForest(rows, frame, axis, mode, percent, out);
}

// --- Across groups --------------------------------------------------------------

void WriteGroupForest(const GroupedResults& res, SvgMode mode, std::ostream& out) {
  const std::string key = res.compare.empty() ? "" : res.compare[0];
  const ResultRow* first = res.all.Find(key);
  const std::string name = first != nullptr ? first->label : key;
  const std::string level = LevelPercent(res.level);
  Frame frame{"figure-groups", name + " of each group and of all groups, with " + level + " % confidence intervals",
              "", 0, 0, {}};
  frame.heading = "Group";
  std::vector<ForestRow> rows;
  std::vector<double> estimates;
  std::string values;
  bool withoutInterval = false;
  const std::size_t drawn = std::min(res.groups.size(), kMaxFigureGroups);
  for (std::size_t g = 0; g <= drawn; ++g) {
    // All groups first, then each group.
    const Results& one = g == 0 ? res.all : res.groups[g - 1];
    const std::string label = g == 0 ? "All groups" : res.names[g - 1];
    const ResultRow* row = one.Find(key);
    if (row == nullptr || !row->estimate) {
      frame.notes.push_back("Left out: " + Shortened(ValidUtf8(label), 60) + ": " +
                            (row == nullptr        ? "not computed for these data"
                             : row->reason.empty() ? "not a number"
                                                   : row->reason) +
                            ".");
      continue;
    }
    const bool doubtful = !row->caution.empty();
    rows.push_back({key, 0, label, g > 0, *row->estimate, row->ci, doubtful, row->instead, g == 0 ? "" : res.names[g - 1]});
    if (doubtful) {
      frame.notes.push_back("Grey, hollow: " + Shortened(ValidUtf8(label), 60) + ": " + row->caution +
                            (row->instead ? " (the first fit gives " + Table4(*row->instead) + ")." : "."));
    }
    estimates.push_back(*row->estimate);
    values += " " + label + ": " + InWords(*row->estimate, row->ci) + ".";
    withoutInterval = withoutInterval || !row->ci;
  }
  if (drawn < res.groups.size()) {
    frame.notes.push_back("The first " + std::to_string(drawn) + " of the " + std::to_string(res.groups.size()) +
                          " groups are drawn; every group is in the JSON and CSV outputs.");
  }
  if (withoutInterval) frame.notes.push_back("A hollow dot is an estimate without a " + level + " % interval.");
  const Axis axis = AxisFor(estimates);
  if (std::any_of(rows.begin(), rows.end(), [&axis](const ForestRow& row) { return axis.Cuts(row.ci); })) {
    frame.notes.push_back(kArrowNote);
  }
  frame.desc = "Forest plot of " + name + " across " + std::to_string(res.groups.size()) +
               " groups, one row each after a first row of all groups together: a filled dot at the estimate "
               "with a horizontal line for its " + level + " % confidence interval, or a hollow dot where it has none. A "
               "vertical line marks 0. " +
               AxisInWords(axis) + values;
  WriteForest(rows, frame, axis, mode, level, out);
}

// --- Figure 2 -------------------------------------------------------------------

namespace {

struct Series {
  const char* name;
  Shape shape;
  const char* colour;
};

const Series kSeries[] = {
    {"consistency", Shape::kCircle, kBlue},
    {"agreement", Shape::kSquare, kVermillion},
    {"Fleiss' kappa", Shape::kDiamond, kGreen},
};

struct ClassPoint {
  std::optional<double> estimate;
  Span ci;
};

constexpr double kSubRow = 16;
constexpr double kGroupGap = 8;
constexpr double kClassTop = 32;

}  // namespace

void WriteClassFigure(const Results& res, std::ostream& out, const std::string& idPrefix) {
  const ModelResults& model = res.model;
  // The rows of each series, per class.
  const char* const keys[] = {"zover_consistency", "zover_agreement", "fleiss_kappa_class"};
  const bool withFleiss = res.Find(keys[2], 1) != nullptr;
  const std::size_t series = withFleiss ? 3 : 2;
  Frame frame{idPrefix + "figure-2", "Figure 2: agreement of each class", "", 0, 0, {}};
  std::vector<std::vector<ClassPoint>> points(static_cast<std::size_t>(res.K));
  std::vector<double> estimates;
  std::string values;
  std::vector<std::string> leftOut;  // values of the model
  for (int i = 0; i < res.K; ++i) {
    auto& p = points[static_cast<std::size_t>(i)];
    for (std::size_t s = 0; s < series; ++s) {
      const ResultRow* row = res.Find(keys[s], i + 1);
      p.push_back({row->estimate, row->ci});
    }
    values += " Class " + ClassText(res, i) + ":";
    for (std::size_t s = 0; s < series; ++s) {
      if (p[s].estimate) {
        estimates.push_back(*p[s].estimate);
        values += std::string(s == 0 ? " " : "; ") + kSeries[s].name + " " + InWords(*p[s].estimate, p[s].ci);
      } else if (s < 2) {
        leftOut.push_back(std::string(kSeries[s].name) + " of class " + std::to_string(i + 1));
      } else {
        const std::string& reason = res.Find(keys[2], i + 1)->reason;
        frame.notes.push_back("Left out: Fleiss' kappa of class " + std::to_string(i + 1) + ": " +
                              (reason.empty() ? "not a number" : reason) + ".");
      }
    }
    values += ".";
  }
  if (!leftOut.empty()) {
    std::string note = "Left out: ";
    for (std::size_t k = 0; k < leftOut.size() && k < 10; ++k) note += (k == 0 ? "" : ", ") + leftOut[k];
    if (leftOut.size() > 10) note += " and " + std::to_string(leftOut.size() - 10) + " more";
    frame.notes.push_back(note + ": " + model.reason + ".");
  }
  const Axis axis = AxisFor(estimates);
  bool clipped = false;
  for (const auto& p : points) {
    for (const ClassPoint& point : p) clipped = clipped || axis.Cuts(point.ci);
  }
  if (clipped) frame.notes.push_back(kArrowNote);
  frame.desc = "For each of the " + std::to_string(res.K) +
               " classes, the Zover model's consistency (circle) and agreement (square), each with a horizontal "
               "line for its " + LevelPercent(res.level) + " % interval, the estimate -/+ " +
               TickLabel(std::round(TwoSidedNormalPoint(res.level) * 100) / 100) + " standard errors" +
               (withFleiss ? ", and Fleiss' kappa of the class (hollow diamond, without an interval)" : "") +
               ". A vertical line marks 0. " + AxisInWords(axis) + values;
  const double group = kSubRow * static_cast<double>(series) + kGroupGap;
  const double bottom = kClassTop + group * res.K + 2;
  double valueWidth = 0;
  for (const auto& p : points) {
    for (const ClassPoint& point : p) {
      if (point.estimate) valueWidth = std::max(valueWidth, TextWidth(ValueText(*point.estimate, point.ci), 11));
    }
  }
  frame.width = std::max(kMinWidth, kValueX + valueWidth + 10);
  frame.height = bottom + 44;
  Open(out, frame, SvgMode::kInline);
  double legendX = 10;
  for (std::size_t s = 0; s < series; ++s) {
    Marker(out, kSeries[s].shape, legendX + 5, 14, kSeries[s].colour, s < 2);
    const std::string name =
        s < 2 ? kSeries[s].name + std::string(" (") + LevelPercent(res.level) + " % interval)" : "Fleiss' kappa of the class";
    Text(out, "legend", legendX + 14, 18, name, "start", 12);
    legendX += 24 + TextWidth(name, 12);
  }
  for (int i = 0; i < res.K; ++i) {
    const double top = kClassTop + group * i;
    if (i % 2 == 1) Rect(out, "stripe", 0, top, frame.width, group, "#f4f4f4");
  }
  DrawAxis(out, axis, kClassTop, bottom, "estimate; the dark line marks 0");
  for (int i = 0; i < res.K; ++i) {
    const double top = kClassTop + group * i + kGroupGap / 2;
    out << "<g class=\"class\">\n";
    Text(out, "label", 10, top + kSubRow * static_cast<double>(series) / 2 + 4,
         Shortened(ValidUtf8(ClassText(res, i)), 20), "start", 12);
    for (std::size_t s = 0; s < series; ++s) {
      const ClassPoint& point = points[static_cast<std::size_t>(i)][s];
      const double y = top + kSubRow * static_cast<double>(s) + kSubRow / 2;
      out << "<g class=\"row\">\n";
      Text(out, "series", 160, y + 4, kSeries[s].name, "start", 11, kGrey);
      if (point.estimate) {
        if (point.ci) Whisker(out, axis, *point.ci, y, kSeries[s].colour);
        Marker(out, kSeries[s].shape, axis.X(*point.estimate), y, kSeries[s].colour, point.ci.has_value());
        Text(out, "value", kValueX, y + 4, ValueText(*point.estimate, point.ci), "start", 11);
      }
      out << "</g>\n";
    }
    out << "</g>\n";
  }
  Close(out, frame, SvgMode::kInline);
}

// --- Figure 3 -------------------------------------------------------------------

namespace {

// A sequential blue scale (light to dark), readable with every kind of
// colour vision and in grey; the text on its two darkest steps is white.
const char* const kShades[] = {"#eff3ff", "#bdd7e7", "#6baed6", "#2171b5", "#08306b"};
constexpr int kSteps = 5;

constexpr double kCellWidth = 62;
constexpr double kCellHeight = 24;
constexpr double kGridLeft = 160;
constexpr double kGridTop = 30;

std::string RaterText(const Results& res, int r) {
  const auto& names = res.input.raterNames;
  if (static_cast<std::size_t>(r) < names.size() && !names[static_cast<std::size_t>(r)].empty()) {
    return names[static_cast<std::size_t>(r)];
  }
  return "rater " + std::to_string(r + 1);
}

}  // namespace

void WriteChanceGrid(const Results& res, std::ostream& out, const std::string& idPrefix) {
  const ModelFit& m = FinalMeasures(res.model);
  Frame frame{idPrefix + "figure-3",
              "Figure 3: the model's chance-response probabilities of each class and rater (fitted by the model, "
              "not the raters' own class shares)",
              "", 0, 0, {}};
  double largest = 0;
  int notNumbers = 0;
  for (int i = 0; i < res.K; ++i) {
    for (int r = 0; r < res.R; ++r) {
      if (std::isfinite(m.pi[i][r])) {
        largest = std::max(largest, m.pi[i][r]);
      } else {
        ++notNumbers;
      }
    }
  }
  // The scale runs from 0 to the largest probability rounded up to a tenth.
  const double tenths = std::ceil(largest * 10 - 1e-9) / 10;
  const double top = std::max(0.1, std::isfinite(tenths) ? tenths : largest);
  if (notNumbers > 0) {
    frame.notes.push_back("Left out: " + std::to_string(notNumbers) + " of the " + std::to_string(res.K * res.R) +
                          " probabilities: " + res.model.reason + ".");
  }
  frame.desc = "A grid of the Zover model's chance-response probabilities, which the model fits, not the share of "
               "each rater's ratings in each class: one row per class (" +
               std::to_string(res.K) + "), one column per rater (" + std::to_string(res.R) +
               "). Each cell holds the probability that the rater gives that class by chance, written in the cell "
               "and shaded from light (low) to dark (high) in " + std::to_string(kSteps) +
               " equal steps from 0 to " + TickLabel(top) + ", as the legend below the grid shows.";
  const double gridBottom = kGridTop + kCellHeight * res.K;
  frame.width = std::max(kGridLeft + kCellWidth * res.R + 10, kGridLeft + 5 * 50 + 30);
  frame.height = gridBottom + 56;
  Open(out, frame, SvgMode::kInline);
  Text(out, "heading", 10, 20, "class \\ rater", "start", 12);
  for (int r = 0; r < res.R; ++r) {
    Text(out, "rater", kGridLeft + kCellWidth * (r + 0.5), 20, Shortened(ValidUtf8(RaterText(res, r)), 8), "middle",
         11);
  }
  for (int i = 0; i < res.K; ++i) {
    const double y = kGridTop + kCellHeight * i;
    Text(out, "label", 10, y + 16, Shortened(ValidUtf8(ClassText(res, i)), 20), "start", 12);
    for (int r = 0; r < res.R; ++r) {
      const double x = kGridLeft + kCellWidth * r;
      const double p = m.pi[i][r];
      if (!std::isfinite(p)) {
        Rect(out, "cell", x + 1, y + 1, kCellWidth - 2, kCellHeight - 2, "#ffffff");
        continue;
      }
      const int step = static_cast<int>(std::min(kSteps - 1.0, std::max(0.0, p / top * kSteps)));
      Rect(out, "cell", x + 1, y + 1, kCellWidth - 2, kCellHeight - 2, kShades[step]);
      const std::string text = Table4(p);
      const double size = std::min(11.0, (kCellWidth - 6) / (kCharWidth * static_cast<double>(text.size())));
      Text(out, "value", x + kCellWidth / 2, y + 16, text, "middle", size, step >= 3 ? "#ffffff" : "#000000");
    }
  }
  ScaleLegend(out, gridBottom + 14, "probability", kGridLeft, 50, kShades, kSteps, 1,
              [&](int s) { return TickLabel(top * s / kSteps); });
  Close(out, frame, SvgMode::kInline);
}

// --- Figure 4 -------------------------------------------------------------------

namespace {

// A diverging scale from -1 (red) through 0 to 1 (blue) in 8 steps of 0.25
// (ColorBrewer's RdBu, readable with every kind of colour vision); the text
// on its darkest steps is white.
const char* const kDiverging[] = {"#b2182b", "#d6604d", "#f4a582", "#fddbc7",
                                  "#d1e5f0", "#92c5de", "#4393c3", "#2166ac"};
constexpr int kDivergingSteps = 8;

constexpr double kHeatCellWidth = 52;
constexpr double kHeatCellHeight = 24;
constexpr double kHeatLeft = 150;
constexpr double kHeatTop = 34;
constexpr std::size_t kRaterCharacters = 18;

// Rater g as the figures label it: its number and name, at most `characters`.
std::string RaterLabel(const Results& res, int g, std::size_t characters) {
  const std::string* name = RaterName(res, g);
  const std::string text = std::to_string(g + 1) + (name != nullptr ? " " + ValidUtf8(*name) : "");
  return Shortened(text, characters);
}

// The raters in the order of the figures: similar ones side by side when the
// engine ordered them, otherwise file order.
std::vector<int> FigureOrder(const Results& res) {
  std::vector<int> order = res.disagreement.raterOrder;
  if (order.size() != static_cast<std::size_t>(res.R)) {
    order.resize(static_cast<std::size_t>(res.R));
    for (int g = 0; g < res.R; ++g) order[static_cast<std::size_t>(g)] = g;
  }
  return order;
}

}  // namespace

void WriteKappaHeatmap(const Results& res, std::ostream& out, const std::string& idPrefix) {
  const int R = res.R;
  std::vector<std::optional<double>> kappa(PairNumber(R - 2, R - 1, R) + 1);
  for (const ResultRow& row : res.rows) {
    if (row.group == RowGroup::kPair && row.key == "pair_cohen_kappa") {
      kappa[PairNumber(row.rater - 1, row.rater2 - 1, R)] = row.estimate;
    }
  }
  const std::vector<int> order = FigureOrder(res);
  Frame frame{idPrefix + "figure-4", "Figure 4: Cohen's kappa of every pair of raters", "", 0, 0, {}};
  int without = 0;
  for (const auto& k : kappa) without += k ? 0 : 1;
  if (without > 0) {
    frame.notes.push_back(std::to_string(without) + " of the " + std::to_string(kappa.size()) +
                          " pairs have no kappa (no object rated by both, or both raters used one class): their "
                          "cells are white with a dash.");
  }
  std::string values;
  for (std::size_t p = 0; p < kappa.size() && p < 200; ++p) {
    if (kappa[p]) values += " " + Fixed4(*kappa[p]);
  }
  frame.desc = "A heatmap of the " + std::to_string(R) + " raters by the " + std::to_string(R) +
               " raters, in an order that puts raters whose kappas are alike side by side. Each cell holds the "
               "Cohen's kappa of the pair on the objects both rated, written in the cell and coloured on one scale "
               "from -1 (dark red: they disagree beyond chance) through 0 (white: chance) to 1 (dark blue: they "
               "agree), in " + std::to_string(kDivergingSteps) + " steps of 0.25. A rater whose row is paler or "
               "redder than the others disagrees with them. Kappas in pair order:" + values;
  const double gridBottom = kHeatTop + kHeatCellHeight * R;
  frame.width = std::max(kHeatLeft + kHeatCellWidth * R + 10, kHeatLeft + 8 * 44 + 40);
  frame.height = gridBottom + 60;
  Open(out, frame, SvgMode::kInline);
  Text(out, "heading", 10, 22, "rater", "start", 12);
  for (int j = 0; j < R; ++j) {
    Text(out, "rater", kHeatLeft + kHeatCellWidth * (j + 0.5), 22, std::to_string(order[j] + 1), "middle", 11);
  }
  for (int i = 0; i < R; ++i) {
    const int a = order[i];
    const double y = kHeatTop + kHeatCellHeight * i;
    Text(out, "label", 10, y + 16, RaterLabel(res, a, kRaterCharacters), "start", 11);
    for (int j = 0; j < R; ++j) {
      const int b = order[j];
      const double x = kHeatLeft + kHeatCellWidth * j;
      if (a == b) {
        Rect(out, "diagonal", x + 1, y + 1, kHeatCellWidth - 2, kHeatCellHeight - 2, "#e6e6e6");
        continue;
      }
      const std::optional<double>& k = kappa[a < b ? PairNumber(a, b, R) : PairNumber(b, a, R)];
      out << "<g class=\"cell\" data-rater=\"" << std::min(a, b) + 1 << "\" data-rater2=\"" << std::max(a, b) + 1
          << "\">\n";
      if (!k) {
        Rect(out, "kappa", x + 1, y + 1, kHeatCellWidth - 2, kHeatCellHeight - 2, "#ffffff");
        Text(out, "none", x + kHeatCellWidth / 2, y + 16, "\xE2\x80\x94", "middle", 11, kGrey);
      } else {
        const int step = static_cast<int>(
            std::min(kDivergingSteps - 1.0, std::max(0.0, std::floor((*k + 1) / 2 * kDivergingSteps))));
        Rect(out, "kappa", x + 1, y + 1, kHeatCellWidth - 2, kHeatCellHeight - 2, kDiverging[step]);
        const std::string text = Fixed4(*k);
        const double size = std::min(11.0, (kHeatCellWidth - 6) / (kCharWidth * static_cast<double>(text.size())));
        const bool dark = step == 0 || step == kDivergingSteps - 1;
        Text(out, "value", x + kHeatCellWidth / 2, y + 16, text, "middle", size, dark ? "#ffffff" : "#000000");
      }
      out << "</g>\n";
    }
  }
  const double legendY = gridBottom + 14;
  ScaleLegend(out, legendY, "Cohen's kappa", kHeatLeft, 44, kDiverging, kDivergingSteps, 2,
              [](int s) { return TickLabel(-1 + 2.0 * s / kDivergingSteps); });
  Text(out, "legend", kHeatLeft + 44 * kDivergingSteps / 2, legendY + 44, "red: below chance; blue: above", "middle",
       11, kGrey);
  Close(out, frame, SvgMode::kInline);
}

// --- Figure 5 -------------------------------------------------------------------

namespace {

// Okabe-Ito's colours, told apart with every kind of colour vision (grey for
// its black); white text on the blue.
const char* const kClassColours[] = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                     "#0072B2", "#D55E00", "#CC79A7", "#999999"};
constexpr double kBarLeft = 150;
constexpr double kBarWidth = 440;
constexpr double kBarHeight = 18;
constexpr double kBarRow = 26;

}  // namespace

void WriteClassShares(const Results& res, std::ostream& out, const std::string& idPrefix) {
  const DisagreementRecord& d = res.disagreement;
  const std::vector<int> order = FigureOrder(res);
  Frame frame{idPrefix + "figure-5", "Figure 5: each rater's own class distribution", "", 0, 0, {}};
  // The legend: a swatch and the class's number and label each, on as many
  // lines as they need.
  std::vector<std::pair<double, double>> legend;  // the swatch's x and line
  double x = 10, line = 0;
  for (int k = 0; k < res.K; ++k) {
    const double width = 20 + TextWidth(Shortened(ValidUtf8(ClassText(res, k)), 20), 12) + 16;
    if (x + width > kBarLeft + kBarWidth + 60 && x > 10) x = 10, ++line;
    legend.push_back({x, line});
    x += width;
  }
  const double top = 18 + 20 * (line + 1);
  std::string values;
  int none = 0;
  for (int i = 0; i < res.R; ++i) {
    const int g = order[i];
    values += " Rater " + RaterLabel(res, g, 40) + ", " + Format("%.0lf", {d.raterObjects[g]}) + " objects:";
    if (d.raterObjects[g] == 0) ++none;
    for (int k = 0; k < res.K && d.raterObjects[g] > 0; ++k) {
      values += (k == 0 ? " class " : ", class ") + ClassText(res, k) + " " + Fixed4(d.raterShares[g][k]);
    }
    values += ".";
  }
  if (none > 0) frame.notes.push_back(std::to_string(none) + " raters rated no object: their bars are empty.");
  frame.desc = "For each of the " + std::to_string(res.R) +
               " raters, in the order of figure 4, one horizontal bar of full width cut into the shares of the "
               "objects it rated that it put in each class, one colour per class as the legend shows, with the "
               "share written in the part when it is wide enough and the number of objects at the end." + values;
  frame.width = kBarLeft + kBarWidth + 90;
  frame.height = top + kBarRow * res.R + 10;
  Open(out, frame, SvgMode::kInline);
  for (int k = 0; k < res.K; ++k) {
    const auto [lx, ly] = legend[static_cast<std::size_t>(k)];
    Rect(out, "swatch", lx, 8 + 20 * ly, 14, 14, kClassColours[k]);
    Text(out, "legend", lx + 20, 19 + 20 * ly, Shortened(ValidUtf8(ClassText(res, k)), 20), "start", 12);
  }
  for (int i = 0; i < res.R; ++i) {
    const int g = order[i];
    const double y = top + kBarRow * i;
    out << "<g class=\"bar\" data-rater=\"" << g + 1 << "\">\n";
    Text(out, "label", 10, y + 13, RaterLabel(res, g, kRaterCharacters), "start", 11);
    Rect(out, "frame", kBarLeft, y, kBarWidth, kBarHeight, "#f0f0f0");
    double at = kBarLeft;
    for (int k = 0; k < res.K && d.raterObjects[g] > 0; ++k) {
      const double count = d.raterCounts[g][k];
      if (count == 0) continue;
      const double width = count / d.raterObjects[g] * kBarWidth;
      out << "<rect class=\"segment\" data-class=\"" << k + 1 << "\" data-count=\"" << Format("%.0lf", {count})
          << "\" x=\"" << Px(at) << "\" y=\"" << Px(y) << "\" width=\"" << Px(width) << "\" height=\""
          << Px(kBarHeight) << "\" fill=\"" << kClassColours[k] << "\"/>\n";
      const std::string share = Format("%.0lf", {std::round(100 * d.raterShares[g][k])}) + " %";
      if (TextWidth(share, 10) + 6 <= width) {
        Text(out, "share", at + width / 2, y + 13, share, "middle", 10, k == 4 ? "#ffffff" : "#000000");
      }
      at += width;
    }
    Text(out, "objects", kBarLeft + kBarWidth + 6, y + 13, "n = " + Format("%.0lf", {d.raterObjects[g]}), "start", 11);
    out << "</g>\n";
  }
  Close(out, frame, SvgMode::kInline);
}

}  // namespace zover
