// The classes of the ratings: numbers, labels in their order, a fixed list,
// and what each refuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/reader_parts.h"

namespace zover {
namespace {

FileLayout Labels(std::vector<std::string> classes = {}) {
  FileLayout layout;
  layout.labels = true;
  layout.classes = std::move(classes);
  layout.zeroFractions = true;
  return layout;
}

TEST(ClassReaderTest, OrdersLabelsAndMatchesRatings) {
  struct Case {
    const char* name;
    FileLayout layout;
    std::vector<std::string> ratings;
    std::vector<int> classes;          // of each rating
    std::vector<std::string> labels;   // in class order
    std::vector<double> values;        // when every label is a number
  };
  FileLayout numbers;
  numbers.zeroFractions = true;
  const Case cases[] = {
      {"class numbers", numbers, {"3", "1", "2.0"}, {3, 1, 2}, {}, {}},
      {"labels by their bytes", Labels(), {"yes", "no", "maybe", "no", "Yes"}, {4, 3, 2, 3, 1},
       {"Yes", "maybe", "no", "yes"}, {}},
      {"numbers by value, 1 and 1.0 one class", Labels(), {"10", "9", "1.0", "1", "02"}, {4, 3, 1, 1, 2},
       {"1.0", "02", "9", "10"}, {1, 2, 9, 10}},
      {"a number among text: bytes", Labels(), {"2", "x", "10"}, {2, 3, 1}, {"10", "2", "x"}, {}},
      {"a list fixes order and K", Labels({"c", "b", "a", "d"}), {"a", "b"}, {3, 2}, {"c", "b", "a", "d"}, {}},
      {"a list of numbers matches by value", Labels({"1", "2", "3"}), {"2.0", "3"}, {2, 3}, {"1", "2", "3"},
       {1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClassReader reader(c.layout, false);
    std::vector<std::uint16_t> codes(c.ratings.size());
    for (std::size_t i = 0; i < c.ratings.size(); ++i) {
      ASSERT_EQ(reader.Read(c.ratings[i], codes[i]), ClassReader::Status::kClass) << c.ratings[i];
    }
    std::vector<std::uint16_t> classOfCode;
    const ClassSet set = reader.Finish(classOfCode);
    std::vector<int> classes;
    for (const std::uint16_t code : codes) classes.push_back(classOfCode.empty() ? code : classOfCode[code]);
    EXPECT_EQ(classes, c.classes);
    EXPECT_EQ(set.labels, c.labels);
    EXPECT_EQ(set.values, c.values);
    EXPECT_EQ(set.K, c.labels.empty() ? 3 : static_cast<int>(c.labels.size()));
  }
}

TEST(ClassReaderTest, RefusesWhatItCannotRead) {
  using Status = ClassReader::Status;
  struct Case {
    const char* name;
    FileLayout layout;
    bool missing;
    std::string rating;
    Status status;
  };
  const Case cases[] = {
      {"missing", FileLayout{}, true, "NA", Status::kMissing},
      {"empty", FileLayout{}, false, "", Status::kEmpty},
      {"NA without --missing", FileLayout{}, false, "NA", Status::kNotClassNumber},
      {"2.0 in the dialogue", FileLayout{}, false, "2.0", Status::kNotClassNumber},
      {"class 0", FileLayout{}, false, "0", Status::kNotClassNumber},
      {"not in the list", Labels({"a", "b"}), false, "c", Status::kNotListed},
      {"NA as a label", Labels(), false, "NA", Status::kClass},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClassReader reader(c.layout, c.missing);
    std::uint16_t value = 0;
    EXPECT_EQ(reader.Read(c.rating, value), c.status);
  }
  ClassReader reader(Labels(), false);
  std::uint16_t value = 0;
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(reader.Read("label" + std::to_string(i), value), Status::kClass);
  EXPECT_EQ(reader.Read("label1000", value), Status::kTooManyLabels);
  EXPECT_EQ(reader.Read("label999", value), Status::kClass);
}

// Names of every length, long ones sharing their first bytes, keep their
// index of first appearance through the table's growth, found alike with
// and without the steps of a reader that looks ahead (Near). Names that
// differ only in a trailing zero byte, or in their last byte after the
// bytes a slot holds, are different names.
TEST(NameIndexTest, FindsEveryNameByItsIndex) {
  NameIndex index;
  const std::string alike[] = {std::string("a"), std::string("a\0", 2), std::string(20, 'y'),
                               std::string(19, 'y') + std::string(1, '\0'), std::string(21, 'y'),
                               std::string(20, 'y') + "z"};
  for (const std::string& name : alike) ASSERT_TRUE(index.Add(name).second) << name.size();
  auto nameOf = [](int i) { return (i % 3 == 0 ? std::string(24, 'x') : std::string()) + std::to_string(i); };
  const auto first = static_cast<std::uint32_t>(index.size());
  for (int i = 0; i < 50000; ++i) ASSERT_EQ(index.Add(nameOf(i)), std::make_pair(first + i, true));
  for (int i = 49999; i >= 0; --i) {
    ASSERT_EQ(index.Add(nameOf(i)), std::make_pair(first + i, false));
    ASSERT_EQ(index[first + i], nameOf(i));
    const std::uint32_t hash = NameIndex::HashOf(nameOf(i));
    ASSERT_EQ(index.Find(nameOf(i), hash, index.Near(hash)), first + i);
  }
  for (std::uint32_t i = 0; i < first; ++i) EXPECT_EQ(index.Find(alike[i]), i);
  EXPECT_EQ(index.Find(std::string(24, 'x') + "1"), std::nullopt);
  EXPECT_EQ(index.Find(""), std::nullopt);
  const std::uint32_t hash = NameIndex::HashOf("absent");
  EXPECT_EQ(index.Find("absent", hash, index.Near(hash)), std::nullopt);
  EXPECT_EQ(index.size(), first + 50000u);
}

}  // namespace
}  // namespace zover
