#pragma once
// Names and labels that several printers share.

#include <cmath>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "tables/results.h"

namespace zover {

// The reports that print a table of the first fit without standard errors
// before the final one.
inline bool PrintsFirstFit(Report report) {
  return report == Report::kTwoByTwo || report == Report::kIndeterminate || report == Report::kMinusInfinity ||
         report == Report::kZeroProbability;
}

// A confidence level as a percentage, as few digits as it needs: "95",
// "99.5".
inline std::string LevelPercent(double level) {
  std::ostringstream text;
  text << std::setprecision(10) << level * 100;
  return text.str();
}

// The label of class i (0-based), when the classes have labels.
inline const std::string* ClassLabel(const Results& res, int i) {
  const auto& labels = res.input.classLabels;
  return i >= 0 && static_cast<std::size_t>(i) < labels.size() ? &labels[static_cast<std::size_t>(i)] : nullptr;
}

// The name of rater g (0-based) from the file's header, or null.
inline const std::string* RaterName(const Results& res, int g) {
  const auto& names = res.input.raterNames;
  return g >= 0 && static_cast<std::size_t>(g) < names.size() && !names[static_cast<std::size_t>(g)].empty()
             ? &names[static_cast<std::size_t>(g)]
             : nullptr;
}

// The name of a level of Krippendorff's alpha in the batch outputs.
inline const char* AlphaLevelName(AlphaLevel level) {
  switch (level) {
    case AlphaLevel::kOrdinal: return "ordinal";
    case AlphaLevel::kInterval: return "interval";
    case AlphaLevel::kRatio: return "ratio";
    case AlphaLevel::kNominal: break;
  }
  return "nominal";
}

// The name of a weight scheme in the batch outputs.
inline const char* WeightSchemeName(WeightScheme scheme) {
  switch (scheme) {
    case WeightScheme::kLinear: return "linear";
    case WeightScheme::kQuadratic: return "quadratic";
    case WeightScheme::kIdentity: break;
  }
  return "identity";
}

// What the class values of the ordered coefficients are.
inline std::string ClassValuesSource(const Results& res) {
  if (res.input.classLabels.empty()) return "the class numbers";
  if (!res.input.classValues.empty()) return "the labels' values";
  return "the labels' order, 1 to " + std::to_string(res.input.classLabels.size());
}

// The name of a report in the batch outputs.
inline const char* ReportName(Report report) {
  switch (report) {
    case Report::kTwoByTwo: return "two_by_two";
    case Report::kIndeterminate: return "indeterminate";
    case Report::kMinusInfinity: return "minus_infinity";
    case Report::kInfiniteSolutions: return "infinite_solutions";
    case Report::kZeroProbability: return "zero_probability";
    case Report::kRegular: break;
  }
  return "regular";
}

}  // namespace zover
