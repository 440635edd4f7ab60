#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "StateImage.h"

namespace {

// A set of in-range values that differ from the defaults wherever possible.
void SampleValues(double* v) {
  for (int i = 0; i < kParamTableSize; ++i) {
    const ParamSpec& p = kParamTable[i];
    const double span = p.max - p.min;
    v[i] = p.kind == ParamKind::Double ? p.min + span * (0.1 + 0.8 * ((i * 37) % 100) / 100.0)
                                       : p.min + std::floor(span * 0.7);
  }
}

void Defaults(double* v) {
  for (int i = 0; i < kParamTableSize; ++i) v[i] = kParamTable[i].defaultValue;
}

void PutValues(ChunkBuffer* c, const double* v, int first, int count) {
  for (int i = first; i < first + count; ++i) c->Put(v[i]);
}

bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

}  // namespace

TEST(StateImage, CurrentLayoutRoundTripsBitForBit) {
  double written[kParamTableSize];
  SampleValues(written);
  written[2] = 0.1 + 0.2;  // not a short decimal
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 5, "Pad: Outer Sphere", written, kParamTableSize);
  EXPECT_EQ(c.Size(), 948 + 17);
  EXPECT_EQ(0, std::memcmp(c.Bytes(), "Quarvi_2.0.2", 12));

  double read[kParamTableSize];
  Defaults(read);
  EXPECT_EQ(ReadStateImage(c, 0, read), 965);
  for (int i = 0; i < kParamTableSize; ++i) EXPECT_TRUE(Same(read[i], written[i])) << i;
}

TEST(StateImage, ReadsFromAStartPositionInsideALargerBuffer) {
  double written[kParamTableSize];
  SampleValues(written);
  ChunkBuffer c;
  c.PutBytes("prefix", 6);
  WriteStateImage(&c, kStateTag, 0, "", written, kParamTableSize);
  c.PutBytes("more", 4);
  double read[kParamTableSize];
  Defaults(read);
  EXPECT_EQ(ReadStateImage(c, 6, read), 6 + 948);
  EXPECT_TRUE(Same(read[115], written[115]));
}

TEST(StateImage, Layout201LeavesTheLastParameter) {
  double written[kParamTableSize];
  SampleValues(written);
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag201, 0, "Pad: Outer Sphere", written, kValuesLayout201);
  ASSERT_EQ(c.Size(), 957);
  double read[kParamTableSize];
  Defaults(read);
  read[115] = 123.0;
  EXPECT_EQ(ReadStateImage(c, 0, read), 957);
  EXPECT_EQ(read[115], 123.0);
  for (int i = 0; i < kValuesLayout201; ++i) EXPECT_TRUE(Same(read[i], written[i])) << i;
}

TEST(StateImage, Layout1SetsTheLaterParametersNearZero) {
  double written[kParamTableSize];
  SampleValues(written);
  ChunkBuffer c;
  PutValues(&c, written, 0, 111);
  ASSERT_EQ(c.Size(), 888);
  double read[kParamTableSize];
  SampleValues(read);
  for (int i = 111; i < kParamTableSize; ++i) read[i] = kParamTable[i].max;
  EXPECT_EQ(ReadStateImage(c, 0, read), 888);
  for (int i = 111; i < kParamTableSize; ++i) EXPECT_EQ(read[i], 0.0) << i;  // Off, Multi x3, 0
  for (int i = 0; i < 111; ++i) EXPECT_TRUE(Same(read[i], written[i])) << i;
}

TEST(StateImage, Layout2CarriesAllParameters) {
  double written[kParamTableSize];
  SampleValues(written);
  ChunkBuffer c;
  PutValues(&c, written, 0, 111);
  c.PutBytes("Quarvi_2", 8);
  PutValues(&c, written, 111, 5);
  ASSERT_EQ(c.Size(), 936);
  double read[kParamTableSize];
  Defaults(read);
  EXPECT_EQ(ReadStateImage(c, 0, read), 936);
  for (int i = 0; i < kParamTableSize; ++i) EXPECT_TRUE(Same(read[i], written[i])) << i;
}

TEST(StateImage, ValuesAreClampedNotRounded) {
  double v[kParamTableSize];
  Defaults(v);
  v[0] = 40;       // "Voices"
  v[3] = -100;     // "PB Range"
  v[6] = 3.25;     // "Pitch 1": a fraction stays
  v[21] = 0.0;     // "Part F1" below its minimum of 1
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 0, "x", v, kParamTableSize);
  double read[kParamTableSize];
  Defaults(read);
  ReadStateImage(c, 0, read);
  EXPECT_EQ(read[0], 31);
  EXPECT_EQ(read[3], -24);
  EXPECT_EQ(read[6], 3.25);
  EXPECT_EQ(read[21], 1.0);
}

// A NaN is taken as the parameter's minimum (as the parameter objects do for
// a NaN from the host); infinities clamp like any large number.
TEST(StateImage, NonFiniteValuesClamp) {
  double v[kParamTableSize];
  Defaults(v);
  v[3] = std::numeric_limits<double>::quiet_NaN();
  v[4] = std::numeric_limits<double>::infinity();
  v[7] = -std::numeric_limits<double>::infinity();
  v[21] = -std::numeric_limits<double>::quiet_NaN();
  v[115] = std::numeric_limits<double>::signaling_NaN();
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 0, "", v, kParamTableSize);
  double read[kParamTableSize];
  Defaults(read);
  EXPECT_EQ(ReadStateImage(c, 0, read), c.Size());
  EXPECT_EQ(read[3], -24);
  EXPECT_EQ(read[4], 1);
  EXPECT_EQ(read[7], -64);
  EXPECT_EQ(read[21], 1);
  EXPECT_EQ(read[115], 0);
  for (double x : read) EXPECT_TRUE(std::isfinite(x));
}

