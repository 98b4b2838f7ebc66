#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/analysis.h"

namespace zover {
namespace {

// One run of several analyses, as the batch command makes it: one file with
// a group column, several files as groups, or frequencies shards (grouped or
// not); what it refuses and, when it reads, how many objects all groups hold.
struct Case {
  const char* name;
  Layout layout;
  std::string by;  // the group column; empty: none
  std::vector<std::string> files;
  std::string refusal;  // a part of the error; empty: read and analysed
  double objects = 0;   // of all groups together
  std::vector<std::string> compareGroups = {};
};

GroupedDataset Read(const Case& c, const ReadOptions& options) {
  const bool shards = c.layout == Layout::kFrequencies && c.files.size() > 1;
  ReadOptions reading = options;
  reading.shard = shards;
  std::vector<GroupedDataset> grouped;
  std::vector<Dataset> plain;
  for (std::size_t f = 0; f < c.files.size(); ++f) {
    StringSource source(c.files[f]);
    const std::string name = "f" + std::to_string(f + 1);
    if (!c.by.empty()) {
      grouped.push_back(ReadGroups(source, name, reading));
      if (!grouped.back().ok()) return std::move(grouped.back());
    } else {
      plain.push_back(ReadData(source, name, reading));
      if (!plain.back().ok()) {
        GroupedDataset refused;
        refused.error = plain.back().error;
        return refused;
      }
    }
  }
  if (!c.by.empty()) return shards ? AddGroupedShards(std::move(grouped), options) : std::move(grouped[0]);
  if (!shards) return GroupFiles(std::move(plain), options);
  GroupedDataset sum;
  sum.all = AddShards(std::move(plain), options);
  sum.error = sum.all.error;
  return sum;
}

TEST(GroupsTest, ReadsAddsAndRefusesAsOneRunMust) {
  const Layout kLong = Layout::kLong, kFreq = Layout::kFrequencies, kRaw = Layout::kRaw;
  const std::string sites = "o,r,c,s\nx,a,1,p\nx,b,1,p\ny,a,2,p\ny,b,2,p\nz,a,1,q\nz,b,2,q\nw,a,2,q\nw,b,2,q\n";
  const std::vector<Case> cases = {
      {"long file in two groups", kLong, "s", {sites}, "", 4},
      {"an object in two groups", kLong, "s", {"o,r,c,s\nx,a,1,p\nx,b,2,q\ny,a,1,p\ny,b,1,p\n"},
       "object \"x\" is in group \"q\" here and in group \"p\""},
      {"two named groups", kLong, "s", {sites}, "", 4, {"p", "q"}},
      {"a named group that is not there", kLong, "s", {sites}, "no group is named \"r\"", 0, {"p", "r"}},
      {"raw files as groups", kRaw, "", {"1 1\n2 2\n", "1 2\n2 2\n1 1\n"}, "", 5},
      {"shards add their counts", kFreq, "", {"1 1 3\n1 2 1\n", "1 1 2\n2 2 4\n"}, "", 10},
      {"an empty shard adds nothing", kFreq, "", {"1 1 1\n", "", "2 2 1\n"}, "", 2},
      {"every shard empty", kFreq, "", {"", ""}, "hold no response tuples"},
      {"shards of one object together", kFreq, "", {"1 1 1\n", ""}, "at least 2 objects"},
      {"shards of different raters", kFreq, "", {"1 1 1\n2 2 1\n", "1 1 1 1\n2 2 2 1\n"},
       "has 3 raters where \"f1\" has 2"},
      {"grouped shards add group by group", kFreq, "1", {"p,1,1,1\nq,1,2,1\n", "p,2,2,1\nq,2,2,1\n"}, "", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadOptions options;
    options.layout = c.layout;
    options.header = c.layout == kLong;
    options.by = c.by;
    GroupedDataset data = Read(c, options);
    std::string error = data.error;
    if (data.ok() && (!c.by.empty() || c.layout != kFreq)) {
      Request request;
      request.compareGroups = c.compareGroups;
      const GroupedResults res = AnalyseGroups(data, request);
      error = res.error;
      if (res.error.empty() && c.compareGroups.size() == 2) {
        ASSERT_TRUE(res.pairOnly);
        for (const GroupComparison& cmp : res.comparisons) EXPECT_EQ(res.names[cmp.group], c.compareGroups[0]);
      }
    }
    if (c.refusal.empty()) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(data.all.data.Norg, c.objects);
    } else {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace zover
