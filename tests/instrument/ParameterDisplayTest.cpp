#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "InstrumentFixture.h"

TEST(ParameterSetup, FreshDefaultsDisplayAsTabled) {
  Instrument in;
  in.Defaults();
  EXPECT_EQ(in.Display("Voices"), "1");
  EXPECT_EQ(in.Display("Volume"), "-6.0");
  EXPECT_EQ(in.Display("Vol F1"), "-2.5");
  for (const char* s : {"Send1 F1", "Send2 F1", "Send1 F2", "Send2 F2", "Send1 F3", "Send2 F3"}) {
    EXPECT_EQ(in.Display(s), "1<>2") << s;
  }
  EXPECT_EQ(in.Display("Pan 1"), "Center");
  EXPECT_EQ(in.Display("Pan 2"), "Center");
  EXPECT_EQ(in.Display("LFOFrq 1"), "5.50");
  EXPECT_EQ(in.Display("Freq F1"), "143");
  EXPECT_EQ(in.Display("Freq F2"), "601");
  EXPECT_EQ(in.Display("Freq F3"), "1230");
  EXPECT_EQ(in.Display("Free Run"), "on");
  EXPECT_EQ(in.Display("FM1Src 1"), "LFO1");
  EXPECT_EQ(in.Display("Type F1"), "Partial");
  EXPECT_EQ(in.Display("Env1 Trg"), "Multi");
  EXPECT_EQ(in.Display("Unison LFO Phase"), "0");
  EXPECT_EQ(in.Display("PB Range"), "2");
  EXPECT_EQ(in.Display("Part F1"), "1.00");
}

TEST(ParameterSetup, DefinitionsFollowTheTable) {
  Instrument in;
  std::set<std::string> names;
  for (int i = 0; i < kParamTableSize; ++i) {
    const IPlugParam& p = *in.q->GetParam(i);
    const ParamSpec& s = kParamTable[i];
    SCOPED_TRACE(s.name);
    EXPECT_STREQ(p.name, s.name);
    EXPECT_TRUE(names.insert(p.name).second);
    EXPECT_EQ(p.kind, s.kind);
    EXPECT_EQ(p.min, s.min);
    EXPECT_EQ(p.max, s.max);
    EXPECT_EQ(p.defaultValue, s.defaultValue);
    EXPECT_EQ(p.label[0], '\0');
  }
  EXPECT_STREQ(in.q->GetParam(43)->name, "FM1Sc F2");
  EXPECT_EQ(in.Param("Freq F1").displayPrecision, 3);
  EXPECT_EQ(in.Param("Freq F1").shape, 0.5);
  EXPECT_EQ(in.Param("LFOFrq 2").shape, 4.0);
  EXPECT_EQ(in.Param("Portamnt").shape, 4.0);
  EXPECT_EQ(in.Param("FM1Src 1").ValueTextCount(), 19);
  EXPECT_EQ(in.Param("AMSrc F1").ValueTextCount(), 13);
  EXPECT_EQ(in.Param("AMSrc F1").max, 12);
  EXPECT_STREQ(in.Param("LFOWav 3").ValueText(6), "3-Step");
  EXPECT_STREQ(in.Param("Osc2 F3").ValueText(1), "on");
}

TEST(ParameterSetup, EdgeDisplays) {
  Instrument in;
  in.Defaults();
  in.Set("Volume", 0);
  EXPECT_EQ(in.Display("Volume"), "-oo");
  in.Set("Volume", 1);
  EXPECT_EQ(in.Display("Volume"), "0.0");
  in.Set("Send1 F1", 0);
  EXPECT_EQ(in.Display("Send1 F1"), "100>2");
  in.Set("Send1 F1", 1);
  EXPECT_EQ(in.Display("Send1 F1"), "100>1");
  in.Set("Send1 F1", 0.25);
  EXPECT_EQ(in.Display("Send1 F1"), "50>2");
  in.Set("Pan 1", 0);
  EXPECT_EQ(in.Display("Pan 1"), "1.00 L");
  in.Set("Pan 1", 1);
  EXPECT_EQ(in.Display("Pan 1"), "1.00 R");
  in.Set("FM1Amt 1", -1);
  EXPECT_EQ(in.Display("FM1Amt 1"), "-500");
  in.Set("Bw F1", 0.37);
  EXPECT_EQ(in.Display("Bw F1"), "37");
  in.Set("Freq F1", 0);
  EXPECT_EQ(in.Display("Freq F1"), "8");
  in.Set("Freq F1", 1);
  EXPECT_EQ(in.Display("Freq F1"), "10552");
}

