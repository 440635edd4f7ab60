// The engine's render against the straightforward reference engine
// (tests/perf/ReferenceEngine.cpp): every sample must be equal, bit for bit,
// on every render path the processor can run, with flush-to-zero set as the
// instrument's render sets it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../engine/AllocCounter.h"
#include "../engine/EmulatedAvx512.h"
#include "../instrument/InstrumentFixture.h"
#include "FactoryNames.h"
#include "Quarvi.h"
#include "Random.h"
#include "ReferenceEngine.h"
#include "VoiceState.h"
#include "Workloads.h"

namespace {

// A render path, or the eight-lane one over emulated AVX-512 instructions
// (tests/engine/EmulatedAvx512.h), which runs on every processor.
struct Path {
  RenderPath path;
  bool emulated = false;
};

std::vector<Path> Paths() {
  std::vector<Path> paths{{RenderPath::kPerVoice}, {RenderPath::kSse2}};
  if (RenderPathAvailable(RenderPath::kAvx2)) paths.push_back({RenderPath::kAvx2});
  if (RenderPathAvailable(RenderPath::kAvx512)) paths.push_back({RenderPath::kAvx512});
  if (EmulatedAvx512Steps()) paths.push_back({RenderPath::kAvx512, true});
  return paths;
}

const char* Name(Path p) {
  switch (p.path) {
    case RenderPath::kPerVoice:
      return "per-voice";
    case RenderPath::kSse2:
      return "SSE2";
    case RenderPath::kAvx2:
      return "AVX2";
    case RenderPath::kAvx512:
      return p.emulated ? "AVX-512 (emulated)" : "AVX-512";
    default:
      return "auto";
  }
}

struct ForcePath {
  explicit ForcePath(Path p) {
    if (p.emulated) voicerender::SetEightLaneStepsForTesting(EmulatedAvx512Steps());
    SetRenderPath(p.path);
  }
  ~ForcePath() {
    SetRenderPath(RenderPath::kAuto);
    voicerender::SetEightLaneStepsForTesting(nullptr);
  }
};

struct Audio {
  std::vector<double> left, right;
};

// Index of the first sample whose bits differ, or -1.
long FirstDifference(const Audio& a, const Audio& b) {
  if (a.left.size() != b.left.size()) return 0;
  for (size_t i = 0; i < a.left.size(); ++i) {
    if (std::memcmp(&a.left[i], &b.left[i], sizeof(double)) != 0 ||
        std::memcmp(&a.right[i], &b.right[i], sizeof(double)) != 0)
      return static_cast<long>(i);
  }
  return -1;
}

// ---- the benchmark workloads ------------------------------------------------

Audio RenderScene(workload::Scene& s, workload::Engine e, int blocks) {
  Audio a;
  for (int b = 0; b < blocks; ++b) {
    s.RenderHostBlock(e);
    a.left.insert(a.left.end(), s.left, s.left + workload::kHostBlock);
    a.right.insert(a.right.end(), s.right, s.right + workload::kHostBlock);
  }
  return a;
}

TEST(ReferenceRender, BenchmarkWorkloadsMatchBitForBit) {
  // Which paths this processor runs, for the log: on one without AVX2 only
  // the first two are compared.
  std::string names;
  for (Path p : Paths()) names += std::string(" ") + Name(p);
  std::printf("[          ] render paths compared:%s\n", names.c_str());
  struct {
    int voices, type;
  } const kWorkloads[] = {{1, Formant::kFixed}, {64, Formant::kFixed}, {64, Formant::kPartial}, {64, Formant::kRing}};
  const int blocks = static_cast<int>(workload::kSampleRate / workload::kHostBlock);  // one second
  for (const auto& w : kWorkloads) {
    ResetRandomGenerators();
    auto ref = std::make_unique<workload::Scene>(w.voices, w.type);
    const Audio expected = RenderScene(*ref, workload::Engine::kReference, blocks);
    for (Path path : Paths()) {
      SCOPED_TRACE(std::to_string(w.voices) + " voices, type " + std::to_string(w.type) + ", " + Name(path));
      ForcePath force(path);
      ResetRandomGenerators();
      auto opt = std::make_unique<workload::Scene>(w.voices, w.type);
      const Audio got = RenderScene(*opt, workload::Engine::kOptimized, blocks);
      EXPECT_EQ(-1, FirstDifference(expected, got));
      for (int v = 0; v < w.voices; ++v)
        ASSERT_EQ("", voice_state::Difference(ref->voices[v], opt->voices[v])) << "voice " << v;
    }
  }
}

// ---- every factory program through the instrument -----------------------------

// Note 60, then a chord on top, a mod wheel and pitch bend move, all notes
// released, and the release tails. Host blocks of hostBlock samples.
Audio PlayProgram(Quarvi& q, bool reference, double rate, int hostBlock, double seconds) {
  const int total = static_cast<int>(rate * seconds);
  const int chordAt = total / 5, wheelAt = total * 2 / 5, bendAt = total / 2, releaseAt = total * 3 / 5;
  Audio a;
  a.left.assign(total, 0.0);
  a.right.assign(total, 0.0);
  for (int pos = 0; pos < total; pos += hostBlock) {
    const int n = std::min(hostBlock, total - pos);
    auto at = [&](int t) { return t >= pos && t < pos + n; };
    if (pos == 0) q.HandleMidiMessage(Midi(0x90, 60, 100, 0));
    if (at(chordAt)) {
      for (int key : {64, 67, 72}) q.HandleMidiMessage(Midi(0x90, key, 90, chordAt - pos));
    }
    if (at(wheelAt)) q.HandleMidiMessage(Midi(0xB0, 1, 100, wheelAt - pos));
    if (at(bendAt)) q.HandleMidiMessage(Midi(0xE0, 0, 96, bendAt - pos));
    if (at(releaseAt)) {
      for (int key : {60, 64, 67, 72}) q.HandleMidiMessage(Midi(0x80, key, 0, releaseAt - pos));
    }
    double* out[2] = {a.left.data() + pos, a.right.data() + pos};
    if (reference)
      ReferenceEngine::ProcessBlock(q, out, n);
    else
      q.ProcessBlock(nullptr, out, n);
  }
  return a;
}

// Loads program p and starts from silence: voices re-initialised, controllers
// centred.
void Prepare(Quarvi& q, int p, double rate, int hostBlock) {
  ASSERT_TRUE(q.LoadProgramSlot(p));
  q.SetSampleRate(rate == 44100 ? 48000 : 44100);
  q.ResetProcessing();
  q.SetSampleRate(rate);
  q.SetBlockSize(hostBlock);
  q.ResetProcessing();
  q.SetActive(true);
}

void CheckFactoryPrograms(double rate, int hostBlock, double seconds) {
  const std::vector<Path> paths = Paths();
  std::unique_ptr<Quarvi> ref(new Quarvi(nullptr));
  std::vector<std::unique_ptr<Quarvi>> opt;
  for (size_t i = 0; i < paths.size(); ++i) opt.emplace_back(new Quarvi(nullptr));
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    Prepare(*ref, p, rate, hostBlock);
    ResetRandomGenerators();
    const Audio expected = PlayProgram(*ref, true, rate, hostBlock, seconds);
    for (size_t i = 0; i < paths.size(); ++i) {
      SCOPED_TRACE(std::string(kFactoryProgramNames[p]) + ", " + Name(paths[i]));
      ForcePath force(paths[i]);
      Prepare(*opt[i], p, rate, hostBlock);
      ResetRandomGenerators();
      const Audio got = PlayProgram(*opt[i], false, rate, hostBlock, seconds);
      ASSERT_EQ(-1, FirstDifference(expected, got));
      for (int v = 0; v < VoicePool::kSlots; ++v)
        ASSERT_EQ("", voice_state::Difference(ref->Pool().voices[v], opt[i]->Pool().voices[v])) << "voice " << v;
    }
  }
}

