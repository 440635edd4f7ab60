#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "Random.h"

namespace {
// The generator's sequence, computed independently.
std::vector<double> Expected(int count) {
  std::vector<double> v;
  uint32_t x = 1;
  for (int i = 0; i < count; ++i) {
    x = static_cast<uint32_t>(static_cast<uint64_t>(x) * 16807u % 4294967296u);
    v.push_back(static_cast<int32_t>(x) * 4.6566129e-10);
  }
  return v;
}
}  // namespace

TEST(RandomGenerators, FollowTheMultiplicativeSequence) {
  ResetRandomGenerators();
  EXPECT_DOUBLE_EQ(DrawSampleHold(), 16807 * 4.6566129e-10);
  EXPECT_DOUBLE_EQ(DrawSampleHold(), 282475249 * 4.6566129e-10);
  // 282475249 * 16807 mod 2^32 = 1622647863
  EXPECT_DOUBLE_EQ(DrawSampleHold(), 1622647863 * 4.6566129e-10);
  // The next state exceeds 2^31 and reads as negative.
  const double fourth = DrawSampleHold();
  EXPECT_LT(fourth, 0.0);
  EXPECT_DOUBLE_EQ(fourth, Expected(4)[3]);
}

TEST(RandomGenerators, TheThreeGeneratorsAreIndependent) {
  ResetRandomGenerators();
  const std::vector<double> e = Expected(3);
  EXPECT_EQ(DrawLfoRandom(), e[0]);
  EXPECT_EQ(DrawLfoRandom(), e[1]);
  EXPECT_EQ(DrawNoteRandom(), e[0]);
  EXPECT_EQ(DrawSampleHold(), e[0]);
  EXPECT_EQ(DrawLfoRandom(), e[2]);
  EXPECT_EQ(DrawNoteRandom(), e[1]);
}

TEST(RandomGenerators, ValuesStayWithinPlusMinusOne) {
  ResetRandomGenerators();
  for (int i = 0; i < 100000; ++i) {
    const double v = DrawNoteRandom();
    ASSERT_GE(v, -1.0);
    ASSERT_LE(v, 1.0);
  }
}

TEST(RandomGenerators, TwoThreadsDrawingLoseAndRepeatNothing) {
  constexpr int kPerThread = 200000;
  ResetRandomGenerators();
  std::vector<double> a, b;
  a.reserve(kPerThread);
  b.reserve(kPerThread);
  std::thread ta([&a] {
    for (int i = 0; i < kPerThread; ++i) a.push_back(DrawSampleHold());
  });
  std::thread tb([&b] {
    for (int i = 0; i < kPerThread; ++i) b.push_back(DrawSampleHold());
  });
  ta.join();
  tb.join();
  // Together the two threads drew exactly the first 2N values of the one
  // sequence: none twice, none skipped.
  std::vector<double> all(a);
  all.insert(all.end(), b.begin(), b.end());
  std::vector<double> expected = Expected(2 * kPerThread);
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_TRUE(all == expected);
  // And each thread saw its draws in sequence order.
  const std::vector<double> seq = Expected(2 * kPerThread);
  auto inOrder = [&seq](const std::vector<double>& v) {
    size_t pos = 0;
    for (double x : v) {
      while (pos < seq.size() && seq[pos] != x) ++pos;
      if (pos == seq.size()) return false;
      ++pos;
    }
    return true;
  };
  EXPECT_TRUE(inOrder(a));
  EXPECT_TRUE(inOrder(b));
}
