#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "TestPlug.h"

// ---- chunk reads -------------------------------------------------------------

TEST(ChunkReads, GetStrWithShortData) {
  ChunkBuffer c;
  c.Put(int32_t(10));
  c.PutBytes("abcde", 5);
  std::string text = "keep";
  EXPECT_EQ(c.GetStr(&text, 0), 14);
  EXPECT_EQ(text, "keep");
  int32_t v = 7;
  EXPECT_EQ(c.Get(&v, 14), -1);
  EXPECT_EQ(v, 7);
}

TEST(ChunkReads, GetStrRejectsNegativeAndHugeLengths) {
  for (int32_t len : {-1, -8, INT32_MIN, INT32_MAX, INT32_MAX - 3}) {
    ChunkBuffer c;
    c.PutBytes("xxxx", 4);
    c.Put(len);
    c.PutBytes("abcdefgh", 8);
    std::string text = "keep";
    const int pos = c.GetStr(&text, 4);
    EXPECT_TRUE(pos == -1 || pos > c.Size()) << len;  // never backwards, never inside the data
    EXPECT_EQ(text, "keep");
  }
}

TEST(ChunkReads, GetStrRoundTripAndEmpty) {
  ChunkBuffer c;
  c.PutStr("hello");
  c.PutStr("");
  std::string a, b = "x";
  int pos = c.GetStr(&a, 0);
  EXPECT_EQ(pos, 9);
  EXPECT_EQ(c.GetStr(&b, pos), 13);
  EXPECT_EQ(a, "hello");
  EXPECT_EQ(b, "");
  EXPECT_EQ(c.GetStr(&a, -1), -1);
}

TEST(ChunkReads, GetBoundsAndBool) {
  ChunkBuffer c;
  c.Put(true);
  c.Put(false);
  c.Put(3.5);
  EXPECT_EQ(c.Size(), 10);
  bool b = false;
  EXPECT_EQ(c.Get(&b, 0), 1);
  EXPECT_TRUE(b);
  double d = 0;
  EXPECT_EQ(c.Get(&d, 2), 10);
  EXPECT_EQ(d, 3.5);
  EXPECT_EQ(c.Get(&d, 3), -1);
  EXPECT_EQ(c.Get(&d, -5), -1);
  EXPECT_EQ(c.Get(&d, INT32_MAX), -1);
  c.Resize(-3);
  EXPECT_EQ(c.Size(), 0);
  EXPECT_EQ(c.Bytes(), nullptr);
}

TEST(ChunkReads, ReadChunkVersion) {
  ChunkBuffer raw;
  raw.Put(int32_t(1234));
  raw.Put(int32_t(5));
  int pos = 0;
  EXPECT_EQ(ReadChunkVersion(raw, &pos), 0);
  EXPECT_EQ(pos, 0);

  ChunkBuffer cut;
  cut.Put(kStateMagic);
  cut.PutBytes("\x01\x00", 2);
  pos = 0;
  EXPECT_EQ(ReadChunkVersion(cut, &pos), 0);
  EXPECT_EQ(pos, -1);

  ChunkBuffer empty;
  pos = 0;
  EXPECT_EQ(ReadChunkVersion(empty, &pos), 0);
  EXPECT_EQ(pos, 0);
}

// ---- construction ----------------------------------------------------------------

