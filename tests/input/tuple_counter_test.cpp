// The tuple counter, and the tables built from the tuples it counts while a
// file is read, against a count over every tuple and against the object by
// object build (reference_tables.h).

#include "input/tuple_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <stdexcept>

#include "input_fixtures.h"
#include "reference_tables.h"

namespace zover {
namespace {

using testing::Rows;

Rows Counted(TupleCounter& counter, int R) {
  ObservedData tb;
  tb.frec = counter.Finish();
  EXPECT_EQ(tb.frec.raters(), R);
  return testing::Occurring(tb);
}

// Random rows of classes 1 .. K with a weight 0 .. 3 (tagged with their
// number) or one object each, against a count over every tuple of
// indicematrix; a repeated tuple gives the tag of its first row. Each trial
// keys the hash with another seed: the result must not depend on it.
TEST(TupleCounterTest, AgreesWithCountingOverEveryTuple) {
  std::mt19937 random(20211);
  for (int trial = 0; trial < 40; ++trial) {
    const int K = 2 + trial % 3, R = 2 + trial % 4;
    const bool weighted = trial % 2 == 1;
    const std::size_t rows = 1 + random() % 300;
    SCOPED_TRACE(::testing::Message() << "K=" << K << " R=" << R << " rows=" << rows << " weighted=" << weighted);
    Rows data(rows);
    TupleCounter counter(R, random());
    std::vector<std::uint16_t> values(R);
    for (std::size_t j = 0; j < rows; ++j) {
      for (int r = 0; r < R; ++r) data[j].push_back(values[r] = static_cast<std::uint16_t>(1 + random() % K));
      std::size_t first = 0;
      while (!std::equal(data[first].begin(), data[first].begin() + R, data[j].begin())) ++first;
      data[j].push_back(static_cast<int>(random() % 4));
      if (!weighted) {
        counter.AddObject(values.data());
        continue;
      }
      const auto earlier = counter.Add(values.data(), static_cast<std::uint32_t>(data[j][R]), static_cast<std::uint32_t>(j));
      EXPECT_EQ(earlier.has_value(), first < j);
      if (earlier) {
        EXPECT_EQ(*earlier, first);
      }
    }
    Rows expected;
    for (std::vector<int> tuple : testing::RowsOf(testing::indicematrix(K, R))) {
      int count = 0;
      for (const auto& row : data) {
        bool match = true;
        for (int r = 0; r < R; ++r) match = match && row[r] == tuple[r] + 1;
        if (match) count += weighted ? row[R] : 1;
      }
      if (count == 0) continue;
      const bool unanimous = std::count(tuple.begin(), tuple.end(), tuple[0]) == R;
      tuple.insert(tuple.end(), {count, unanimous ? 1 : 0});
      expected.push_back(tuple);
    }
    EXPECT_EQ(Counted(counter, R), expected);
  }
}

// 1000^7 tuples: beyond 64 bits, and beyond what indicematrix lists; the
// class vectors are ordered by their classes alone. The tuples counted
// before class 1000 came were packed keys.
TEST(TupleCounterTest, OrdersTuplesBeyondSixtyFourBits) {
  TupleCounter counter(7);
  const std::uint16_t rows[][7] = {{1, 1, 1, 1, 1, 1, 2}, {1, 1, 1, 1, 1, 1, 1}, {1000, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1}};
  for (const auto& row : rows) counter.AddObject(row);
  EXPECT_EQ(Counted(counter, 7), (Rows{{0, 0, 0, 0, 0, 0, 0, 2, 1}, {0, 0, 0, 0, 0, 0, 1, 1, 0}, {999, 0, 0, 0, 0, 0, 0, 1, 0}}));
  EXPECT_THROW(testing::indicematrix(1000, 7), std::length_error);
  const std::uint16_t one[2] = {1, 2};
  TupleCounter full(2);
  full.Add(one, 4294967294u);
  EXPECT_THROW(full.Add(one), std::overflow_error);
}

// Keys of 32 bits at most, with no tag, are counted in slots of 8 bytes; a
// class that widens the keys beyond 32 bits, or the first tag, moves the
// tuples counted so far into slots of 16 bytes, and a counter that has
// finished starts narrow again. Each phase of a case draws its rows' values
// from 0 (a missing rating) to its largest class (every third row repeats
// the one before); the tags start at a case's `tagged` row.
TEST(TupleCounterTest, KeepsItsTuplesAcrossSlotSizes) {
  struct Case {
    const char* name;
    int R;
    std::vector<std::uint16_t> largest;  // per phase of 200 rows
    std::size_t tagged;
  };
  const Case cases[] = {
      {"narrow throughout, widened within 32 bits", 8, {2, 15}, SIZE_MAX},
      {"narrow, then beyond 32 bits, then class vectors", 10, {3, 9, 300}, SIZE_MAX},
      {"narrow until the first tag", 6, {4, 4}, 250},
      {"16 bytes from the start", 40, {3}, SIZE_MAX},
  };
  std::mt19937 random(8);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TupleCounter counter(c.R, random());
    for (int run = 0; run < 2; ++run) {
      std::map<std::vector<std::uint16_t>, std::pair<std::uint32_t, std::uint32_t>> expected;  // count, first tag
      std::vector<std::uint16_t> values(static_cast<std::size_t>(c.R));
      std::size_t row = 0;
      for (const std::uint16_t largest : c.largest) {
        for (int j = 0; j < 200; ++j, ++row) {
          if (j % 3 != 2) {  // else the previous row again
            for (auto& v : values) v = static_cast<std::uint16_t>(random() % (largest + 1));
          }
          const auto tag = static_cast<std::uint32_t>(row >= c.tagged ? row : 0);
          const auto known = expected.find(values);
          const auto earlier = counter.Add(values.data(), 1, tag);
          ASSERT_EQ(earlier.has_value(), known != expected.end()) << "row " << row;
          if (earlier) {
            EXPECT_EQ(*earlier, known->second.second);
            ++known->second.first;
          } else {
            expected[values] = {1, tag};
          }
        }
      }
      const TupleCounts tuples = counter.Finish();
      ASSERT_EQ(tuples.size(), expected.size());
      std::size_t u = 0;
      std::vector<std::uint16_t> scratch(static_cast<std::size_t>(c.R));
      for (const auto& [tuple, counted] : expected) {
        const std::uint16_t* v = tuples.Values(u, scratch.data());
        EXPECT_TRUE(std::equal(tuple.begin(), tuple.end(), v)) << "tuple " << u;
        EXPECT_EQ(tuples.count(u++), counted.first);
      }
    }
  }
}

// More than 2^20 distinct tuples are sorted in place, bucket by bucket of
// the keys' top bits: one bucket here holds 511000 tuples (sorted whole),
// the others a few hundred each (sorted through a small buffer). Every
// tuple comes twice, in an order far from sorted. Three raters make keys of
// 30 bits, in slots of 8 bytes; a fourth (always class 1), keys of 40 bits
// in slots of 16.
TEST(TupleCounterTest, SortsMillionsOfTuplesInPlace) {
  for (const int R : {3, 4}) {
    SCOPED_TRACE(R);
    TupleCounter counter(R, 7);
    std::uint32_t state = 3;
    std::size_t distinct = 0;
    auto add = [&](std::uint16_t a, std::uint16_t b, std::uint16_t c) {
      const std::uint16_t row[4] = {a, b, c, 1};
      counter.AddObject(row);
      counter.AddObject(row);
      ++distinct;
    };
    for (std::uint16_t b = 1; b <= 511; ++b) {
      for (std::uint16_t c = 1000; c >= 1; --c) add(5, b, c);
    }
    for (int i = 0; i < 700000; ++i) {
      state = state * 1103515245u + 12345u;
      const auto a = static_cast<std::uint16_t>(6 + (state >> 8) % 995);
      add(a, static_cast<std::uint16_t>(1 + (i / 1000) % 1000), static_cast<std::uint16_t>(1 + i % 1000));
    }
    const TupleCounts tuples = counter.Finish();
    ASSERT_EQ(tuples.size(), distinct);
    std::array<std::uint16_t, 3> previous{};
    std::uint16_t scratch[4];
    for (std::size_t u = 0; u < tuples.size(); ++u) {
      const std::uint16_t* v = tuples.Values(u, scratch);
      const std::array<std::uint16_t, 3> tuple{v[0], v[1], v[2]};
      ASSERT_TRUE(u == 0 || previous < tuple) << "tuple " << u;
      ASSERT_EQ(tuples.count(u), 2u) << "tuple " << u;
      previous = tuple;
    }
    EXPECT_GT(distinct, std::size_t{1} << 20);
  }
}

// Random files of every kind of tuple (packed, widened as larger classes
// come, class vectors) read by both file readers: the same tuples, class
// counts, agreements and datafleiss as the object by object build.
TEST(StreamingBuildTest, EqualsTheObjectByObjectBuild) {
  struct Shape {
    int K, R, n;
  };
  const Shape shapes[] = {{3, 4, 200}, {5, 10, 400}, {1000, 3, 300}, {7, 21, 100}, {5, 30, 100}, {1000, 7, 50}, {2, 32, 80}, {3, 65, 40}};
  std::mt19937 random(16);
  for (const Shape& s : shapes) {
    SCOPED_TRACE(::testing::Message() << "K=" << s.K << " R=" << s.R << " n=" << s.n);
    std::string raw;
    for (int j = 0; j < s.n; ++j) {
      const int truth = 1 + static_cast<int>(random() % s.K);
      for (int r = 0; r < s.R; ++r) {
        const int c = j == s.n / 2 && r == 0 ? s.K : random() % 2 ? truth : 1 + static_cast<int>(random() % s.K);
        raw += std::to_string(c) + (r + 1 < s.R ? (j % 7 == 3 ? " ; " : " ") : j % 5 == 1 ? "\r\n" : "\n");
      }
    }
    const testing::ReferenceTables ref = testing::ReferenceBuild(testing::ReferenceObjects(raw), s.K);
    std::string freq;
    Rows shuffled = ref.tuples;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (const auto& tuple : shuffled) {
      for (int r = 0; r < s.R; ++r) freq += std::to_string(tuple[r] + 1) + " ";
      freq += std::to_string(tuple[s.R]) + "\n";
    }
    for (const int mode : {1, 2}) {
      SCOPED_TRACE(mode == 1 ? "raw file" : "frequencies file");
      ObservedData tb = testing::ReadFile(mode, mode == 1 ? raw : freq);
      (mode == 1 ? TablaInicial : TablaInicialExtra)(tb);
      (mode == 1 ? TablaFleiss : TablaFleissExtra)(tb);
      EXPECT_EQ(testing::Occurring(tb), ref.tuples);
      EXPECT_EQ(testing::RowsOf(tb.clases, s.K, s.R), ref.clases);
      EXPECT_EQ(std::vector<int>(tb.ac.begin(), tb.ac.begin() + s.K), ref.ac);
      EXPECT_EQ(testing::RowsOf(tb.datafleiss, s.K, s.R), ref.datafleiss);
    }
  }
}

}  // namespace
}  // namespace zover