TEST(ParameterSetup, VoicesDisplayFollowsUnison) {
  Instrument in;
  in.Defaults();
  in.Set("Voices", 31);
  EXPECT_EQ(in.Display("Voices"), "64");
  in.Set("Unison", 1);
  EXPECT_EQ(in.Display("Voices"), "Unison: 8 --- Voices: 8");
  in.Set("Voices", 12);
  EXPECT_EQ(in.Display("Voices"), "Unison: 3 --- Voices: 21");
  in.Set("Unison", 0);
  EXPECT_EQ(in.Display("Voices"), "13");
}

TEST(ParameterSetup, LfoRateShowsSyncNamesWhileSynced) {
  Instrument in;
  in.Defaults();
  in.Set("LFOSyn 1", 1);
  in.Set("LFOFrq 1", 0);
  EXPECT_EQ(in.Display("LFOFrq 1"), "8/1");
  in.Set("LFOFrq 1", 100);
  EXPECT_EQ(in.Display("LFOFrq 1"), "1/32");
  EXPECT_EQ(in.Display("LFOFrq 2"), "1.00");  // the other LFOs keep their display
  in.Set("LFOSyn 1", 0);
  EXPECT_EQ(in.Display("LFOFrq 1"), "100.00");
  in.Set("LFOSyn 3", 1);
  in.Set("LFOFrq 3", 100.0 * std::pow(0.6, 4));
  EXPECT_EQ(in.Display("LFOFrq 3"), "1/4");
}

TEST(ParameterSetup, PitchBendRangeRoundsFromNormalized) {
  Instrument in;
  IPlugParam& p = in.Param("PB Range");
  EXPECT_EQ(p.min, -24);
  EXPECT_EQ(p.max, 24);
  EXPECT_EQ(p.defaultValue, 2);
  p.SetFromNormalized(0.51);
  EXPECT_EQ(p.value, 0);
  p.SetFromNormalized(0.53);
  EXPECT_EQ(p.value, 1);  // -24 + 48 * 0.53 = 1.44
}

// Host values arrive normalized in single precision: every parameter must
// come back to the value it was set to when its normalized value is sent back.
TEST(ParameterSetup, NormalizedRoundTripsOfEveryParameter) {
  Instrument in;
  for (int i = 0; i < kParamTableSize; ++i) {
    IPlugParam& p = *in.q->GetParam(i);
    SCOPED_TRACE(p.name);
    for (int k = 0; k <= 40; ++k) {
      const double x = k / 40.0;
      p.SetFromNormalized(x);
      const double v = p.value;
      EXPECT_GE(v, p.min);
      EXPECT_LE(v, p.max);
      const double n = p.ToNormalized();
      if (p.kind == ParamKind::Double) {
        EXPECT_NEAR(n, x, 1e-12);
      }
      p.SetFromNormalized(static_cast<float>(n));
      if (p.kind == ParamKind::Double) {
        EXPECT_NEAR(p.value, v, (p.max - p.min) * 1e-5);
      } else {
        EXPECT_EQ(p.value, v);  // whole steps survive single precision exactly
      }
    }
    EXPECT_EQ(p.ToNormalized(p.min), 0.0);
    EXPECT_EQ(p.ToNormalized(p.max), 1.0);
    EXPECT_EQ(p.ToNormalized(p.max + 100), 1.0);
  }
}

TEST(ParameterSetup, ClampingOfPlainValues) {
  Instrument in;
  IPlugParam& voices = in.Param("Voices");
  voices.SetPlain(40);
  EXPECT_EQ(voices.value, 31);
  voices.SetPlain(-3);
  EXPECT_EQ(voices.value, 0);
  IPlugParam& part = in.Param("Part F2");
  part.SetPlain(0.5);
  EXPECT_EQ(part.value, 1);
  part.SetPlain(std::nan(""));
  EXPECT_EQ(part.value, 1);  // NaN counts as the minimum
  part.SetPlain(INFINITY);
  EXPECT_EQ(part.value, 50);
}
