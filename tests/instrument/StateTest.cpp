#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "FactoryNames.h"
#include "InstrumentFixture.h"
#include "StateImage.h"
#include "platform/Resources.h"
#include "vst2.h"

namespace {

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The values of a current-layout image, without the header that names the
// program current when it was written.
std::vector<uint8_t> ImageValues(const ChunkBuffer& c) {
  if (c.Size() < 928) return {};
  return std::vector<uint8_t>(c.Bytes() + c.Size() - 928, c.Bytes() + c.Size());
}

ChunkBuffer Serialize(Quarvi& q) {
  ChunkBuffer c;
  q.SerializeState(&c);
  return c;
}

}  // namespace

TEST(State, FreshInstanceWritesTheCurrentLayout) {
  Instrument in;
  ChunkBuffer c = Serialize(*in.q);
  ASSERT_EQ(c.Size(), 965);  // 948 + "Pad: Outer Sphere"
  EXPECT_EQ(0, std::memcmp(c.Bytes(), "Quarvi_2.0.2\0\0\0\0\x11\0\0\0Pad: Outer Sphere", 37));
  const std::vector<double> before = in.Values();

  in.Defaults();
  EXPECT_EQ(in.q->UnserializeState(c, 0), 965);
  EXPECT_TRUE(SameBits(in.Values(), before));
}

TEST(State, SizeFollowsTheProgramName) {
  Instrument in;
  for (int p : {5, 63}) {
    in.q->LoadProgramSlot(p);
    EXPECT_EQ(Serialize(*in.q).Size(), 948 + int(std::strlen(kFactoryProgramNames[p])));
  }
}

TEST(State, ReadingPushesEveryParameterIntoTheEngine) {
  Instrument in;
  in.Defaults();
  Instrument other;
  other.Defaults();
  other.Set("Unison", 1);
  other.Set("LFOSyn 2", 1);
  other.Set("Volume", 0.25);
  other.Set("Tune 2", 33);
  other.Set("Voices", 12);
  ChunkBuffer c = Serialize(*other.q);

  ASSERT_EQ(in.q->UnserializeState(c, 0), c.Size());
  EXPECT_EQ(in.q->Pool().voiceMode, 12);
  EXPECT_TRUE(in.q->Pool().unisonOn);
  EXPECT_DOUBLE_EQ(in.q->OutputGain(), 0.5 / std::sqrt(3.0));
  EXPECT_EQ(in.V(63).osc[1].tuneSteps, 33);
  EXPECT_EQ(in.Display("Voices"), "Unison: 3 --- Voices: 21");
  EXPECT_EQ(in.Display("LFOFrq 2"), "1/1");  // 1 Hz: knob at 0.316, index 6
}

TEST(State, Layout201ReadsAndKeepsTheLastParameter) {
  Instrument in;
  in.Defaults();
  in.Set("Unison LFO Phase", 90);
  std::vector<double> v(kParamTableSize);
  for (int i = 0; i < kParamTableSize; ++i) v[i] = kParamTable[i].defaultValue;
  v[Instrument::Index("Vol F2")] = 0.2;
  v[Instrument::Index("Unison")] = 1;
  ChunkBuffer c;
  c.PutBytes("junk", 4);
  WriteStateImage(&c, kStateTag201, 0, "Pad: Outer Sphere", v.data(), 115);
  ASSERT_EQ(c.Size(), 4 + 957);
  EXPECT_EQ(in.q->UnserializeState(c, 4), 4 + 957);
  EXPECT_EQ(in.Param("Vol F2").value, 0.2);
  EXPECT_EQ(in.Param("Unison LFO Phase").value, 90);
  EXPECT_TRUE(in.q->Pool().unisonOn);
}

TEST(State, OlderUntaggedLayouts) {
  Instrument in;
  in.Defaults();
  in.Set("Unison", 1);
  in.Set("Env3 Trg", 1);
  in.Set("Unison LFO Phase", 45);
  std::vector<double> v(kParamTableSize);
  for (int i = 0; i < kParamTableSize; ++i) v[i] = kParamTable[i].max;

  ChunkBuffer one;
  for (int i = 0; i < 111; ++i) one.Put(v[i]);
  ASSERT_EQ(one.Size(), 888);
  EXPECT_EQ(in.q->UnserializeState(one, 0), 888);
  EXPECT_EQ(in.Display("Unison"), "Off");
  EXPECT_EQ(in.Display("Env1 Trg"), "Multi");
  EXPECT_EQ(in.Display("Env2 Trg"), "Multi");
  EXPECT_EQ(in.Display("Env3 Trg"), "Multi");
  EXPECT_EQ(in.Param("Unison LFO Phase").value, 0);
  EXPECT_EQ(in.Param("Env 3 R").value, 1);
  EXPECT_FALSE(in.q->Pool().unisonOn);

  ChunkBuffer two = one;
  two.PutBytes("Quarvi_2", 8);
  for (int i = 111; i < 116; ++i) two.Put(v[i]);
  ASSERT_EQ(two.Size(), 936);
  EXPECT_EQ(in.q->UnserializeState(two, 0), 936);
  EXPECT_TRUE(SameBits(in.Values(), v));
  EXPECT_TRUE(in.q->Pool().unisonOn);
}

