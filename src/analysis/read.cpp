// Reading a data set: the file in its layout, the tables of its layout
// built as the dialogue's data entry of the same mode builds them, and a
// refusal as one line that names the option which reads what was refused.

#include <algorithm>
#include <string>
#include <utility>

#include "analysis/analysis.h"
#include "input/input.h"

namespace zover {

namespace {

// With missing ratings, the model and the kappas need two objects that
// every rater rated; the coefficients that use every rating do not.
constexpr double kMinCompleteObjects = 2;

// A message of the dialogue as one line: without the line ends and blanks
// around it.
std::string OneLine(const std::string& message) {
  const std::size_t first = message.find_first_not_of(" \n");
  if (first == std::string::npos) return "";
  const std::size_t last = message.find_last_not_of(" \n");
  return message.substr(first, last - first + 1);
}

// The refusal of a data file, with the option that reads what was refused.
std::string FaultMessage(const ReadOptions& options, const std::string& name, ReadFault fault) {
  using Kind = ReadFault::Kind;
  const bool missingFits = options.layout == Layout::kRaw || options.layout == Layout::kLong;
  const char* const missingHint = "; add --missing to read empty fields, NA and . as missing ratings";
  switch (fault.kind) {
    case Kind::kNotClassNumber:
      fault.what = QuotedText(fault.text) + " is " + fault.what +
                   (fault.field == 1 && options.layout == Layout::kRaw && !options.id
                        ? "; add --id if the first column names the objects, or --labels to use text labels as classes"
                        : "; add --labels to use text labels as classes");
      break;
    case Kind::kEmptyRating:
    case Kind::kMissingMark:
      if (missingFits) fault.what += missingHint;
      break;
    case Kind::kSeparators: fault.what += "; choose the separator with --sep ',', ';', tab or blank"; break;
    case Kind::kLooksLikeHeader:
      fault.what += "; add --header to read it as names, or --no-header to read it as data";
      break;
    case Kind::kLongColumns:
      fault.what +=
          "; name the object's, the rater's and the rating's columns with --long-columns OBJECT,RATER,RATING, "
          "by the header's names (with --header) or by their numbers from 1";
      break;
    case Kind::kOther: break;
  }
  return OneLine(DialogueMessage(fault, name));
}

// The options that shaped the reading, as a user would type them.
std::string ReadingOptions(const ReadOptions& options) {
  std::string text;
  const char* const separators[] = {"", "", "blank", "','", "';'", "tab"};
  const std::pair<bool, std::string> flags[] = {
      {options.header, "--header"},
      {options.noHeader, "--no-header"},
      {options.separator != Separator::kDetect, std::string("--sep ") + separators[static_cast<int>(options.separator)]},
      {options.id, "--id"},
      {options.missing, "--missing"},
      {options.labels, "--labels"},
      {options.objects, "--objects"}};
  for (const auto& [set, name] : flags) {
    if (set) text += (text.empty() ? "" : " ") + name;
  }
  const std::pair<const char*, const std::vector<std::string>*> lists[] = {{"--raters", &options.raters},
                                                                          {"--long-columns", &options.longColumns}};
  for (const auto& [name, list] : lists) {
    if (list->empty()) continue;
    text += std::string(text.empty() ? "" : " ") + name + " ";
    for (std::size_t i = 0; i < list->size(); ++i) text += (i == 0 ? "" : ",") + (*list)[i];
  }
  if (!options.classes.empty()) {
    text += std::string(text.empty() ? "" : " ") + "--classes ";
    for (std::size_t i = 0; i < options.classes.size(); ++i) {
      std::string label = options.classes[i];
      if (label.find_first_of(",\"") != std::string::npos) {
        for (std::size_t at = label.find('"'); at != std::string::npos; at = label.find('"', at + 2)) {
          label.insert(at, 1, '"');
        }
        label = "\"" + label + "\"";
      }
      text += (i == 0 ? "" : ",") + label;
    }
  }
  return text;
}

// Reads the file and builds the tables of its layout; with `groups`, also
// each group's (FileLayout::group).
ReadOutcome Enter(const ReadOptions& options, DataSource& file, const std::string& name, ObservedData& data,
                  FileGroups* groups = nullptr) {
  FileLayout layout;
  layout.header = options.header;
  layout.id = options.id;
  layout.missing = options.missing;
  layout.labels = options.labels;
  layout.classes = options.classes;
  layout.zeroFractions = true;
  layout.separator = options.separator;
  layout.noHeader = options.noHeader;
  layout.columns = options.layout == Layout::kLong ? options.longColumns : options.raters;
  layout.ordered = options.ordered;
  layout.keepObjects = options.objects && (options.layout == Layout::kRaw || options.layout == Layout::kLong);
  if (groups != nullptr) layout.group = options.by;
  layout.part = options.shard && options.layout == Layout::kFrequencies;
  layout.threads = options.threads;
  // The tables of a data set whose tuples are counted.
  const auto build = [&layout, &options](ObservedData& tb) {
    if (layout.part) return;  // the sum's tables are built
    if (options.layout == Layout::kFrequencies || tb.Norg >= kMinCompleteObjects) BuildTupleTables(tb, layout.threads);
  };
  switch (options.layout) {
    case Layout::kRaw:
    case Layout::kLong:
    case Layout::kFrequencies: {
      ReadOutcome read = options.layout == Layout::kRaw    ? ArchivoFrom(file, data, name, layout, groups)
                         : options.layout == Layout::kLong ? ReadLongFile(file, data, name, layout, groups)
                                                           : ArchivoExtraFrom(file, data, name, layout, groups);
      if (!read.ok) return read;
      build(data);
      if (groups != nullptr) {
        for (ObservedData& group : groups->data) build(group);
      }
      return read;
    }
    case Layout::kModel:
      return ReadModelFile(file, data, name);
  }
  return {};
}

}  // namespace

GroupedDataset ReadGroups(DataSource& source, const std::string& name, const ReadOptions& options) {
  GroupedDataset set;
  set.by = options.by;
  set.all.name = name;
  set.all.layout = options.layout;
  set.all.options = ReadingOptions(options);
  if (options.layout == Layout::kModel) {
    set.error = "ERROR: model data have no groups; --by reads a column of raw, frequencies or long files";
    return set;
  }
  FileGroups groups;
  const ReadOutcome read = Enter(options, source, name, set.all.data, &groups);
  if (!read.ok) {
    set.error = FaultMessage(options, name, read.fault);
    set.all.data = ObservedData{};
    return set;
  }
  set.names = std::move(groups.names);
  set.groups.resize(groups.data.size());
  for (std::size_t g = 0; g < groups.data.size(); ++g) {
    Dataset& group = set.groups[g];
    group.name = name;
    group.layout = options.layout;
    group.options = set.all.options;
    group.data = std::move(groups.data[g]);
  }
  return set;
}

Dataset ReadData(DataSource& source, const std::string& name, const ReadOptions& options) {
  if (!options.by.empty()) {
    GroupedDataset grouped = ReadGroups(source, name, options);
    grouped.all.error = grouped.error;
    return std::move(grouped.all);
  }
  Dataset set;
  set.name = name;
  set.layout = options.layout;
  set.options = ReadingOptions(options);
  const ReadOutcome read = Enter(options, source, name, set.data);
  if (!read.ok) {
    set.error = FaultMessage(options, name, read.fault);
    set.data = ObservedData{};
  }
  return set;
}

bool OrderedAnalysis(const Request& request) {
  return request.weights != WeightScheme::kIdentity ||
         std::any_of(request.levels.begin(), request.levels.end(),
                     [](AlphaLevel level) { return level != AlphaLevel::kNominal; });
}

Dataset EnteredData(ObservedData&& data) {
  Dataset set;
  switch (data.entrada) {
    case EntryMode::kRawFile: set.layout = Layout::kRaw; break;
    case EntryMode::kFrequencyFile:
    case EntryMode::kKeyboardFrequencies: set.layout = Layout::kFrequencies; break;
    case EntryMode::kKeyboardModel: set.layout = Layout::kModel; break;
  }
  set.data = std::move(data);
  return set;
}

}  // namespace zover
