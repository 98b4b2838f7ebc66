// Observed data of several files added together: the shards of one table of
// counts (the same raters in each), or the files of several groups analysed
// as one (the raters of all of them). Only the counted tuples are added, so
// that the sum costs what the files' distinct tuples cost, whatever their
// objects.

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

#include "input/reader_parts.h"
#include "tables/limits.h"

namespace zover {

namespace {

// The classes of all parts together, and each part's class in them.
struct UnitedClasses {
  int K = 0;
  std::vector<std::string> labels;
  std::vector<double> values;
  std::vector<std::vector<std::uint16_t>> classOf;  // [part][its class from 1]: the united class; [0] is 0
};

// A label is one class with every label of the same exact value ("1" and
// "1.0"), a text by its bytes: ClassReader's rule.
std::string ClassKey(const std::string& label) {
  const std::optional<std::string> exact = ExactNumber(label);
  return exact ? *exact : "#" + label;
}

UnitedClasses UniteClasses(const std::vector<const ObservedData*>& parts, bool fixed) {
  UnitedClasses united;
  const bool labels =
      std::any_of(parts.begin(), parts.end(), [](const ObservedData* p) { return !p->classLabels.empty(); });
  if (!labels) {
    for (const ObservedData* p : parts) united.K = std::max(united.K, p->K);
    for (const ObservedData* p : parts) {
      std::vector<std::uint16_t>& classOf = united.classOf.emplace_back(static_cast<std::size_t>(p->K) + 1);
      std::iota(classOf.begin(), classOf.end(), std::uint16_t{0});
    }
    return united;
  }
  std::map<std::string, std::size_t> seen;  // key: the place of first appearance
  std::vector<std::string> spelled, keys;
  bool numbers = true;
  for (const ObservedData* p : parts) {
    for (const std::string& label : p->classLabels) {
      std::string key = ClassKey(label);
      if (!seen.emplace(key, spelled.size()).second) continue;
      numbers = numbers && key[0] != '#';
      spelled.push_back(label);
      keys.push_back(std::move(key));
    }
  }
  std::vector<std::size_t> order(spelled.size());
  std::iota(order.begin(), order.end(), 0);
  if (!fixed) {
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return numbers ? ExactLess(keys[a], keys[b]) : spelled[a] < spelled[b];
    });
  }
  std::vector<std::uint16_t> rank(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    rank[order[k]] = static_cast<std::uint16_t>(k + 1);
    united.labels.push_back(spelled[order[k]]);
    if (numbers) united.values.push_back(*NumberField(keys[order[k]]) + 0.0);
  }
  united.K = static_cast<int>(order.size());
  for (const ObservedData* p : parts) {
    std::vector<std::uint16_t>& classOf = united.classOf.emplace_back(1, 0);
    for (const std::string& label : p->classLabels) classOf.push_back(rank[seen.at(ClassKey(label))]);
  }
  return united;
}

// The raters of all parts: raterOf[part][its rater] is the rater in `names`
// (or in 0 .. R-1 without names). Returns what keeps the parts apart.
std::string MatchRaters(const std::vector<const ObservedData*>& parts, const std::vector<std::string>& files,
                        bool same, std::vector<std::string>& names, int& R,
                        std::vector<std::vector<int>>& raterOf) {
  const auto file = [&files](std::size_t p) { return QuotedText(files[p]); };
  const bool named = !parts[0]->raterNames.empty();
  for (std::size_t p = 0; p < parts.size(); ++p) {
    if (parts[p]->raterNames.empty() == named) {
      return file(named ? p : 0) + " names its raters and " + file(named ? 0 : p) + " does not";
    }
  }
  if (!named || same) {
    R = parts[0]->R;
    for (std::size_t p = 1; p < parts.size(); ++p) {
      if (parts[p]->R != R) {
        return file(p) + " has " + std::to_string(parts[p]->R) + " raters where " + file(0) + " has " +
               std::to_string(R) + (same ? "" : "; without names the raters are matched by their place");
      }
      for (int r = 0; named && r < R; ++r) {
        if (parts[p]->raterNames[r] != parts[0]->raterNames[r]) {
          return file(p) + ": rater " + std::to_string(r + 1) + " is " + QuotedText(parts[p]->raterNames[r]) +
                 " where " + file(0) + " has " + QuotedText(parts[0]->raterNames[r]);
        }
      }
    }
    names = parts[0]->raterNames;
    raterOf.assign(parts.size(), std::vector<int>(static_cast<std::size_t>(R)));
    for (auto& of : raterOf) std::iota(of.begin(), of.end(), 0);
    return "";
  }
  std::map<std::string, int> index;
  names.clear();
  raterOf.assign(parts.size(), {});
  for (std::size_t p = 0; p < parts.size(); ++p) {
    std::map<std::string, int> own;
    for (const std::string& name : parts[p]->raterNames) {
      if (!own.emplace(name, 0).second) {
        return file(p) + " names two raters " + QuotedText(name) + ", and the raters of several files are matched by "
                         "their names";
      }
      const auto [at, added] = index.emplace(name, static_cast<int>(names.size()));
      if (added) names.push_back(name);
      raterOf[p].push_back(at->second);
    }
  }
  R = static_cast<int>(names.size());
  if (R > kMaxRaters) return "the files together have more than 1000 raters: at most 1000 raters can be analysed";
  return "";
}