TEST(State, StoredValuesAreClamped) {
  Instrument in;
  in.Defaults();
  std::vector<double> v = in.Values();
  v[0] = 40;
  v[Instrument::Index("Part F1")] = 99;
  v[Instrument::Index("Pitch 2")] = -25;
  v[Instrument::Index("Tune 1")] = 3.5;  // a fraction is kept
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 0, "", v.data(), kParamTableSize);
  in.q->UnserializeState(c, 0);
  EXPECT_EQ(in.Param("Voices").value, 31);
  EXPECT_EQ(in.q->Pool().voiceMode, 31);
  EXPECT_EQ(in.Param("Part F1").value, 50);
  EXPECT_EQ(in.Param("Pitch 2").value, -24);
  EXPECT_EQ(in.Param("Tune 1").value, 3.5);
  EXPECT_EQ(in.V(0).osc[0].tuneSteps, 3);
}

// A NaN takes the parameter's minimum, as in the parameter objects;
// infinities are clamped like other out-of-range numbers.
TEST(State, NonFiniteValues) {
  Instrument in;
  in.Defaults();
  std::vector<double> v = in.Values();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  v[0] = nan;
  v[Instrument::Index("Volume")] = inf;
  v[Instrument::Index("Part F3")] = nan;
  v[Instrument::Index("Pitch 1")] = -inf;
  v[Instrument::Index("LFOFrq 1")] = nan;
  v[Instrument::Index("Env 2 Dly")] = inf;
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 0, "", v.data(), kParamTableSize);
  EXPECT_EQ(in.q->UnserializeState(c, 0), c.Size());
  EXPECT_EQ(in.Param("Voices").value, 0);
  EXPECT_EQ(in.Param("Volume").value, 1);
  EXPECT_EQ(in.q->OutputGain(), 2);
  EXPECT_EQ(in.Param("Part F3").value, 1);
  EXPECT_EQ(in.Param("Pitch 1").value, -24);
  EXPECT_EQ(in.Param("LFOFrq 1").value, 0);
  EXPECT_EQ(in.V(0).env[1].delayTicks, 10000);
  for (double x : in.Values()) EXPECT_TRUE(std::isfinite(x));
}

TEST(State, ChangedTagDigitReadsAsLayout1) {
  Instrument in;
  in.Defaults();
  ChunkBuffer c = Serialize(*in.q);
  c.Bytes()[11] = '3';
  in.Set("Unison", 1);
  EXPECT_EQ(in.q->UnserializeState(c, 0), 888);
  EXPECT_EQ(in.Param("Unison").value, 0);
}

TEST(State, EndsEarly) {
  Instrument in;
  in.Defaults();
  Instrument source;
  source.Defaults();
  for (int i = 0; i < kParamTableSize; ++i) {
    const ParamSpec& s = kParamTable[i];
    source.q->GetParam(i)->value = s.kind == ParamKind::Double ? s.max : s.max;
  }
  ChunkBuffer full = Serialize(*source.q);
  const int values = full.Size() - 928;

  // Inside the values: the missing one goes to its value nearest zero.
  ChunkBuffer c;
  c.PutBytes(full.Bytes(), values + 8 * 21 + 3);  // 21 values and part of "Part F1"
  in.Set("Unison", 1);
  EXPECT_EQ(in.q->UnserializeState(c, 0), -1);
  EXPECT_EQ(in.Param("Freq F1").value, 1);       // index 20, read
  EXPECT_EQ(in.Param("Part F1").value, 1);       // index 21, missing: nearest zero
  EXPECT_EQ(in.Param("Vol F1").value, 0.75);     // later: kept
  EXPECT_TRUE(in.q->Pool().unisonOn);            // kept, and pushed again

  // Inside the header: nothing changes.
  in.Defaults();
  c.Clear();
  c.PutBytes(full.Bytes(), 18);
  EXPECT_EQ(in.q->UnserializeState(c, 0), -1);
  for (int i = 0; i < kParamTableSize; ++i) EXPECT_EQ(in.q->GetParam(i)->value, kParamTable[i].defaultValue);

  // Untagged, inside the first 111 values.
  in.Set("Unison", 1);
  in.Set("Env1 Trg", 1);
  c.Clear();
  for (int i = 0; i < 50; ++i) c.Put(kParamTable[i].max);
  EXPECT_EQ(in.q->UnserializeState(c, 0), -1);
  EXPECT_EQ(in.q->GetParam(49)->value, 1);
  EXPECT_EQ(in.q->GetParam(50)->value, 0);  // "Freq F3", missing
  EXPECT_EQ(in.q->GetParam(51)->value, 3);  // kept
  EXPECT_EQ(in.Param("Unison").value, 0);
  EXPECT_EQ(in.Param("Env1 Trg").value, 0);
  EXPECT_FALSE(in.q->Pool().unisonOn);
}

