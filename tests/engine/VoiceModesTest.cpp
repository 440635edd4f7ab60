#include <gtest/gtest.h>

#include "VoiceModes.h"

TEST(VoiceModes, PolyCountsWithoutUnison) {
  EXPECT_EQ(VoiceModes::PolyCount(0, false), 1);
  EXPECT_EQ(VoiceModes::PolyCount(15, false), 16);
  EXPECT_EQ(VoiceModes::PolyCount(16, false), 18);
  EXPECT_EQ(VoiceModes::PolyCount(23, false), 32);
  EXPECT_EQ(VoiceModes::PolyCount(24, false), 36);
  EXPECT_EQ(VoiceModes::PolyCount(31, false), 64);
  for (int k = 0; k < VoiceModes::kModeCount; ++k) EXPECT_EQ(VoiceModes::UnisonCount(k, false), 1);
}

TEST(VoiceModes, UnisonModes) {
  struct Row { int k, u, p; };
  const Row rows[] = {{0, 2, 1},  {6, 2, 32}, {7, 3, 1},  {12, 3, 21}, {13, 4, 1}, {17, 4, 16},
                      {18, 5, 1}, {22, 5, 12}, {23, 6, 1}, {27, 6, 10}, {28, 8, 1}, {31, 8, 8}};
  for (const Row& r : rows) {
    EXPECT_EQ(VoiceModes::UnisonCount(r.k, true), r.u) << r.k;
    EXPECT_EQ(VoiceModes::PolyCount(r.k, true), r.p) << r.k;
  }
}

TEST(VoiceModes, NeverMoreThan64VoicesAndPolyGrowsWithinAUnisonCount) {
  for (int unison = 0; unison < 2; ++unison) {
    for (int k = 0; k < VoiceModes::kModeCount; ++k) {
      const int p = VoiceModes::PolyCount(k, unison);
      const int u = VoiceModes::UnisonCount(k, unison);
      EXPECT_GE(p, 1);
      EXPECT_LE(p * u, 64) << k;
      if (k > 0 && VoiceModes::UnisonCount(k - 1, unison) == u)
        EXPECT_GT(p, VoiceModes::PolyCount(k - 1, unison)) << k;
    }
  }
}

TEST(VoiceModes, OutOfRangeModesAreClamped) {
  EXPECT_EQ(VoiceModes::PolyCount(-1, false), 1);
  EXPECT_EQ(VoiceModes::PolyCount(32, false), 64);
  EXPECT_EQ(VoiceModes::UnisonCount(99, true), 8);
}

TEST(VoiceModes, UnisonDetuneIsSymmetricAndRising) {
  EXPECT_EQ(VoiceModes::UnisonDetune(1)[0], 0);
  EXPECT_EQ(VoiceModes::UnisonDetune(2)[0], -8);
  EXPECT_EQ(VoiceModes::UnisonDetune(2)[1], 8);
  EXPECT_EQ(VoiceModes::UnisonDetune(6)[2], -3);
  EXPECT_EQ(VoiceModes::UnisonDetune(8)[0], -12);
  EXPECT_EQ(VoiceModes::UnisonDetune(8)[3], -2);
  for (int u = 1; u <= 8; ++u) {
    const int* d = VoiceModes::UnisonDetune(u);
    for (int i = 0; i < u; ++i) {
      EXPECT_EQ(d[i], -d[u - 1 - i]) << u;
      if (i > 0) EXPECT_GT(d[i], d[i - 1]) << u;
    }
  }
}
