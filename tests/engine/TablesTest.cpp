#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "Tables.h"

TEST(NoteFrequency, FixedPointsOfTheScale) {
  EXPECT_DOUBLE_EQ(NoteFrequency(0), 8.176);
  EXPECT_DOUBLE_EQ(NoteFrequency(128 * 69), 440.0);
  EXPECT_NEAR(NoteFrequency(64), 8.419, 1e-12);  // halfway between 8.176 and 8.662
  EXPECT_DOUBLE_EQ(NoteFrequency(17280), 19912.127);
  EXPECT_DOUBLE_EQ(NoteFrequency(-17280), 0.0033570162);
  EXPECT_DOUBLE_EQ(NoteFrequency(-1536), 4.088);
}

TEST(NoteFrequency, ClampsBeyondTheTable) {
  EXPECT_DOUBLE_EQ(NoteFrequency(17281), 19912.127);
  EXPECT_DOUBLE_EQ(NoteFrequency(1000000), 19912.127);
  EXPECT_DOUBLE_EQ(NoteFrequency(-17281), 0.0033570162);
  EXPECT_DOUBLE_EQ(NoteFrequency(-1000000), 0.0033570162);
}

TEST(NoteFrequency, TopOfTheTableKeepsTwoDecimals) {
  EXPECT_DOUBLE_EQ(NoteFrequency(124 * 128), 10548.08);
  EXPECT_DOUBLE_EQ(NoteFrequency(125 * 128), 11175.3);
  EXPECT_DOUBLE_EQ(NoteFrequency(126 * 128), 11839.82);
  EXPECT_DOUBLE_EQ(NoteFrequency(127 * 128), 12543.85);
  EXPECT_DOUBLE_EQ(NoteFrequency(128 * 128), 13289.75);  // three decimals again (13289.750)
  EXPECT_DOUBLE_EQ(NoteFrequency(135 * 128 - 128), 18794.545);
}

TEST(NoteFrequency, RisesMonotonicallyAcrossTheWholeRange) {
  double last = NoteFrequency(-17280);
  for (int p = -17279; p <= 17280; ++p) {
    const double f = NoteFrequency(p);
    ASSERT_GE(f, last) << "at pitch " << p;
    last = f;
  }
}

TEST(PitchForFrequency, FindsTabledFrequencies) {
  EXPECT_EQ(PitchForFrequency(440.0), 128 * 69);
  EXPECT_EQ(PitchForFrequency(NoteFrequency(128 * 60)), 128 * 60);
  EXPECT_EQ(PitchForFrequency(NoteFrequency(5000)), 5000);
}

TEST(PitchForFrequency, StaysInsideTheSearchRange) {
  // The halving steps (4320, 2160, ..., 1) add up to 8636, so the search
  // ends 4 steps inside either end.
  EXPECT_EQ(PitchForFrequency(0.001), 4);
  EXPECT_EQ(PitchForFrequency(8.0), 4);
  EXPECT_EQ(PitchForFrequency(100000.0), 17276);
  // Between two steps it lands on one of the neighbours.
  const double f = 0.5 * (NoteFrequency(7000) + NoteFrequency(7001));
  const int p = PitchForFrequency(f);
  EXPECT_TRUE(p == 7000 || p == 7001) << p;
}

TEST(WaveTables, ShapesAndEnds) {
  const WaveTables& w = GetWaveTables();
  EXPECT_EQ(w.sine[0], 0.0);
  EXPECT_DOUBLE_EQ(w.sine[1024], 1.0);
  EXPECT_DOUBLE_EQ(w.sine[3072], -1.0);
  EXPECT_EQ(w.decay[0], 1.0);
  EXPECT_NEAR(w.decay[4095], 4.55e-5, 0.01e-5);
  EXPECT_EQ(w.pulse[0], 0.0);
  EXPECT_EQ(w.pulse[4095], 0.0);
  EXPECT_LT(w.pulse[2047], 4095.0);
  EXPECT_GT(w.pulse[2047], 4094.99);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(w.pulse[i], w.pulse[4095 - i]);
}

TEST(PhaseIncrementTable, EntriesFollowTheNoteFrequencies) {
  const auto t = PhaseIncrementTableFor(44100.0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->sampleRate, 44100.0);
  // 2^28 / 44100 * 440 = 2678267.59...
  EXPECT_EQ(t->inc[128 * 69], 2678267);
  EXPECT_EQ(t->inc[0], static_cast<int32_t>(268435456.0 / 44100.0 * 8.176));
  EXPECT_EQ(t->maxIncrement, t->inc[17280]);
  EXPECT_EQ(t->maxIncrement, static_cast<int32_t>(268435456.0 / 44100.0 * 19912.127));
}

TEST(PhaseIncrementTable, TablesForTwoRatesCoexist) {
  const auto a = PhaseIncrementTableFor(44100.0);
  const auto b = PhaseIncrementTableFor(96000.0);
  ASSERT_NE(a, b);
  EXPECT_EQ(a->sampleRate, 44100.0);
  EXPECT_EQ(b->sampleRate, 96000.0);
  EXPECT_EQ(a->inc[128 * 69], 2678267);
  EXPECT_EQ(b->inc[128 * 69], 1230329);  // 2^28 / 96000 * 440
  // Asking again returns the same tables, untouched.
  EXPECT_EQ(PhaseIncrementTableFor(44100.0), a);
  EXPECT_EQ(PhaseIncrementTableFor(96000.0), b);
  EXPECT_EQ(a->inc[128 * 69], 2678267);
}

TEST(PhaseIncrementTable, ConcurrentRequestsShareOneTablePerRate) {
  std::shared_ptr<const PhaseIncrementTable> seen[4];
  std::thread threads[4];
  for (int i = 0; i < 4; ++i)
    threads[i] = std::thread([&seen, i] { seen[i] = PhaseIncrementTableFor(i % 2 ? 22050.0 : 88200.0); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(seen[0], seen[2]);
  EXPECT_EQ(seen[1], seen[3]);
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_EQ(seen[1]->inc[128 * 69], static_cast<int32_t>(268435456.0 / 22050.0 * 440.0));
}

TEST(PhaseIncrementTable, LowRatesSaturateInsteadOfOverflowing) {
  const auto t = PhaseIncrementTableFor(1000.0);
  EXPECT_EQ(t->maxIncrement, INT32_MAX);
  for (int i = 1; i <= 17280; ++i) ASSERT_GE(t->inc[i], t->inc[i - 1]);
}

// A process that meets many sample rates keeps a table only for the rates in
// use and a couple of spare ones, not one per rate ever seen (69 KB each).
TEST(PhaseIncrementTable, TheCacheIsBounded) {
  const auto held = PhaseIncrementTableFor(44100.0);
  const int before = CachedPhaseIncrementTables();
  for (int i = 0; i < 50; ++i) PhaseIncrementTableFor(20000.0 + i);
  // A table in use stays, and is the one handed out again; the request sees
  // every other new table unused and keeps two of them.
  EXPECT_EQ(PhaseIncrementTableFor(44100.0), held);
  EXPECT_EQ(held->inc[128 * 69], 2678267);
  EXPECT_LE(CachedPhaseIncrementTables(), before + 2);
}