TEST(State, EveryTruncationIsSafe) {
  Instrument in;
  in.q->LoadProgramSlot(7);
  ChunkBuffer full = Serialize(*in.q);
  for (int n = 0; n < full.Size(); ++n) {
    ChunkBuffer c;
    c.PutBytes(full.Bytes(), n);
    const int end = in.q->UnserializeState(c, 0);
    ASSERT_EQ(end, -1) << n;
    for (double x : in.Values()) ASSERT_TRUE(std::isfinite(x));
  }
  EXPECT_EQ(in.q->UnserializeState(full, 0), full.Size());
}

TEST(State, BrokenNameFields) {
  Instrument in;
  in.Defaults();
  ChunkBuffer good = Serialize(*in.q);
  for (int32_t length : {-1, -17, int32_t(0x80000000), 0x7fffffff, 5000}) {
    ChunkBuffer c = good;
    std::memcpy(c.Bytes() + 16, &length, 4);
    in.Set("Volume", 0.3);
    EXPECT_EQ(in.q->UnserializeState(c, 0), -1) << length;
    EXPECT_EQ(in.Param("Volume").value, 0.3);
  }
  // A stored name longer than any program name is skipped whole.
  std::vector<double> v = in.Values();
  ChunkBuffer c;
  WriteStateImage(&c, kStateTag, 2, std::string(1000, 'x'), v.data(), kParamTableSize);
  EXPECT_EQ(in.q->UnserializeState(c, 0), c.Size());
}

// Factory programs in memory are stored in the current layout with "Unison
// LFO Phase" at 0; each passes the state, the host chunks and the program
// and bank files unchanged.
TEST(State, FactoryProgramsRoundTripBitForBit) {
  Instrument in;
  std::vector<uint8_t> bank;
  ASSERT_TRUE(LoadModuleResource("PROGDATA", "PROGINIT", &bank));
  ChunkBuffer image;
  image.PutBytes(bank.data(), int(bank.size()));
  int pos = 168;
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    SCOPED_TRACE(kFactoryProgramNames[p]);
    EXPECT_STREQ(in.q->GetPresetName(p), kFactoryProgramNames[p]);
    // The bank's own values for this program.
    std::string name;
    pos = image.GetStr(&name, pos) + 1;
    std::vector<double> expected(kParamTableSize, 0.0);
    pos = ReadStateImage(image, pos, expected.data());

    ASSERT_TRUE(in.q->LoadProgramSlot(p));
    EXPECT_TRUE(SameBits(in.Values(), expected));
    ChunkBuffer a = Serialize(*in.q);
    EXPECT_EQ(ImageValues(a), ImageValues(in.q->GetPreset(p)->chunk));
    EXPECT_EQ(0, std::memcmp(a.Bytes(), "Quarvi_2.0.2", 12));

    in.Defaults();
    ASSERT_EQ(in.q->UnserializeState(a, 0), a.Size());
    EXPECT_EQ(Serialize(*in.q), a);

    // Program chunk as the host gets it.
    AEffect* e = in.q->GetAEffect();
    void* data = nullptr;
    const VstIntPtr size = e->dispatcher(e, effGetChunk, 1, 0, &data, 0);
    ASSERT_GT(size, 0);
    std::vector<uint8_t> copy(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    in.Defaults();
    e->dispatcher(e, effSetChunk, 1, size, copy.data(), 0);
    EXPECT_TRUE(SameBits(in.Values(), expected));

    // Program file.
    ChunkBuffer fxp;
    ASSERT_TRUE(in.q->BuildProgramFile(&fxp));
    in.Defaults();
    ASSERT_TRUE(in.q->LoadProgramFromMemory(fxp));
    EXPECT_TRUE(SameBits(in.Values(), expected));
  }
  EXPECT_EQ(pos, image.Size());

  // Bank file and bank chunk.
  ChunkBuffer fxb;
  ASSERT_TRUE(in.q->BuildBankFile(&fxb));
  Instrument other;
  for (int p = 0; p < kFactoryProgramCount; ++p) other.q->GetPreset(p)->chunk.Clear();
  ASSERT_TRUE(other.q->LoadBankFromFile(fxb));
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    EXPECT_STREQ(other.q->GetPresetName(p), kFactoryProgramNames[p]);
    EXPECT_EQ(ImageValues(other.q->GetPreset(p)->chunk), ImageValues(in.q->GetPreset(p)->chunk)) << p;
  }
}

TEST(State, FactoryBankFillsTheProgramList) {
  Instrument in;
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    EXPECT_STREQ(in.q->GetPresetName(p), kFactoryProgramNames[p]);
    EXPECT_TRUE(in.q->GetPreset(p)->initialized);
  }
  EXPECT_EQ(in.q->GetCurrentPresetIdx(), 0);
  // "Init": the defaults but for three values.
  in.q->LoadProgramSlot(63);
  for (int i = 0; i < kParamTableSize; ++i) {
    const std::string name = kParamTable[i].name;
    const double expected = name == "LFOMod 1" ? 1 : name == "Env 1 R" ? 0.1 : name == "Env 3 R" ? 0
                                                                                               : kParamTable[i].defaultValue;
    EXPECT_EQ(in.q->GetParam(i)->value, expected) << name;
  }
}