TEST(PlugBaseConstruction, Defaults) {
  TestPlug p;
  EXPECT_EQ(p.NParams(), kTestParams);
  EXPECT_EQ(p.NPresets(), 64);
  for (int i = 0; i < 64; ++i) {
    EXPECT_STREQ(p.GetPresetName(i), "empty");
    EXPECT_FALSE(p.GetPreset(i)->initialized);
  }
  EXPECT_STREQ(p.GetPresetName(64), "");
  EXPECT_STREQ(p.GetPresetName(-1), "");
  EXPECT_STREQ(p.GetEffectName(), "Quarvi");
  EXPECT_STREQ(p.GetMfrName(), "Kestrel Sound Music");
  EXPECT_STREQ(p.GetProductName(), "");
  EXPECT_EQ(p.GetEffectVersion(false), 0x00020004);
  EXPECT_EQ(p.GetEffectVersion(true), 20004);
  EXPECT_EQ(p.GetHost(), -1);
  EXPECT_EQ(p.GetSampleRate(), 44100.0);
  EXPECT_EQ(p.GetBlockSize(), 0);
  EXPECT_EQ(p.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(p.NInChannels(), 0);
  EXPECT_EQ(p.NOutChannels(), 2);
  EXPECT_FALSE(p.OutChannel(0).connected);
  EXPECT_EQ(p.OutChannel(1).slot, p.OutputPointers() + 1);
  EXPECT_EQ(p.GetGUI(), nullptr);
  char name[8] = "x";
  EXPECT_FALSE(p.NoteNameFor(60, name));
  EXPECT_STREQ(name, "");
}

TEST(PlugBaseConstruction, BlankParametersBeforeSetup) {
  IPlugBase b(116, "0-2", 64, "Quarvi", "", "Kestrel Sound Music", 0x00020004, kTestUniqueID, 0, true,
              true, true);
  ASSERT_EQ(b.NParams(), 116);
  for (int i = 0; i < 116; ++i) {
    EXPECT_EQ(b.GetParam(i)->kind, ParamKind::None);
    EXPECT_EQ(b.GetParam(i)->max, 1.0);
  }
  EXPECT_EQ(b.GetParam(116), nullptr);
}

TEST(PlugBaseConstruction, ChannelTextAndLegalIO) {
  TestPlug p;
  EXPECT_TRUE(p.LegalIO(0, 2));
  EXPECT_TRUE(p.LegalIO(-1, 2));
  EXPECT_TRUE(p.LegalIO(0, -1));
  EXPECT_TRUE(p.LegalIO(-1, -1));
  EXPECT_FALSE(p.LegalIO(1, 2));
  EXPECT_FALSE(p.LegalIO(0, 1));

  TestPlug multi("1-1 2-2 0-4");
  EXPECT_EQ(multi.NInChannels(), 2);
  EXPECT_EQ(multi.NOutChannels(), 4);
  EXPECT_TRUE(multi.LegalIO(2, 2));
  EXPECT_TRUE(multi.LegalIO(0, 4));
  EXPECT_FALSE(multi.LegalIO(1, 2));

  TestPlug odd("x-2 3");  // an unparsable side counts as 0; "3" alone is 3 inputs, 0 outputs
  EXPECT_TRUE(odd.LegalIO(0, 0));
  EXPECT_TRUE(odd.LegalIO(3, 0));
  EXPECT_EQ(odd.NInChannels(), 3);
  EXPECT_EQ(odd.NOutChannels(), 0);
}

// ---- parameters ----------------------------------------------------------------------

TEST(PlugBaseParams, SerializeWritesPlainValues) {
  TestPlug p;
  p.SetValues(0.25, -3, 2, 1);
  ChunkBuffer c;
  EXPECT_TRUE(p.SerializeParams(&c));
  EXPECT_EQ(c, TestPlug::State(0.25, -3, 2, 1));
}

TEST(PlugBaseParams, UnserializeClampsAndStopsAtTheEnd) {
  TestPlug p;
  p.SetValues(0.3, 5, 1, 1);
  ChunkBuffer c;
  c.Put(7.0);   // clamped to 1
  c.Put(-3.0);
  c.PutBytes("abc", 3);  // third value cut short
  p.changed.clear();
  EXPECT_EQ(p.UnserializeParams(c, 0), -1);
  EXPECT_EQ(p.Values(), (std::vector<double>{1.0, -3.0, 0.0, 1.0}));  // failed one: clamped 0.0
  EXPECT_EQ(p.changed, (std::vector<int>{0, 1, 2, 3}));

  ChunkBuffer full = TestPlug::State(0.5, 24, 2, 0);
  EXPECT_EQ(p.UnserializeParams(full, 0), 32);
  EXPECT_EQ(p.UnserializeState(full, 0), 32);
}

TEST(PlugBaseParams, SetParameterFromEditor) {
  TestPlug p;
  p.SetParameterFromEditor(1, 0.51);
  EXPECT_EQ(p.GetParam(1)->value, 0.0);
  ASSERT_EQ(p.notified.size(), 1u);
  EXPECT_EQ(p.notified[0].first, 1);
  EXPECT_EQ(p.notified[0].second, 0.51);
  EXPECT_EQ(p.changed, std::vector<int>{1});
  p.SetParameterFromEditor(4, 0.5);
  p.SetParameterFromEditor(-1, 0.5);
  EXPECT_EQ(p.notified.size(), 1u);
}

TEST(PlugBaseParams, ReportAllAndReset) {
  TestPlug p;
  p.SetValues(0.25, 12, 2, 1);
  p.ReportAllParamsToHost();
  ASSERT_EQ(p.notified.size(), 4u);
  EXPECT_EQ(p.notified[0].second, 0.25);
  EXPECT_EQ(p.notified[1].second, 0.75);
  EXPECT_EQ(p.notified[2].second, 1.0);
  EXPECT_EQ(p.notified[3].second, 1.0);
  p.OnParamReset();
  EXPECT_EQ(p.changed, (std::vector<int>{0, 1, 2, 3}));
}

TEST(PlugBaseParams, LockIsRecursiveAndExcludesOtherThreads) {
  TestPlug p;
  p.Lock();
  p.Lock();
  std::atomic<bool> otherGot{true};
  std::thread t([&] {
    otherGot = p.Mutex().try_lock();
    if (otherGot) p.Mutex().unlock();
  });
  t.join();
  EXPECT_FALSE(otherGot);
  p.Unlock();
  p.Unlock();
  std::thread t2([&] {
    otherGot = p.Mutex().try_lock();
    if (otherGot) p.Mutex().unlock();
  });
  t2.join();
  EXPECT_TRUE(otherGot);
}

// ---- program slots -------------------------------------------------------------------

TEST(PlugBasePrograms, UserPresetNaming) {
  TestPlug p;
  std::strcpy(p.GetPreset(0)->name, "user preset 1");
  p.GetPreset(0)->initialized = true;
  p.GetPreset(0)->chunk = TestPlug::State(0, 0, 0, 0);
  std::strcpy(p.GetPreset(1)->name, "my user preset 2 copy");
  p.GetPreset(1)->initialized = true;
  p.GetPreset(1)->chunk = TestPlug::State(0, 0, 0, 0);
  p.SetValues(0.75, 2, 1, 0);
  EXPECT_TRUE(p.LoadProgramSlot(5));
  EXPECT_STREQ(p.GetPresetName(5), "user preset 3");
  EXPECT_TRUE(p.GetPreset(5)->initialized);
  EXPECT_EQ(p.GetPreset(5)->chunk, TestPlug::State(0.75, 2, 1, 0));
  EXPECT_EQ(p.GetCurrentPresetIdx(), 5);
  EXPECT_EQ(p.presetChanges, 1);
}

TEST(PlugBasePrograms, LoadInitializedSlotAndRangeChecks) {
  TestPlug p;
  p.GetPreset(7)->initialized = true;
  p.GetPreset(7)->chunk = TestPlug::State(0.1, -5, 2, 1);
  EXPECT_TRUE(p.LoadProgramSlot(7));
  EXPECT_EQ(p.Values(), (std::vector<double>{0.1, -5, 2, 1}));
  EXPECT_EQ(p.GetCurrentPresetIdx(), 7);
  EXPECT_FALSE(p.LoadProgramSlot(64));
  EXPECT_FALSE(p.LoadProgramSlot(-1));
  // An initialized slot whose state cannot be read fails and is not selected.
  p.GetPreset(8)->initialized = true;
  p.GetPreset(8)->chunk.Clear();
  EXPECT_FALSE(p.LoadProgramSlot(8));
  EXPECT_EQ(p.GetCurrentPresetIdx(), 7);
}

TEST(PlugBasePrograms, FreshSlotDropsStaleBytes) {
  TestPlug p;
  p.GetPreset(3)->chunk = TestPlug::State(9, 9, 9, 9);  // left behind, not initialized
  p.SetValues(0.5, 1, 1, 1);
  EXPECT_TRUE(p.LoadProgramSlot(3));
  EXPECT_EQ(p.GetPreset(3)->chunk, TestPlug::State(0.5, 1, 1, 1));
}

TEST(PlugBasePrograms, FillEmptyPrograms) {
  TestPlug p;
  p.GetPreset(0)->initialized = true;
  p.GetPreset(0)->chunk = TestPlug::State(1, 1, 1, 1);
  p.SetValues(0.2, 0, 0, 0);
  p.FillEmptyPrograms(2);
  EXPECT_STREQ(p.GetPresetName(0), "empty");
  EXPECT_STREQ(p.GetPresetName(1), "Empty");
  EXPECT_STREQ(p.GetPresetName(2), "Empty");
  EXPECT_FALSE(p.GetPreset(3)->initialized);
  EXPECT_EQ(p.GetPreset(2)->chunk, TestPlug::State(0.2, 0, 0, 0));
  p.FillEmptyPrograms(100);
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(p.GetPreset(i)->initialized);
  p.FillEmptyPrograms(1);  // nothing left to fill
  EXPECT_STREQ(p.GetPresetName(0), "empty");
}

TEST(PlugBasePrograms, ModifyCurrentPreset) {
  TestPlug p;
  p.FillDistinct();
  p.LoadProgramSlot(4);
  p.SetValues(0.9, 9, 1, 0);
  p.ModifyCurrentPreset();
  EXPECT_EQ(p.GetPreset(4)->chunk, TestPlug::State(0.9, 9, 1, 0));
  EXPECT_STREQ(p.GetPresetName(4), "Program 4");
  p.ModifyCurrentPreset("");
  EXPECT_STREQ(p.GetPresetName(4), "Program 4");
  p.ModifyCurrentPreset("Renamed");
  EXPECT_STREQ(p.GetPresetName(4), "Renamed");
  const std::string longName(300, 'L');
  p.ModifyCurrentPreset(longName.c_str());
  EXPECT_EQ(std::string(p.GetPresetName(4)), std::string(255, 'L'));
}

TEST(PlugBasePrograms, ModifyCurrentPresetKeepsNameOfFreshSlot) {
  TestPlug p;
  p.ModifyCurrentPreset("From file");
  EXPECT_TRUE(p.GetPreset(0)->initialized);
  EXPECT_TRUE(p.LoadProgramSlot(0));
  EXPECT_STREQ(p.GetPresetName(0), "From file");
}

// ---- bank chunks -------------------------------------------------------------------

TEST(PlugBaseBank, SerializePresetsLayout) {
  TestPlug p;
  p.FillDistinct();
  p.GetPreset(1)->initialized = false;
  ChunkBuffer c;
  EXPECT_TRUE(p.SerializePresets(&c));
  ChunkBuffer expect;
  for (int i = 0; i < 64; ++i) {
    const IPlugPreset* pr = p.GetPreset(i);
    expect.PutStr(pr->name);
    expect.Put(pr->initialized);
    if (pr->initialized) expect.PutChunk(pr->chunk);
  }
  EXPECT_EQ(c, expect);
  // First record byte by byte: length 9, "Program 0", flag 1, four doubles.
  ASSERT_GT(c.Size(), 46);
  const uint8_t head[] = {9, 0, 0, 0, 'P', 'r', 'o', 'g', 'r', 'a', 'm', ' ', '0', 1};
  EXPECT_EQ(0, std::memcmp(c.Bytes(), head, sizeof(head)));
}

TEST(PlugBaseBank, InitializedProgramWithoutStateIsWrittenAsEmpty) {
  TestPlug p;
  p.FillDistinct();
  p.GetPreset(2)->chunk.Clear();
  ChunkBuffer c;
  EXPECT_FALSE(p.SerializePresets(&c));
  TestPlug q;
  EXPECT_GE(q.UnserializePresets(c, 0), 0);  // the rest of the bank still parses
  EXPECT_STREQ(q.GetPresetName(63), "Program 63");
  EXPECT_EQ(q.GetPreset(63)->chunk, p.GetPreset(63)->chunk);
  EXPECT_FALSE(q.GetPreset(2)->initialized);
}

TEST(PlugBaseBank, RoundTrip) {
  TestPlug p;
  p.FillDistinct();
  p.GetPreset(10)->initialized = false;
  ChunkBuffer c;
  p.SerializePresets(&c);
  TestPlug q;
  q.LoadProgramSlot(3);  // current program of the receiver
  q.programChanges = 0;
  EXPECT_EQ(q.UnserializePresets(c, 0), c.Size());
  for (int i = 0; i < 64; ++i) {
    EXPECT_STREQ(q.GetPresetName(i), p.GetPresetName(i));
    if (i == 10) continue;
    EXPECT_TRUE(q.GetPreset(i)->initialized);
    EXPECT_EQ(q.GetPreset(i)->chunk, p.GetPreset(i)->chunk) << i;
  }
  EXPECT_FALSE(q.GetPreset(10)->initialized);
  EXPECT_EQ(q.GetCurrentPresetIdx(), 3);
  EXPECT_EQ(q.Values(), (std::vector<double>{0.03, -21, 0, 1}));  // current program loaded
}

TEST(PlugBaseBank, LongNameIsCutToTheField) {
  ChunkBuffer c;
  const std::string longName(1000, 'n');
  c.PutStr(longName);
  c.Put(true);
  c.PutChunk(TestPlug::State(0.5, 1, 1, 1));
  TestPlug q;
  EXPECT_EQ(q.UnserializePresets(c, 0), -1);  // the bank ends after the first program
  EXPECT_EQ(std::string(q.GetPresetName(0)), std::string(255, 'n'));
  EXPECT_EQ(q.GetPreset(0)->chunk, TestPlug::State(0.5, 1, 1, 1));
}

// Every prefix of a bank chunk: complete records are taken over, the record
// at the cut and those after it stay exactly as they were.
TEST(PlugBaseBank, TruncationNeverHalfLoadsAProgram) {
  TestPlug src;
  src.FillDistinct();
  for (int i = 0; i < 64; ++i) std::snprintf(src.GetPreset(i)->name, 256, "New %d", i);
  for (int i = 0; i < 64; ++i) src.GetPreset(i)->chunk = TestPlug::State(1 - i / 100.0, 0, 1, 0);
  ChunkBuffer full;
  src.SerializePresets(&full);

  TestPlug base;
  base.FillDistinct();
  const PlugSnapshot before(base);

  for (int len = 0; len < full.Size(); len += (len < 200 ? 1 : 7)) {
    TestPlug q;
    q.FillDistinct();
    ChunkBuffer cut;
    cut.PutBytes(full.Bytes(), len);
    const int pos = q.UnserializePresets(cut, 0);
    EXPECT_EQ(pos, -1) << len;
    int complete = 0;
    for (int off = 0, i = 0; i < 64; ++i) {
      off += 4 + static_cast<int>(std::strlen(src.GetPresetName(i))) + 1 + 32;
      if (off <= len) complete = i + 1;
    }
    for (int i = 0; i < 64; ++i) {
      const IPlugPreset* pr = q.GetPreset(i);
      if (i < complete) {
        EXPECT_STREQ(pr->name, src.GetPresetName(i)) << len;
        EXPECT_EQ(pr->chunk, src.GetPreset(i)->chunk) << len;
      } else {
        EXPECT_EQ(std::string(pr->name), before.names[i]) << len << " " << i;
        EXPECT_EQ(pr->chunk, before.chunks[i]) << len << " " << i;
        EXPECT_TRUE(pr->initialized);
      }
    }
  }
}

// ---- audio ---------------------------------------------------------------------------------

namespace {

// Writes frame index + 100 * channel into every output, and records inputs.
class RenderPlug : public TestPlug {
 public:
  explicit RenderPlug(const char* channels) : TestPlug(channels) {}
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override {
    calls.push_back(nFrames);
    for (int c = 0; c < NInChannels(); ++c)
      for (int i = 0; i < nFrames; ++i) seenInput.push_back(inputs[c][i]);
    for (int c = 0; c < NOutChannels(); ++c)
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = frame + i + 100.0 * c;
    frame += nFrames;
  }
  std::vector<int> calls;
  std::vector<double> seenInput;
  int frame = 0;
};

}  // namespace

TEST(PlugBaseAudio, SetBlockSizeSameSizeKeepsScratch) {
  TestPlug p;
  p.SetBlockSize(16);
  ASSERT_EQ(p.OutChannel(0).scratch.size(), 16u);
  EXPECT_EQ(p.OutChannel(0).scratch[3], 0.0);
  p.OutChannel(0).scratch[3] = 42.0;
  p.SetBlockSize(16);
  EXPECT_EQ(p.OutChannel(0).scratch[3], 42.0);
  p.SetBlockSize(8);
  EXPECT_EQ(p.GetBlockSize(), 8);
  ASSERT_EQ(p.OutChannel(0).scratch.size(), 8u);
  EXPECT_EQ(p.OutChannel(0).scratch[3], 0.0);
}

TEST(PlugBaseAudio, DefaultProcessBlockPassesThroughAndZeroes) {
  TestPlug p("1-2");
  double in[4] = {1, 2, 3, 4};
  double o0[4] = {9, 9, 9, 9}, o1[4] = {9, 9, 9, 9};
  double* ins[] = {in};
  double* outs[] = {o0, o1};
  p.ProcessBlock(ins, outs, 4);
  EXPECT_EQ(o0[3], 4.0);
  EXPECT_EQ(o1[0], 0.0);
  EXPECT_EQ(o1[3], 0.0);
}

TEST(PlugBaseAudio, SingleReplacingAndAccumulating) {
  RenderPlug p("1-2");
  p.SetBlockSize(8);
  p.InChannel(0).connected = true;
  p.OutChannel(0).connected = true;
  p.OutChannel(1).connected = true;
  float in[4] = {0.5f, 1.5f, 2.5f, 3.5f};
  float o0[4] = {7, 7, 7, 7}, o1[4] = {1, 1, 1, 1};
  float* ins[] = {in};
  float* outs[] = {o0, o1};
  p.ProcessSingle(ins, outs, 4, false);
  EXPECT_EQ(o0[0], 0.0f);
  EXPECT_EQ(o0[3], 3.0f);
  EXPECT_EQ(o1[2], 102.0f);
  EXPECT_EQ(p.seenInput, (std::vector<double>{0.5, 1.5, 2.5, 3.5}));
  EXPECT_EQ(p.OutputPointers()[0], p.OutChannel(0).scratch.data());
  p.frame = 0;
  p.ProcessSingle(ins, outs, 4, true);
  EXPECT_EQ(o0[3], 6.0f);
  EXPECT_EQ(o1[0], 200.0f);
}

TEST(PlugBaseAudio, UnconnectedOutputIsLeftAloneAndHostBuffersAreTakenInOrder) {
  RenderPlug p("0-2");
  p.SetBlockSize(4);
  p.OutChannel(1).connected = true;  // takes the first host buffer
  float o0[2] = {5, 5}, o1[2] = {5, 5};
  float* outs[] = {o0, o1};
  p.ProcessSingle(nullptr, outs, 2, false);
  EXPECT_EQ(o0[1], 101.0f);
  EXPECT_EQ(o1[1], 5.0f);
}

TEST(PlugBaseAudio, MoreFramesThanBlockSizeAreRenderedInPieces) {
  RenderPlug p("0-2");
  p.SetBlockSize(4);
  p.OutChannel(0).connected = true;
  p.OutChannel(1).connected = true;
  float o0[10], o1[10];
  float* outs[] = {o0, o1};
  p.ProcessSingle(nullptr, outs, 10, false);
  EXPECT_EQ(p.calls, (std::vector<int>{4, 4, 2}));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(o0[i], static_cast<float>(i));
  EXPECT_EQ(o1[9], 109.0f);

  RenderPlug none("0-2");  // no block size yet: silence, nothing rendered
  none.OutChannel(0).connected = true;
  none.ProcessSingle(nullptr, outs, 10, false);
  EXPECT_TRUE(none.calls.empty());
  EXPECT_EQ(o0[5], 0.0f);
}

TEST(PlugBaseAudio, DoubleUsesHostBuffersDirectly) {
  RenderPlug p("0-2");
  p.SetBlockSize(4);
  p.OutChannel(0).connected = true;
  p.OutChannel(1).connected = true;
  double o0[6], o1[6];
  double* outs[] = {o0, o1};
  p.ProcessDouble(nullptr, outs, 6);  // all connected: one call, no scratch involved
  EXPECT_EQ(p.calls, std::vector<int>{6});
  EXPECT_EQ(o1[5], 105.0);
  EXPECT_EQ(p.OutputPointers()[0], o0);

  RenderPlug q("0-2");
  q.SetBlockSize(4);
  q.OutChannel(0).connected = true;  // channel 1 renders into its scratch
  q.ProcessDouble(nullptr, outs, 6);
  EXPECT_EQ(q.calls, (std::vector<int>{4, 2}));
  EXPECT_EQ(o0[5], 5.0);
}
