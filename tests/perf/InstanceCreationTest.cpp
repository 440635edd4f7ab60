// Instance creation leaves out dispatch work that changes nothing: values the
// voices already hold are not pushed again (the re-dispatch after a "Voices"
// change, activation after a program load), and a bank load pushes only the
// last program's values. These tests hold the result to the straightforward
// dispatch, which pushes every change to every voice: the whole instance
// state must be the same, field by field, after creation and after bank
// loads and voice-mode changes while notes sound.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ChunkBuffer.h"
#include "ParamDispatch.h"
#include "Quarvi.h"
#include "Random.h"
#include "ReferenceEngine.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {

struct DispatchMode {
  explicit DispatchMode(bool straightforward) { SetStraightforwardDispatch(straightforward); }
  ~DispatchMode() { SetStraightforwardDispatch(false); }
};

VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// An instance as a host makes one: the entry point, then effOpen.
struct Instance {
  AEffect* effect = nullptr;
  explicit Instance(bool straightforward) {
    DispatchMode mode(straightforward);
    effect = VSTPluginMain(&Host);
    if (effect) effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  }
  ~Instance() {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  Quarvi& Q() const { return *static_cast<Quarvi*>(static_cast<IPlugVST*>(effect->object)); }
};

MidiMessage Midi(int status, int d1, int d2) {
  MidiMessage m;
  m.offset = 0;
  m.status = static_cast<uint8_t>(status);
  m.data1 = static_cast<uint8_t>(d1);
  m.data2 = static_cast<uint8_t>(d2);
  return m;
}

void Render(Quarvi& q, int n, std::vector<double>* out) {
  std::vector<double> l(n), r(n);
  double* o[2] = {l.data(), r.data()};
  q.ProcessBlock(nullptr, o, n);
  out->insert(out->end(), l.begin(), l.end());
  out->insert(out->end(), r.begin(), r.end());
}

void SetParam(Quarvi& q, int index, double plain) {
  q.GetParam(index)->SetPlain(plain);
  q.ParamChanged(index);
}

// One step of a session: something a host or a player does.
struct Step {
  const char* what;
  void (*run)(Quarvi& q, const ChunkBuffer* banks, std::vector<double>* audio);
};

// Play, load a bank under sounding notes, change the voice mode and other
// parameters, load programs, render in between.
const Step kSession[] = {
    {"activated",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>*) {
       q.SetSampleRate(48000);
       q.SetBlockSize(256);
       q.ResetProcessing();
       q.SetActive(true);
     }},
    {"notes played",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>* audio) {
       SetParam(q, 101, 1.0);  // "Env 2 Dly": 10000 blocks, still running at the bank load
       for (int key : {48, 55, 60, 64}) q.HandleMidiMessage(Midi(0x90, key, 100));
       Render(q, 4800, audio);
     }},
    {"bank loaded under sounding notes",
     [](Quarvi& q, const ChunkBuffer* banks, std::vector<double>*) {
       std::lock_guard<std::recursive_mutex> lock(q.Mutex());
       q.UnserializePresets(banks[0], 0);
     }},
    {"more notes",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>* audio) {
       Render(q, 2400, audio);
       for (int key : {67, 72}) q.HandleMidiMessage(Midi(0x90, key, 90));
       Render(q, 2400, audio);
     }},
    {"voice mode changed while playing",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>*) { SetParam(q, 0, 11); }},
    {"LFO 1 at 0 Hz",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>* audio) {
       q.HandleMidiMessage(Midi(0x90, 62, 100));
       SetParam(q, 80, 0);    // "LFOSyn 1" off
       SetParam(q, 82, 0.0);  // "LFOFrq 1": every push resets the counter
       Render(q, 2400, audio);
     }},
    {"same values again",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>*) {
       SetParam(q, 0, 11);
       SetParam(q, 82, 0.0);
       SetParam(q, 84, q.GetParam(84)->value);
     }},
    {"changes on running envelopes",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>* audio) {
       SetParam(q, 97, 0.3);   // "Env 1 A"
       SetParam(q, 103, 0.7);  // "Env 2 D"
       SetParam(q, 111, 1);    // "Unison"
       Render(q, 2400, audio);
     }},
    {"programs loaded while playing",
     [](Quarvi& q, const ChunkBuffer*, std::vector<double>* audio) {
       for (int p : {5, 17, 40, 63, 0}) {
         q.LoadProgramSlot(p);
         q.HandleMidiMessage(Midi(0x90, 50 + p % 12, 100));
         Render(q, 1200, audio);
       }
     }},
    {"bank without voice-mode changes loaded under delayed envelopes",
     [](Quarvi& q, const ChunkBuffer* banks, std::vector<double>* audio) {
       SetParam(q, 0, 7);
       SetParam(q, 101, 1.0);  // "Env 2 Dly": 10000 blocks, still running at the bank load
       for (int key : {60, 66}) q.HandleMidiMessage(Midi(0x90, key, 100));
       Render(q, 960, audio);
       std::lock_guard<std::recursive_mutex> lock(q.Mutex());
       q.UnserializePresets(banks[1], 0);
     }},
    {"activated again", [](Quarvi& q, const ChunkBuffer*, std::vector<double>*) { q.SetActive(true); }},
};