TEST(StateImage, UnknownTagReadsAsLayout1) {
  double v[kParamTableSize];
  SampleValues(v);
  ChunkBuffer c;
  WriteStateImage(&c, "Quarvi_2.0.3", 0, "Name", v, kParamTableSize);
  double read[kParamTableSize];
  Defaults(read);
  read[111] = 1;
  // 111 doubles from the tag bytes on; no marker after them.
  EXPECT_EQ(ReadStateImage(c, 0, read), 888);
  double first;
  std::memcpy(&first, c.Bytes(), 8);
  EXPECT_TRUE(Same(read[0], ClampToRange(kParamTable[0], first)));
  EXPECT_EQ(read[111], 0.0);
}

TEST(StateImage, BrokenNameLengthChangesNothing) {
  double v[kParamTableSize];
  SampleValues(v);
  for (int32_t length : {-1, -16, -2147483647 - 1, 2147483647, 100000}) {
    ChunkBuffer c;
    c.PutBytes(kStateTag, 12);
    c.Put(int32_t(0));
    c.Put(length);
    PutValues(&c, v, 0, kParamTableSize);
    double read[kParamTableSize];
    Defaults(read);
    EXPECT_EQ(ReadStateImage(c, 0, read), -1) << length;
    for (int i = 0; i < kParamTableSize; ++i) EXPECT_EQ(read[i], kParamTable[i].defaultValue);
  }
}

TEST(StateImage, LongStoredNameIsSkipped) {
  double v[kParamTableSize];
  SampleValues(v);
  const std::string name(4000, 'n');
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 63, name, v, kParamTableSize);
  double read[kParamTableSize];
  Defaults(read);
  EXPECT_EQ(ReadStateImage(c, 0, read), 948 + 4000);
  EXPECT_TRUE(Same(read[115], v[115]));
}

TEST(StateImage, TagTest) {
  ChunkBuffer c;
  c.PutBytes("Quarvi_2.0.", 11);
  EXPECT_FALSE(MatchTag(c, 0, kStateTag, 12));  // would reach past the end
  c.PutBytes("2", 1);
  EXPECT_TRUE(MatchTag(c, 0, kStateTag, 12));
  EXPECT_FALSE(MatchTag(c, -1, kStateTag, 12));
  EXPECT_TRUE(MatchTag(c, 0, kLayout2Marker, 8));
  EXPECT_FALSE(MatchTag(c, 1, kLayout2Marker, 8));
}

// Every prefix of a valid image: the reader never reads beyond it, reports
// -1, and changes exactly what the failure rules say.
TEST(StateImage, EveryTruncationOfATaggedImage) {
  double v[kParamTableSize];
  SampleValues(v);
  ChunkBuffer full;
  WriteStateImage(&full, kStateTag, 3, "Poly: Bell Piano", v, kParamTableSize);
  const int header = 20 + 16;
  for (int n = 0; n < full.Size(); ++n) {
    ChunkBuffer c;
    c.PutBytes(full.Bytes(), n);
    double read[kParamTableSize];
    Defaults(read);
    const int end = ReadStateImage(c, 0, read);
    ASSERT_EQ(end, -1) << n;
    if (n < 12) {
      // Not even a tag: read as layout 1, which ends inside its first or
      // second value.
      EXPECT_EQ(read[n < 8 ? 0 : 1], 0.0);
      continue;
    }
    const int complete = n < header ? 0 : (n - header) / 8;
    for (int i = 0; i < kParamTableSize; ++i) {
      if (n < header || i > complete) {
        EXPECT_EQ(read[i], kParamTable[i].defaultValue) << n << " " << i;
      } else if (i == complete) {
        EXPECT_EQ(read[i], NearestZero(kParamTable[i])) << n << " " << i;
      } else {
        EXPECT_TRUE(Same(read[i], v[i])) << n << " " << i;
      }
    }
  }
}

TEST(StateImage, EveryTruncationOfAnUntaggedImage) {
  double v[kParamTableSize];
  SampleValues(v);
  ChunkBuffer full;
  PutValues(&full, v, 0, 111);
  full.PutBytes("Quarvi_2", 8);
  PutValues(&full, v, 111, 5);
  for (int n = 0; n < full.Size(); ++n) {
    ChunkBuffer c;
    c.PutBytes(full.Bytes(), n);
    double read[kParamTableSize];
    SampleValues(read);
    for (int i = 0; i < kParamTableSize; ++i) read[i] = kParamTable[i].max;
    const int end = ReadStateImage(c, 0, read);
    if (n >= 888 && n < 896) {
      EXPECT_EQ(end, 888);  // a complete layout-1 image followed by part of a marker
    } else {
      EXPECT_EQ(end, -1) << n;
    }
    if (n < 888) {
      const int complete = n / 8;
      EXPECT_EQ(read[complete], NearestZero(kParamTable[complete])) << n;
      if (complete + 1 < 111) EXPECT_EQ(read[complete + 1], kParamTable[complete + 1].max) << n;
      for (int i = 111; i < kParamTableSize; ++i) EXPECT_EQ(read[i], 0.0) << n;
    } else if (n < 896) {
      for (int i = 111; i < kParamTableSize; ++i) EXPECT_EQ(read[i], 0.0) << n;
    } else {
      const int complete = 111 + (n - 896) / 8;
      EXPECT_EQ(read[complete], NearestZero(kParamTable[complete])) << n;
      for (int i = 111; i < complete; ++i) EXPECT_TRUE(Same(read[i], v[i])) << n;
    }
  }
}
