// Several analyses in one run: the groups of a file or the files of a run,
// each analysed alone and all together, and their comparisons; the shards
// of one table of counts added into one data set. Nothing here prints.

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "analysis/analysis.h"
#include "input/input.h"
#include "kappa/coefficients.h"
#include "tables/limits.h"

namespace zover {

namespace {

constexpr double kMinCompleteObjects = 2;

// The tables of a data set whose tuples are counted, as ReadData builds them.
void BuildTables(ObservedData& data) {
  if (data.entrada == EntryMode::kFrequencyFile || data.Norg >= kMinCompleteObjects) BuildTupleTables(data);
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// A data set of the parts added (or "" with `out` untouched, and the
// refusal in out.error).
Dataset Added(const std::vector<const ObservedData*>& parts, const std::vector<std::string>& names,
              const ReadOptions& options, bool sameRaters) {
  Dataset set;
  set.name = Joined(names);
  set.layout = options.layout;
  const std::string apart = AddObservedData(parts, names, !options.classes.empty(), sameRaters, set.data);
  if (!apart.empty()) {
    set.error = "ERROR: the files cannot be added: " + apart + ".";
    set.data = ObservedData{};
    return set;
  }
  BuildTables(set.data);
  return set;
}

// `group` on the classes of `all` (a sum of groups that each may lack a
// class).
Dataset OnClasses(const Dataset& group, const Dataset& all, const ReadOptions& options) {
  Dataset set;
  set.name = group.name;
  set.layout = group.layout;
  set.options = group.options;
  RecodeToClasses(group.data, {&group.data, &all.data}, !options.classes.empty(), set.data);
  BuildTables(set.data);
  return set;
}

std::vector<const ObservedData*> DataOf(const std::vector<Dataset>& sets) {
  std::vector<const ObservedData*> parts;
  for (const Dataset& set : sets) parts.push_back(&set.data);
  return parts;
}

std::vector<std::string> NamesOf(const std::vector<Dataset>& sets) {
  std::vector<std::string> names;
  for (const Dataset& set : sets) names.push_back(set.name);
  return names;
}

// The first name given twice, if any.
const std::string* Repeated(const std::vector<std::string>& names) {
  std::map<std::string, int> seen;
  for (const std::string& name : names) {
    if (++seen[name] == 2) return &name;
  }
  return nullptr;
}

}  // namespace

GroupedDataset GroupFiles(std::vector<Dataset>&& files, const ReadOptions& options) {
  GroupedDataset set;
  set.by = "file";
  set.names = NamesOf(files);
  if (const std::string* twice = Repeated(set.names)) {
    set.error = "ERROR: the file " + QuotedText(*twice) + " is given twice: each file is a group of its own.";
    return set;
  }
  if (files.size() > kMaxGroups) {
    set.error = "ERROR: more than 10000 files: at most 10000 groups can be analysed in one run.";
    return set;
  }
  const std::vector<const ObservedData*> parts = DataOf(files);
  set.all = Added(parts, set.names, options, false);
  if (!set.all.ok()) {
    set.error = set.all.error;
    return set;
  }
  set.all.options = files[0].options;
  for (std::size_t f = 0; f < files.size(); ++f) {
    Dataset& group = set.groups.emplace_back();
    group.name = files[f].name;
    group.layout = files[f].layout;
    group.options = files[f].options;
    RecodeToClasses(files[f].data, parts, !options.classes.empty(), group.data);
    BuildTables(group.data);
  }
  return set;
}

namespace {

// The sum of shards: those without lines add nothing; the sum must hold
// what one file must (2 objects, 2 classes). `what` names a group.
Dataset SumOfShards(const std::vector<const Dataset*>& shards, const ReadOptions& options, const std::string& what) {
  std::vector<const ObservedData*> parts;
  std::vector<std::string> names;
  for (const Dataset* shard : shards) {
    if (shard->data.R == 0) continue;
    parts.push_back(&shard->data);
    names.push_back(shard->name);
  }
  Dataset set;
  if (parts.empty()) {
    set.error = "ERROR: the files" + what + " hold no response tuples.";
    return set;
  }
  set = Added(parts, names, options, true);
  if (!set.ok()) return set;
  if (set.data.Norg < 2) {
    set.error = "ERROR: the files" + what + " together: the frequencies must add up to at least 2 objects.";
  } else if (set.data.K < 2) {
    set.error = "ERROR: the files" + what + " together: at least 2 classes are needed.";
  }
  set.options = shards[0]->options;
  return set;
}

}  // namespace

Dataset AddShards(std::vector<Dataset>&& shards, const ReadOptions& options) {
  std::vector<const Dataset*> all;
  for (const Dataset& shard : shards) all.push_back(&shard);
  return SumOfShards(all, options, "");
}

GroupedDataset AddGroupedShards(std::vector<GroupedDataset>&& shards, const ReadOptions& options) {
  GroupedDataset set;
  set.by = options.by;
  std::vector<Dataset> alls;
  for (GroupedDataset& shard : shards) alls.push_back(std::move(shard.all));
  set.all = AddShards(std::move(alls), options);
  if (!set.all.ok()) {
    set.error = set.all.error;
    return set;
  }
  // Each group's rows of every shard that has it, in the order the groups
  // first appear.
  std::map<std::string, std::size_t> index;
  std::vector<std::vector<const Dataset*>> parts;
  for (GroupedDataset& shard : shards) {
    for (std::size_t g = 0; g < shard.names.size(); ++g) {
      const auto [at, added] = index.emplace(shard.names[g], set.names.size());
      if (added) {
        set.names.push_back(shard.names[g]);
        parts.emplace_back();
      }
      parts[at->second].push_back(&shard.groups[g]);
    }
  }
  if (set.names.size() > kMaxGroups) {
    set.error = "ERROR: more than 10000 groups in the files together: at most 10000 groups can be analysed in one run.";
    return set;
  }
  for (std::size_t g = 0; g < parts.size(); ++g) {
    std::vector<const Dataset*> shardsOfGroup(parts[g].begin(), parts[g].end());
    const Dataset sum = SumOfShards(shardsOfGroup, options, " of group " + QuotedText(set.names[g]) + " (--by)");
    if (!sum.ok()) {
      set.error = sum.error;
      return set;
    }
    set.groups.push_back(OnClasses(sum, set.all, options));
    set.groups.back().options = set.all.options;
  }
  return set;
}

// --- The comparisons ------------------------------------------------------

namespace {

// A coefficient of one group: its estimate and standard error, when both
// are there.
struct Value {
  double estimate = 0;
  double se = 0;
};

std::optional<Value> ValueOf(const Results& res, const ResultRow& row) {
  const ResultRow* own = res.Find(row.key, row.cls);
  if (own == nullptr || !own->estimate || !own->se) return std::nullopt;
  return Value{*own->estimate, *own->se};
}

void Differ(GroupComparison& c, const Value& one, double other, double otherSe, double level) {
  c.other = other;
  c.otherSe = otherSe;
  c.difference = one.estimate - other;
  const double se = std::sqrt(one.se * one.se + otherSe * otherSe);
  c.se = se;
  if (!(se > 0) || !std::isfinite(se) || !std::isfinite(*c.difference)) {
    c.reason = "the standard error of the difference is 0";
    return;
  }
  const double z = TwoSidedNormalPoint(level);
  c.ci = Interval{*c.difference - z * se, *c.difference + z * se, level};
  c.z = *c.difference / se;
  c.p = TwoSidedP(*c.z);
}

// The keys of `rows`, each once, for a message.
std::string KeyList(const std::vector<ResultRow>& rows) {
  std::vector<std::string> keys;
  for (const ResultRow& row : rows) {
    if (std::find(keys.begin(), keys.end(), row.key) == keys.end()) keys.push_back(row.key);
  }
  return Joined(keys);
}

}  // namespace

GroupedResults AnalyseGroups(const GroupedDataset& data, const Request& request) {
  GroupedResults res;
  res.by = data.by;
  res.names = data.names;
  res.level = request.level;
  res.all = Analyse(data.all, request);
  res.groups.reserve(data.groups.size());
  for (const Dataset& group : data.groups) res.groups.push_back(Analyse(group, request));

  const std::vector<ResultRow>& rows = res.all.rows;
  for (const std::string& key : request.compare) {
    const bool found = std::any_of(rows.begin(), rows.end(), [&key](const ResultRow& row) { return row.key == key; });
    if (!found) {
      res.error = "ERROR: --compare: " + QuotedText(key) + " is not a coefficient of these results; they have " +
                  KeyList(rows) + ".";
      return res;
    }
  }
  res.compare = request.compare;
  if (res.compare.empty()) {
    // Every coefficient with a standard error (not per class), Fleiss' kappa
    // first when it is there: the first is the one drawn.
    for (const ResultRow& row : rows) {
      const bool listed = std::find(res.compare.begin(), res.compare.end(), row.key) != res.compare.end();
      if (row.cls == 0 && row.has(kFieldSe) && !listed) res.compare.push_back(row.key);
    }
    const auto fleiss = std::find(res.compare.begin(), res.compare.end(), "fleiss_kappa");
    if (fleiss != res.compare.end()) std::rotate(res.compare.begin(), fleiss, fleiss + 1);
  }

  std::vector<std::size_t> pair;
  for (const std::string& name : request.compareGroups) {
    const auto at = std::find(res.names.begin(), res.names.end(), name);
    if (at == res.names.end()) {
      std::vector<std::string> quoted;
      for (std::size_t g = 0; g < res.names.size() && g < 20; ++g) quoted.push_back(QuotedText(res.names[g]));
      res.error = "ERROR: --compare-groups: no group is named " + QuotedText(name) + "; the groups are " +
                  Joined(quoted) + (res.names.size() > 20 ? ", ..." : "") + ".";
      return res;
    }
    pair.push_back(static_cast<std::size_t>(at - res.names.begin()));
  }
  res.pairOnly = pair.size() == 2;

  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ResultRow& row = rows[i];
    if (!row.has(kFieldSe)) continue;
    const bool asked = request.compare.empty()
                           ? row.cls == 0
                           : std::find(request.compare.begin(), request.compare.end(), row.key) != request.compare.end();
    if (!asked) continue;
    std::vector<std::optional<Value>> values;
    for (const Results& group : res.groups) values.push_back(ValueOf(group, row));
    const auto missing = [&](std::size_t g) {
      return "group " + QuotedText(res.names[g]) + " has no estimate with a standard error";
    };
    if (res.pairOnly) {
      GroupComparison& c = res.comparisons.emplace_back();
      c.row = i;
      c.group = pair[0];
      c.versus = pair[1];
      if (values[pair[0]]) c.estimate = values[pair[0]]->estimate;
      if (!values[pair[0]] || !values[pair[1]]) {
        c.reason = missing(values[pair[0]] ? pair[1] : pair[0]);
        if (values[pair[1]]) c.other = values[pair[1]]->estimate;
        continue;
      }
      c.pooled = 1;
      Differ(c, *values[pair[0]], values[pair[1]]->estimate, values[pair[1]]->se, request.level);
      continue;
    }
    // Each group against the others' inverse-variance weighted mean; a group
    // whose standard error is 0 or missing gives no weight. The others of
    // group g are the groups before it, summed from the first on, plus those
    // after it, summed from the last back: no sum loses a large weight by
    // subtraction.
    const std::size_t count = values.size();
    std::vector<double> weightBefore(count + 1, 0), sumBefore(count + 1, 0), weightAfter(count + 1, 0),
        sumAfter(count + 1, 0);
    std::vector<int> pooledBefore(count + 1, 0), pooledAfter(count + 1, 0);
    const auto weight = [&values](std::size_t g) {
      return values[g] && values[g]->se > 0 ? 1 / (values[g]->se * values[g]->se) : 0.0;
    };
    for (std::size_t g = 0; g < count; ++g) {
      const double w = weight(g);
      weightBefore[g + 1] = weightBefore[g] + w;
      sumBefore[g + 1] = sumBefore[g] + (w > 0 ? w * values[g]->estimate : 0);
      pooledBefore[g + 1] = pooledBefore[g] + (w > 0 ? 1 : 0);
    }
    for (std::size_t g = count; g-- > 0;) {
      const double w = weight(g);
      weightAfter[g] = weightAfter[g + 1] + w;
      sumAfter[g] = sumAfter[g + 1] + (w > 0 ? w * values[g]->estimate : 0);
      pooledAfter[g] = pooledAfter[g + 1] + (w > 0 ? 1 : 0);
    }
    for (std::size_t g = 0; g < count; ++g) {
      GroupComparison& c = res.comparisons.emplace_back();
      c.row = i;
      c.group = g;
      if (!values[g]) {
        c.reason = missing(g);
        continue;
      }
      c.estimate = values[g]->estimate;
      c.pooled = pooledBefore[g] + pooledAfter[g + 1];
      if (c.pooled == 0) {
        c.reason = "no other group has an estimate with a standard error above 0";
        continue;
      }
      const double others = weightBefore[g] + weightAfter[g + 1];
      Differ(c, *values[g], (sumBefore[g] + sumAfter[g + 1]) / others, 1 / std::sqrt(others), request.level);
    }
  }
  return res;
}

}  // namespace zover