TEST(ReferenceRender, FactoryProgramsMatchBitForBit) { CheckFactoryPrograms(48000, 64, 1.5); }

// Control blocks of 44 samples cut by host blocks of 100.
TEST(ReferenceRender, FactoryProgramsMatchBitForBitInOddBlocks) { CheckFactoryPrograms(44100, 100, 0.6); }

// ---- voices in every state and set-up ------------------------------------------

// Random voices: formants on and off, mixed types within and across voices,
// idle and free-running voices in between, modulation that moves every
// control block, and now and then values far outside what parameters give
// (which the vector kernels must leave to the per-voice path).
struct RandomVoices {
  EngineShared shared;
  Voice voices[16];
  std::mt19937 rng;
  double U() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); }

  RandomVoices(unsigned seed, double rate) : rng(seed) {
    shared.controlBlockLength = static_cast<int>(rate) / 1000;
    const bool sameSetup = U() < 0.5;  // most instruments: one set-up for all voices
    int types[6];
    bool enabled[6];
    double bandwidths[3];  // one parameter per formant slot, as the instrument has it
    for (int j = 0; j < 6; ++j) {
      types[j] = static_cast<int>(U() * 3);
      enabled[j] = U() < 0.8;
    }
    for (double& b : bandwidths) b = U() < 0.2 ? 0.0 : U();
    for (Voice& v : voices) {
      v.Attach(&shared);
      v.SetSampleRate(rate);
      for (int o = 0; o < 2; ++o) {
        Oscillator& osc = v.osc[o];
        osc.pitchOffset = std::floor(U() * 3000) - 600;
        osc.fm1Source = v.SourceFor(static_cast<int>(U() * kNumModSources));
        osc.fm1Amount = (U() - 0.5) * 7681;
        osc.pitchBendRange = 128 * 12;
        for (int j = 0; j < 3; ++j) {
          Formant& f = osc.formant[j];
          f.enabled = sameSetup ? enabled[o * 3 + j] : U() < 0.8;
          f.type = sameSetup ? types[o * 3 + j] : static_cast<int>(U() * 3);
          f.bandwidth = sameSetup ? bandwidths[j] : (U() < 0.2 ? 0.0 : U());
          f.fixedPitch = U() * 15873 * 1.1 - 300;
          f.partial = 1 + U() * 49;
          f.volume = U();
          f.send = U() < 0.3 ? std::floor(U() * 2) : U();
          f.fm1Source = v.SourceFor(static_cast<int>(U() * kNumModSources));
          f.fm1Pitch = (U() - 0.5) * 2 * 7681;
          f.fm1Ratio = (U() - 0.5) * 2;
          f.fm2Source = v.SourceFor(kSrcWheel);
          f.fm2Pitch = U();
          f.fm2Ratio = U() - 0.5;
          f.amSource = v.SourceFor(static_cast<int>(U() * 13));
          f.amAmount = (U() - 0.5) * 2;
        }
      }
      for (int b = 0; b < 2; ++b) {
        v.bus[b].level = 2 * U();
        v.bus[b].pan = U();
        v.bus[b].panAmount = U() - 0.5;
        v.bus[b].panSource = v.SourceFor(static_cast<int>(U() * kNumModSources));
      }
      for (int l = 0; l < 3; ++l) {
        v.lfo[l].SetRate(0.3 + 0.5 * U());
        v.lfo[l].wave = static_cast<int>(U() * 7);
        v.lfo[l].depth = U();
      }
      v.env[0].SetAttack(0.3 * U());
      v.env[0].SetDecay(U());
      v.env[0].SetSustain(U());
      v.env[0].SetRelease(0.3 * U());
      v.freeRun = U() < 0.3;
      if (U() < 0.75) v.NoteOn(20 + static_cast<int>(U() * 80), 1 + static_cast<int>(U() * 126), 1, 0);
      if (v.active) v.targetPitch = v.key * 128;
      v.glidePitch = v.key * 128;
    }
  }

  // Block-rate changes: controllers, releases, new notes, type switches and
  // the odd absurd value.
  void Step(int block) {
    shared.pitchBend = (U() - 0.5) * 2;
    shared.pitchBendUnipolar = (shared.pitchBend + 1) * 0.5;
    shared.modWheel = U();
    for (Voice& v : voices) {
      const double x = U();
      if (x < 0.01) v.Release();
      if (x > 0.995) v.NoteOn(30 + static_cast<int>(U() * 60), 100, block, (30 + static_cast<int>(U() * 60)) * 128);
      if (U() < 0.01) v.osc[static_cast<int>(U() * 2)].formant[static_cast<int>(U() * 3)].type = static_cast<int>(U() * 3);
      if (U() < 0.003) v.osc[0].formant[0].partial = 1e12;  // far beyond any parameter
      if (U() < 0.003) v.osc[1].formant[2].partial = 1e-12;
      if (U() < 0.002) v.osc[0].formant[1].bandwidth = U();  // a voice out of step with the others
    }
  }
};

