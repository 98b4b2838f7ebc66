#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "analysis/analysis.h"
#include "input/input.h"
#include "output/batch_output.h"

namespace zover {
namespace {

// Large enough data for the analysis to take more threads: the results are
// the same bit for bit with any number, the weighted forms, the alphas'
// bootstraps and the objects included.
TEST(ThreadsTest, AnalysisIsTheSameOnAnyThreads) {
  std::mt19937 rng(20261210u);
  std::uniform_int_distribution<int> anyClass(1, 5);
  std::bernoulli_distribution missing(0.1);
  std::string file;
  for (int o = 0; o < 20000; ++o) {
    for (int r = 0; r < 8; ++r) file += (r > 0 ? "," : "") + (missing(rng) ? std::string("NA") : std::to_string(anyClass(rng)));
    file += '\n';
  }
  ReadOptions reading;
  reading.missing = reading.objects = true;
  StringSource source(file);
  const Dataset data = ReadData(source, "t", reading);
  ASSERT_TRUE(data.ok()) << data.error;
  Request request;
  request.weights = WeightScheme::kLinear;
  request.levels = {AlphaLevel::kNominal, AlphaLevel::kOrdinal};
  request.samples = 20;
  std::string one;
  for (const int threads : {1, 2, 3, 8}) {
    SCOPED_TRACE(threads);
    request.threads = threads;
    std::ostringstream json;
    PrintJson(Analyse(data, request), json);
    if (threads == 1) one = json.str();
    EXPECT_EQ(json.str(), one);
  }
  EXPECT_NE(one.find("\"conger"), std::string::npos);
}

// Enough distinct tuples, with and without missing ratings, for the reader
// to sort them, find their patterns and build the class tables on two
// threads: the same data as on one, with numbers and with labels.
TEST(ThreadsTest, ReadingIsTheSameOnAnyThreads) {
  const char* const labels[] = {"a", "b", "c", "d", "e"};
  for (const bool labelled : {false, true}) {
    SCOPED_TRACE(labelled);
    std::mt19937 rng(20261211u);
    std::uniform_int_distribution<int> anyClass(0, 4);
    std::bernoulli_distribution missing(0.1);
    std::string file;
    for (int o = 0; o < 300000; ++o) {
      for (int r = 0; r < 9; ++r) {
        const int k = anyClass(rng);
        file += (r > 0 ? "," : "") + (missing(rng) ? std::string("NA") : labelled ? labels[k] : std::to_string(k + 1));
      }
      file += '\n';
    }
    ReadOptions reading;
    reading.missing = true;
    reading.labels = labelled;
    std::string one;
    for (const int threads : {1, 2}) {
      reading.threads = threads;
      StringSource source(file);
      const Dataset data = ReadData(source, "t", reading);
      ASSERT_TRUE(data.ok()) << data.error;
      ASSERT_GT(data.data.frec.size(), 65536u);
      ASSERT_GT(data.data.incompleteTuples.size(), 65536u);
      std::ostringstream json;
      PrintJson(Analyse(data, Request{}), json);
      if (threads == 1) one = json.str();
      EXPECT_EQ(json.str(), one);
    }
  }
}

}  // namespace
}  // namespace zover