// Counts the tuples of `parts` (their classes and raters mapped) into
// `out`, which takes the classes' labels and the raters' names.
void CountParts(const std::vector<const ObservedData*>& parts, const UnitedClasses& classes,
                const std::vector<std::size_t>& classMaps, const std::vector<std::vector<int>>& raterOf, int R,
                ObservedData& out) {
  TupleCounter complete(R), incomplete(R);
  std::vector<std::uint16_t> tuple(static_cast<std::size_t>(R)), scratch(static_cast<std::size_t>(kMaxRaters));
  double objects = 0, missing = 0;
  bool withMissing = false;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    const std::vector<std::uint16_t>& classOf = classes.classOf[classMaps[p]];
    const std::vector<int>& of = raterOf[p];
    for (const TupleCounts* counts : {&parts[p]->frec, &parts[p]->incompleteTuples}) {
      for (std::size_t u = 0; u < counts->size(); ++u) {
        const std::uint16_t* values = counts->Values(u, scratch.data());
        std::fill(tuple.begin(), tuple.end(), std::uint16_t{0});
        for (int r = 0; r < counts->raters(); ++r) tuple[static_cast<std::size_t>(of[r])] = classOf[values[r]];
        const auto zeros = std::count(tuple.begin(), tuple.end(), std::uint16_t{0});
        const std::uint32_t weight = counts->count(u);
        if (zeros == 0) {
          complete.Add(tuple.data(), weight);
          objects += weight;
        } else {
          incomplete.Add(tuple.data(), weight);
          missing += static_cast<double>(zeros) * weight;
          withMissing = true;
        }
      }
    }
    withMissing = withMissing || parts[p]->incompleteTuples.raters() > 0;
  }
  out.entrada = parts[0]->entrada;
  out.K = out.maxclase = classes.K;
  out.R = out.nraters = R;
  out.Norg = objects;
  out.missingRatings = missing;
  out.classLabels = classes.labels;
  out.classValues = classes.values;
  out.frec = complete.Finish();
  if (withMissing) {
    out.incompleteTuples = incomplete.Finish();
    KeepIncomplete(out, out.incompleteTuples, R);
  }
}

}  // namespace

std::string AddObservedData(const std::vector<const ObservedData*>& parts, const std::vector<std::string>& names,
                            bool fixedClasses, bool sameRaters, ObservedData& out) {
  double objects = 0;
  for (const ObservedData* p : parts) {
    objects += p->Norg;
    for (const auto& pattern : p->incomplete) objects += pattern.second;
  }
  if (objects > static_cast<double>(kMaxObjects)) {
    return "the files together hold more than 1000000000 objects: at most 1000000000 can be analysed";
  }
  std::vector<std::vector<int>> raterOf;
  int R = 0;
  const std::string apart = MatchRaters(parts, names, sameRaters, out.raterNames, R, raterOf);
  if (!apart.empty()) return apart;
  const UnitedClasses classes = UniteClasses(parts, fixedClasses);
  std::vector<std::size_t> classMaps(parts.size());
  std::iota(classMaps.begin(), classMaps.end(), 0);
  CountParts(parts, classes, classMaps, raterOf, R, out);
  for (std::size_t p = 0; p < parts.size(); ++p) {
    out.contextra += parts[p]->contextra;
    if (out.rowNames.empty()) out.rowNames = parts[p]->rowNames;
    for (const std::string& warning : parts[p]->warnings) out.warnings.push_back(QuotedText(names[p]) + ": " + warning);
  }
  return "";
}

void RecodeToClasses(const ObservedData& part, const std::vector<const ObservedData*>& parts, bool fixedClasses,
                     ObservedData& out) {
  const UnitedClasses classes = UniteClasses(parts, fixedClasses);
  const auto at = static_cast<std::size_t>(std::find(parts.begin(), parts.end(), &part) - parts.begin());
  std::vector<std::vector<int>> raterOf(1, std::vector<int>(static_cast<std::size_t>(part.R)));
  std::iota(raterOf[0].begin(), raterOf[0].end(), 0);
  CountParts({&part}, classes, {at}, raterOf, part.R, out);
  out.raterNames = part.raterNames;
  out.contextra = part.contextra;
  out.rowNames = part.rowNames;
  out.warnings = part.warnings;
}

}  // namespace zover