TEST(ReferenceRender, RandomVoicesMatchBitForBit) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
      ResetRandomGenerators();
      auto ref = std::make_unique<RandomVoices>(seed, rate);
      const int B = ref->shared.controlBlockLength;
      std::vector<double> el(B), er(B);
      std::vector<std::vector<double>> expected;
      {
        ScopedFlushDenormals flush;
        for (int b = 0; b < 120; ++b) {
          ref->Step(b);
          for (Voice& v : ref->voices) ReferenceEngine::VoiceControlUpdate(v);
          std::fill(el.begin(), el.end(), 0.0);
          std::fill(er.begin(), er.end(), 0.0);
          // Hosts may cut a control block in two.
          const int cut = b % 3 == 0 ? B / 3 : B;
          for (Voice& v : ref->voices) ReferenceEngine::VoiceRender(v, el.data(), er.data(), cut);
          for (Voice& v : ref->voices) ReferenceEngine::VoiceRender(v, el.data() + cut, er.data() + cut, B - cut);
          expected.push_back(el);
          expected.push_back(er);
        }
      }
      for (Path path : Paths()) {
        SCOPED_TRACE("rate " + std::to_string(rate) + " seed " + std::to_string(seed) + " " + Name(path));
        ForcePath force(path);
        ResetRandomGenerators();
        auto opt = std::make_unique<RandomVoices>(seed, rate);
        ScopedFlushDenormals flush;
        for (int b = 0; b < 120; ++b) {
          opt->Step(b);
          for (Voice& v : opt->voices) v.ControlUpdate();
          std::fill(el.begin(), el.end(), 0.0);
          std::fill(er.begin(), er.end(), 0.0);
          const int cut = b % 3 == 0 ? B / 3 : B;
          {
            AllocationScope noAllocation;
            RenderVoices(opt->voices, 16, el.data(), er.data(), cut);
            RenderVoices(opt->voices, 16, el.data() + cut, er.data() + cut, B - cut);
            ASSERT_EQ(0, noAllocation.Count());
          }
          ASSERT_EQ(0, std::memcmp(el.data(), expected[2 * b].data(), B * sizeof(double))) << "block " << b;
          ASSERT_EQ(0, std::memcmp(er.data(), expected[2 * b + 1].data(), B * sizeof(double))) << "block " << b;
        }
        for (int v = 0; v < 16; ++v)
          ASSERT_EQ("", voice_state::Difference(ref->voices[v], opt->voices[v])) << "voice " << v;
      }
    }
  }
}

}  // namespace
