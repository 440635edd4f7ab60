// Loads that succeed, fail or stop half way, and hosts that do less than
// usual, on the real instrument: no load costs the user a program, and the
// sound always follows the current program's parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ChunkBuffer.h"
#include "../instrument/ConfigTestSupport.h"
#include "LoaderChecks.h"
#include "Quarvi.h"
#include "../perf/ReferenceEngine.h"

namespace {

Quarvi* QuarviOf(AEffect* e) { return static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object)); }

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// An instance the way a host prepares one.
struct Instance {
  AEffect* e = CreateCheckedInstance();
  Quarvi* q = QuarviOf(e);
  Instance() {
    Dispatch(e, effOpen);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(e, effSetBlockSize, 0, 512);
    Dispatch(e, effMainsChanged, 0, 1);
  }
  ~Instance() { CloseCheckedInstance(e); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;
};

std::vector<uint8_t> GetChunk(AEffect* e, int index) {
  void* data = nullptr;
  const VstIntPtr n = Dispatch(e, effGetChunk, index, 0, &data);
  if (n <= 0 || !data) return {};
  return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
}

VstIntPtr SetChunk(AEffect* e, int index, std::vector<uint8_t> bytes) {
  return Dispatch(e, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

// Everything a failed load must leave as it was.
struct Programs {
  std::vector<double> values;
  std::vector<std::string> names;
  std::vector<ChunkBuffer> states;
  int current;
  explicit Programs(Quarvi& q) : current(q.GetCurrentPresetIdx()) {
    for (int i = 0; i < q.NParams(); ++i) values.push_back(q.GetParam(i)->value);
    for (int i = 0; i < q.NPresets(); ++i) {
      names.push_back(q.GetPresetName(i));
      states.push_back(q.GetPreset(i)->chunk);
    }
  }
  bool operator==(const Programs& o) const {
    return values == o.values && names == o.names && states == o.states && current == o.current;
  }
};

// ---- parameter-list files ---------------------------------------------------------

void PutBE(ChunkBuffer* c, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  c->PutBytes(b, 4);
}

// One parameter-list record ("FxCk") with parameter i at (i * step) mod 1.
ChunkBuffer ParamRecord(const Quarvi& q, double step, int params = kNumParams) {
  ChunkBuffer c;
  c.PutBytes("CcnK", 4);
  PutBE(&c, 48 + 4 * params);
  c.PutBytes("FxCk", 4);
  PutBE(&c, 1);
  PutBE(&c, static_cast<uint32_t>(q.GetUniqueID()));
  PutBE(&c, 20004);
  PutBE(&c, static_cast<uint32_t>(params));
  char name[28] = "Listed";
  c.PutBytes(name, sizeof(name));
  for (int i = 0; i < params; ++i) {
    const float f = static_cast<float>(std::fmod(i * step, 1.0));
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutBE(&c, bits);
  }
  return c;
}

ChunkBuffer ParamBank(const Quarvi& q, const std::vector<ChunkBuffer>& records, int current) {
  ChunkBuffer c;
  c.PutBytes("CcnK", 4);
  PutBE(&c, 0);
  c.PutBytes("FxBk", 4);
  PutBE(&c, 2);
  PutBE(&c, static_cast<uint32_t>(q.GetUniqueID()));
  PutBE(&c, 20004);
  PutBE(&c, static_cast<uint32_t>(records.size()));
  PutBE(&c, static_cast<uint32_t>(current));
  const uint8_t zeros[124] = {0};
  c.PutBytes(zeros, sizeof(zeros));
  for (const ChunkBuffer& r : records) c.PutChunk(r);
  return c;
}

ChunkBuffer Bytes(const std::vector<uint8_t>& v) {
  ChunkBuffer c;
  c.PutBytes(v.data(), static_cast<int>(v.size()));
  return c;
}

// Whatever a load does, successful or not, the engine ends in step with the
// current program's parameters: what a fresh dispatch of them gives.
TEST(DataSafety, TheEngineFollowsTheParametersAfterEveryLoad) {
  // A source of other sounds: program 9, edited, and a bank around it.
  Instance other;
  Dispatch(other.e, effSetProgram, 0, 9);
  other.e->setParameter(other.e, 4, 0.125f);
  const std::vector<uint8_t> programChunk = GetChunk(other.e, 1);
  const std::vector<uint8_t> bankChunk = GetChunk(other.e, 0);
  ChunkBuffer fxp, fxb;
  ASSERT_TRUE(other.q->BuildProgramFile(&fxp));
  ASSERT_TRUE(other.q->BuildBankFile(&fxb));
  ASSERT_GT(programChunk.size(), 100u);
  const std::vector<uint8_t> halfProgram(programChunk.begin(), programChunk.begin() + programChunk.size() / 2);
  const std::vector<uint8_t> halfBank(bankChunk.begin(), bankChunk.begin() + bankChunk.size() / 2);

  const Quarvi& q0 = *other.q;
  const std::vector<ChunkBuffer> three = {ParamRecord(q0, 0.37), ParamRecord(q0, 0.61), ParamRecord(q0, 0.83)};
  const std::vector<ChunkBuffer> badThird = {ParamRecord(q0, 0.37), ParamRecord(q0, 0.61),
                                             ParamRecord(q0, 0.83, kNumParams - 1)};

  const struct {
    const char* name;
    std::function<void(Instance&)> load;
  } kLoads[] = {
      {"program chunk", [&](Instance& i) { SetChunk(i.e, 1, programChunk); }},
      {"half a program chunk", [&](Instance& i) { SetChunk(i.e, 1, halfProgram); }},
      {"bank chunk", [&](Instance& i) { SetChunk(i.e, 0, bankChunk); }},
      {"half a bank chunk", [&](Instance& i) { SetChunk(i.e, 0, halfBank); }},
      {"program file", [&](Instance& i) { i.q->LoadProgramFromMemory(fxp); }},
      {"parameter-list program file", [&](Instance& i) { i.q->LoadProgramFromMemory(ParamRecord(q0, 0.29)); }},
      {"bank file", [&](Instance& i) { i.q->LoadBankFromFile(fxb); }},
      {"parameter-list bank file", [&](Instance& i) { i.q->LoadBankFromFile(ParamBank(q0, three, 1)); }},
      {"parameter-list bank, current program 64",
       [&](Instance& i) { i.q->LoadBankFromFile(ParamBank(q0, three, 64)); }},
      {"parameter-list bank, current program -1",
       [&](Instance& i) { i.q->LoadBankFromFile(ParamBank(q0, three, -1)); }},
      {"parameter-list bank, bad third record",
       [&](Instance& i) { i.q->LoadBankFromFile(ParamBank(q0, badThird, 2)); }},
      {"factory image", [&](Instance& i) { i.q->LoadBankFromMemory(fxb.Bytes(), fxb.Size()); }},
      {"host program change", [&](Instance& i) { Dispatch(i.e, effSetProgram, 0, 12); }},
      {"MIDI program change", [&](Instance& i) { SendEvents(i.e, {MidiEvent(0xC0, 17, 0, 0)}); }},
  };
  for (const auto& load : kLoads) {
    Instance in;
    // Away from program 0, with an edit, so that every load changes something.
    Dispatch(in.e, effSetProgram, 0, 2);
    in.e->setParameter(in.e, 7, 0.9f);
    load.load(in);
    EXPECT_EQ("", ReferenceEngine::EngineOutOfStep(*in.q)) << load.name;
  }
}

// The startup bank is loaded by the constructor, before any host request.
TEST(DataSafety, TheEngineFollowsTheStartupBank) {
  cfgtest::TempFolder root("quarvi-startup");
  ASSERT_TRUE(root.Ok());
  ConfigLocations locations;
  locations.settingsFolder = root.Sub("KestrelSoundMusic");
  locations.documentsFolder = root.Path();
  ASSERT_TRUE(cfgtest::MakeFolder(locations.settingsFolder));
  Instance other;
  const std::string bank = root.Sub("start.fxb");
  const ChunkBuffer listed = ParamBank(*other.q, {ParamRecord(*other.q, 0.41), ParamRecord(*other.q, 0.59)}, 99);
  ASSERT_TRUE(cfgtest::WriteTextFile(bank, std::string(reinterpret_cast<const char*>(listed.Bytes()), listed.Size())));
  ASSERT_TRUE(cfgtest::WriteTextFile(locations.settingsFolder + "/quarvi.ini", "[Startup Bank]\nFile=" + bank + "\n"));
  cfgtest::ScopedConfigLocations scoped(locations);
  AEffect* e = CreateCheckedInstance();  // no host request yet
  Quarvi* q = QuarviOf(e);
  EXPECT_EQ(q->Settings().startupBankPath, bank);
  EXPECT_STREQ(q->GetPresetName(1), "Listed");
  EXPECT_EQ("", ReferenceEngine::EngineOutOfStep(*q));
  CloseCheckedInstance(e);
}

// A chunk the instance cannot read (a project cut short, another program's
// data) is refused and changes nothing: not the live values, not the
// current program's slot, not any other program.
TEST(DataSafety, AChunkThatCannotBeReadChangesNothing) {
  Instance other;
  Dispatch(other.e, effSetProgram, 0, 9);
  for (int index : {1, 0}) {
    const std::vector<uint8_t> whole = GetChunk(other.e, index);
    ASSERT_FALSE(whole.empty());
    // (A program chunk cut inside its trailing name still holds a whole state
    // and loads.)
    for (size_t cut : {whole.size() / 2, index == 0 ? whole.size() - 1 : size_t{20}, size_t{12}}) {
      Instance in;
      Dispatch(in.e, effSetProgram, 0, 3);
      in.e->setParameter(in.e, 7, 0.9f);
      const Programs before(*in.q);
      EXPECT_EQ(SetChunk(in.e, index, std::vector<uint8_t>(whole.begin(), whole.begin() + cut)), 0)
          << index << " cut at " << cut;
      EXPECT_TRUE(Programs(*in.q) == before) << index << " cut at " << cut;
      EXPECT_EQ("", ReferenceEngine::EngineOutOfStep(*in.q)) << index << " cut at " << cut;
    }
  }
}

// Hosts hand back exactly what effGetChunk gave them, sometimes without
// copying it first: the instance's own buffer comes back as the source.
TEST(DataSafety, AChunkHandedBackInTheInstancesOwnBufferLoads) {
  Instance in;
  Dispatch(in.e, effSetProgram, 0, 6);
  for (int index : {1, 0}) {
    // Once through a copy, so that the chunk reads back as it went in.
    ASSERT_EQ(SetChunk(in.e, index, GetChunk(in.e, index)), 1);
    void* data = nullptr;
    const VstIntPtr n = Dispatch(in.e, effGetChunk, index, 0, &data);
    ASSERT_GT(n, 0);
    const std::vector<uint8_t> copy(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    EXPECT_EQ(Dispatch(in.e, effSetChunk, index, n, data), 1) << index;
    EXPECT_TRUE(GetChunk(in.e, index) == copy) << index;
  }
}

double RenderPeak(AEffect* e, int frames) {
  std::vector<float> l(static_cast<size_t>(frames)), r(static_cast<size_t>(frames));
  float* out[2] = {l.data(), r.data()};
  e->processReplacing(e, nullptr, out, frames);
  double peak = 0;
  for (int i = 0; i < frames; ++i) peak = std::max(peak, static_cast<double>(std::fabs(l[i]) + std::fabs(r[i])));
  return peak;
}

// A host that opens and switches on the instance but never sets a sample
// rate or a block size gets sound at the defaults (44.1 kHz, 1024 frames).
// A rate the engine cannot run at is refused, not turned into silence.
TEST(DataSafety, AHostThatSetsNoRateGetsSound) {
  AEffect* e = CreateCheckedInstance();
  Dispatch(e, effOpen);
  Dispatch(e, effMainsChanged, 0, 1);
  SendEvents(e, {MidiEvent(0x90, 60, 100, 0)});
  EXPECT_GT(RenderPeak(e, 1024), 0.0);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 1000000.0f);
  EXPECT_EQ(QuarviOf(e)->GetSampleRate(), 44100.0);
  SendEvents(e, {MidiEvent(0x90, 64, 100, 0)});
  EXPECT_GT(RenderPeak(e, 1024), 0.0);
  CloseCheckedInstance(e);
}

}  // namespace