// Banks in which every program differs from the factory one in what makes
// loading it eventful. The first changes the voice mode (which releases every
// voice), the LFO timing (sync, 0 Hz) and the envelopes of running notes; the
// second keeps the voice mode at 7 and shortens running envelope delays.
std::vector<ChunkBuffer> EventfulBanks() {
  std::vector<ChunkBuffer> banks(2);
  for (int b = 0; b < 2; ++b) {
    std::unique_ptr<Quarvi> d(new Quarvi(nullptr));
    for (int p = 0; p < 64; ++p) {
      d->LoadProgramSlot(p);
      SetParam(*d, 0, b == 0 ? (p * 7) % 32 : 7);
      SetParam(*d, 80, p % 3 == 0);          // "LFOSyn 1"
      SetParam(*d, 82, (p % 5) * 7.5);       // "LFOFrq 1", 0 Hz every fifth program
      SetParam(*d, 100, 0.1 + 0.01 * p);     // "Env 1 R"
      SetParam(*d, 102, 0.02 * p);           // "Env 2 A"
      SetParam(*d, 101, (p + 1) % 4 * 0.2);  // "Env 2 Dly": shortens a running delay
      d->ModifyCurrentPreset();
    }
    d->SerializePresets(&banks[b]);
  }
  return banks;
}

}  // namespace

TEST(InstanceCreation, SameStateAsTheStraightforwardDispatch) {
  Instance plain(true);
  Instance fast(false);
  ASSERT_NE(plain.effect, nullptr);
  ASSERT_NE(fast.effect, nullptr);
  EXPECT_EQ("", ReferenceEngine::InstrumentDifference(plain.Q(), fast.Q()));
}

TEST(InstanceCreation, SameStateThroughBankLoadsAndVoiceModeChangesWhilePlaying) {
  const std::vector<ChunkBuffer> banks = EventfulBanks();
  Instance plain(true);
  Instance fast(false);
  ASSERT_NE(plain.effect, nullptr);
  ASSERT_NE(fast.effect, nullptr);
  // Both sessions go step by step together. The random generators are shared
  // by the whole process: each step starts both from the same draws.
  std::vector<double> plainAudio, fastAudio;
  for (const Step& step : kSession) {
    SCOPED_TRACE(step.what);
    {
      DispatchMode mode(true);
      ResetRandomGenerators();
      step.run(plain.Q(), banks.data(), &plainAudio);
    }
    ResetRandomGenerators();
    step.run(fast.Q(), banks.data(), &fastAudio);
    ASSERT_EQ("", ReferenceEngine::InstrumentDifference(plain.Q(), fast.Q()));
    ASSERT_EQ(plainAudio.size(), fastAudio.size());
    ASSERT_TRUE(plainAudio == fastAudio);
  }
}
