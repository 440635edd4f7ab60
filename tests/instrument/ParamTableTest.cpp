#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "ParamTable.h"

TEST(ParamTable, NamesAreUniqueAndShort) {
  std::set<std::string> names;
  for (const ParamSpec& p : kParamTable) {
    EXPECT_LT(std::strlen(p.name), 32u);
    EXPECT_TRUE(names.insert(p.name).second) << p.name;
  }
  EXPECT_STREQ(kParamTable[43].name, "FM1Sc F2");
  EXPECT_EQ(FindParamIndex("FM1Sc F2"), 43);
  EXPECT_EQ(FindParamIndex("Unison LFO Phase"), 115);
  EXPECT_EQ(FindParamIndex("fm1sc f2"), -1);
  EXPECT_EQ(FindParamIndex(nullptr), -1);
}

TEST(ParamTable, RowsAreConsistent) {
  for (const ParamSpec& p : kParamTable) {
    SCOPED_TRACE(p.name);
    EXPECT_GE(p.defaultValue, p.min);
    EXPECT_LE(p.defaultValue, p.max);
    EXPECT_GE(p.max, p.min + p.step);
    EXPECT_GT(p.shape, 0.0);
    if (p.kind == ParamKind::Enum) {
      ASSERT_NE(p.texts, nullptr);
      EXPECT_EQ(p.min, 0.0);
      EXPECT_EQ(p.max, p.textCount - 1.0);
    } else {
      EXPECT_EQ(p.texts, nullptr);
    }
    if (p.kind != ParamKind::Double) {
      EXPECT_EQ(p.step, 1.0);
      EXPECT_EQ(p.defaultValue, std::floor(p.defaultValue));
    }
  }
}

TEST(ParamTable, SourceSelectorsOfferTheirSources) {
  // Selectors whose name ends in "Src" or "Sc": AM and LFO depth inputs offer
  // the 13 unipolar sources, the others all 19.
  int selectors = 0;
  for (const ParamSpec& p : kParamTable) {
    const std::string n = p.name;
    if (n.find("Src ") == std::string::npos && n.find("Sc ") == std::string::npos) continue;
    ++selectors;
    const bool unipolar = n.rfind("AM", 0) == 0 || n.rfind("LFOSrc", 0) == 0;
    EXPECT_EQ(p.textCount, unipolar ? 13 : 19) << n;
    EXPECT_STREQ(p.texts[12], "Wheel");
  }
  EXPECT_EQ(selectors, 22);
}

TEST(ParamTable, ClampAndNearestZero) {
  const ParamSpec& voices = kParamTable[0];
  const ParamSpec& partial = kParamTable[FindParamIndex("Part F1")];
  const ParamSpec& pitch = kParamTable[FindParamIndex("Pitch 1")];
  EXPECT_EQ(ClampToRange(voices, 40), 31);
  EXPECT_EQ(ClampToRange(voices, -1), 0);
  EXPECT_EQ(ClampToRange(voices, 7.5), 7.5);  // no step rounding
  EXPECT_EQ(ClampToRange(pitch, std::numeric_limits<double>::quiet_NaN()), -24);
  EXPECT_EQ(ClampToRange(pitch, std::numeric_limits<double>::infinity()), 24);
  EXPECT_EQ(ClampToRange(pitch, -std::numeric_limits<double>::infinity()), -24);
  EXPECT_EQ(NearestZero(partial), 1.0);
  EXPECT_EQ(NearestZero(pitch), 0.0);
  EXPECT_EQ(NearestZero(kParamTable[111]), 0.0);
}

TEST(ParamTable, TruncClamped) {
  EXPECT_EQ(TruncClamped(2.9, 0, 10), 2);
  EXPECT_EQ(TruncClamped(-2.9, -10, 10), -2);
  EXPECT_EQ(TruncClamped(std::numeric_limits<double>::quiet_NaN(), -5, 5), 0);
  EXPECT_EQ(TruncClamped(1e300, 0, 31), 31);
  EXPECT_EQ(TruncClamped(-1e300, 0, 31), 0);
}

// The indices the code names must stay on the parameters they name.
TEST(ParamTable, NamedIndicesPointAtTheirParameters) {
  EXPECT_EQ(ParamIndex::kVoices, FindParamIndex("Voices"));
  EXPECT_EQ(ParamIndex::kVolume, FindParamIndex("Volume"));
  EXPECT_EQ(ParamIndex::kUnison, FindParamIndex("Unison"));
  EXPECT_EQ(ParamIndex::kUnisonLfoPhase, FindParamIndex("Unison LFO Phase"));
  EXPECT_EQ(ParamIndex::kEnvDelay2, FindParamIndex("Env 2 Dly"));
  EXPECT_EQ(ParamIndex::kEnvDelay3, FindParamIndex("Env 3 Dly"));
  for (int n = 0; n < 3; ++n) {
    const std::string k = std::to_string(n + 1);
    EXPECT_EQ(ParamIndex::kLfoSync1 + n * ParamIndex::kLfoStride, FindParamIndex(("LFOSyn " + k).c_str()));
    EXPECT_EQ(ParamIndex::kLfoRate1 + n * ParamIndex::kLfoStride, FindParamIndex(("LFOFrq " + k).c_str()));
  }
}
