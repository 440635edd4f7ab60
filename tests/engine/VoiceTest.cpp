#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <type_traits>
#include <vector>

#include "AllocCounter.h"
#include "Random.h"
#include "SpectrumProbe.h"
#include "Voice.h"

static_assert(!std::is_copy_constructible<Voice>::value, "voices hand out pointers to themselves");
static_assert(!std::is_copy_assignable<Voice>::value, "voices hand out pointers to themselves");

namespace {
constexpr double kRate = 44100.0;
constexpr int kBlock = 44;

// A voice with one audible formant: oscillator 1, F1 "Partial" 1, all into
// bus 1 at level 1, panned centre.
void SimpleSound(Voice& v) {
  Formant& f = v.osc[0].formant[0];
  f.enabled = true;
  f.type = Formant::kPartial;
  f.partial = 1.0;
  f.volume = 1.0;
  f.send = 0.0;
  v.bus[0].level = 1.0;
  v.bus[0].pan = 0.5;
  v.env[0].SetAttack(0.0);
  v.env[0].SetDecay(0.5);
  v.env[0].SetSustain(1.0);
  v.env[0].SetRelease(0.0);
}

// Runs `blocks` control blocks as the render frame does and returns the left
// and right output.
void RunBlocks(Voice& v, int blocks, std::vector<double>* left, std::vector<double>* right = nullptr) {
  double l[kBlock], r[kBlock];
  for (int b = 0; b < blocks; ++b) {
    std::fill(l, l + kBlock, 0.0);
    std::fill(r, r + kBlock, 0.0);
    v.ControlUpdate();
    v.Render(l, r, kBlock);
    if (left) left->insert(left->end(), l, l + kBlock);
    if (right) right->insert(right->end(), r, r + kBlock);
  }
}
}  // namespace

TEST(BusStagePan, LinearPanLaw) {
  BusStage b;
  b.level = 0.8;
  double l, r;
  b.pan = 0.5;
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.4);
  EXPECT_EQ(r, 0.4);
  b.pan = 0.0;
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.8);
  EXPECT_EQ(r, 0.0);
  b.pan = 1.0;
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.8);
  const double on = 1.0;
  b.pan = 0.5;
  b.panAmount = 1.0;
  b.panSource = &on;  // 1.5: beyond the right edge
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.8);
  const double minusOne = -1.0;
  b.panSource = &minusOne;  // -0.5: beyond the left edge
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.8);
  EXPECT_EQ(r, 0.0);
}

TEST(BusStageAm, NonPositiveDepthProductIsSilent) {
  BusStage b;
  b.level = 1.0;
  double l = -1, r = -1;
  const double on = 1.0, notePlus = 2.0;
  b.am1Source = &on;
  b.am1Amount = -1.0;  // depth 0
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.0);
  b.am1Source = &notePlus;  // depth 1 - 2 = -1: negative
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.0);
  EXPECT_EQ(r, 0.0);
  b.am2Source = &notePlus;
  b.am2Amount = -1.0;  // (-1) * (-1): positive again, sounds
  b.Compute(&l, &r);
  EXPECT_EQ(l, 0.5);
  EXPECT_EQ(r, 0.5);
  b.level = 0.0;
  b.Compute(&l, &r);
  EXPECT_EQ(l + r, 0.0);
  b.level = -1.0;
  b.Compute(&l, &r);
  EXPECT_EQ(l + r, 0.0);
}

TEST(VoiceSetup, ConstructedAt44100) {
  Voice v;
  EXPECT_EQ(v.sampleRate, 44100.0);
  EXPECT_EQ(v.blockLength, 44);
  EXPECT_FALSE(v.active);
  EXPECT_EQ(v.key, 48);
  EXPECT_EQ(v.glidePitch, 6144.0);
  EXPECT_EQ(v.env[0].timeScale, std::log(10.0) / 44100.0);
  EXPECT_EQ(v.env[1].timeScale, 0.002302585092994046);
  // Every source starts on a constant zero.
  EXPECT_EQ(*v.osc[0].fm1Source, 0.0);
  EXPECT_EQ(*v.osc[1].pitchBendSource, 0.0);
  EXPECT_EQ(*v.bus[1].panSource, 0.0);
  EXPECT_EQ(*v.lfo[2].depthSource, 0.0);
  EXPECT_EQ(*v.osc[1].formant[2].amSource, 0.0);
}

TEST(VoiceSetup, SourcesPointAtLiveValues) {
  EngineShared shared;
  Voice v;
  v.Attach(&shared);
  EXPECT_EQ(v.SourceFor(0), &v.zero);
  EXPECT_EQ(v.SourceFor(-1), &v.zero);
  EXPECT_EQ(v.SourceFor(19), &v.zero);
  EXPECT_EQ(v.SourceFor(1), &v.one);
  EXPECT_EQ(v.SourceFor(2), &v.lfo[0].outputPlus);
  EXPECT_EQ(v.SourceFor(4), &v.lfo[2].outputPlus);
  EXPECT_EQ(v.SourceFor(5), &v.env[0].level);
  EXPECT_EQ(v.SourceFor(7), &v.env[2].level);
  EXPECT_EQ(v.SourceFor(8), &v.velocity);
  EXPECT_EQ(v.SourceFor(9), &v.notePlus);
  EXPECT_EQ(v.SourceFor(10), &v.rndPlus);
  EXPECT_EQ(v.SourceFor(11), &shared.pitchBendUnipolar);
  EXPECT_EQ(v.SourceFor(12), &shared.modWheel);
  EXPECT_EQ(v.SourceFor(13), &v.lfo[0].output);
  EXPECT_EQ(v.SourceFor(15), &v.lfo[2].output);
  EXPECT_EQ(v.SourceFor(16), &v.noteBipolar);
  EXPECT_EQ(v.SourceFor(17), &v.rnd);
  EXPECT_EQ(v.SourceFor(18), &shared.pitchBend);
  EXPECT_EQ(v.osc[0].pitchBendSource, &shared.pitchBend);
  EXPECT_EQ(v.osc[1].pitchBendSource, &shared.pitchBend);
  // A sample-rate change keeps the oscillators on the shared pitch bend.
  v.SetSampleRate(48000.0);
  EXPECT_EQ(v.osc[1].pitchBendSource, &shared.pitchBend);
  EXPECT_EQ(v.blockLength, 48);
}

TEST(VoiceNoteOn, PerNoteSourcesAndRandomDraws) {
  ResetRandomGenerators();
  const double firstDraw = DrawLfoRandom(), secondDraw = DrawLfoRandom(), thirdDraw = DrawLfoRandom();
  ResetRandomGenerators();
  Voice v;
  v.NoteOn(72, 100, 5, 72 * 128);
  EXPECT_TRUE(v.active);
  EXPECT_TRUE(v.keyDown);
  EXPECT_EQ(v.key, 72);
  EXPECT_EQ(v.noteVelocity, 100);
  EXPECT_EQ(v.serial, 5);
  EXPECT_EQ(v.notePlus, 72 / 60.0);
  EXPECT_EQ(v.noteBipolar, 24 / 60.0);
  EXPECT_EQ(v.velocity, 100 / 127.0);
  EXPECT_EQ(v.lfo[0].heldRandom, firstDraw);
  EXPECT_EQ(v.lfo[1].heldRandom, secondDraw);
  EXPECT_EQ(v.lfo[2].heldRandom, thirdDraw);
  EXPECT_EQ(v.rnd, firstDraw);  // the note generator is separate
  EXPECT_EQ(v.rndPlus, (firstDraw + 1) * 0.5);
  EXPECT_EQ(v.glidePitch, 72 * 128);
  for (const Envelope& e : v.env) EXPECT_EQ(e.stage, Envelope::kDelay);

  Voice low;
  low.NoteOn(0, 1, 1, 0);
  EXPECT_NEAR(low.noteBipolar, -0.8, 1e-15);
  low.NoteOn(127, 127, 2, 127 * 128);
  EXPECT_NEAR(low.notePlus, 2.1167, 1e-4);
  EXPECT_EQ(low.velocity, 1.0);
}

TEST(VoiceNoteOn, RetriggerRestartsOnlyRetriggeredLfos) {
  Voice v;
  for (Lfo& l : v.lfo) l.counter = 17;
  v.lfo[1].retrigger = true;
  v.NoteOn(60, 100, 1, 60 * 128);
  EXPECT_EQ(v.lfo[0].counter, 17);
  EXPECT_EQ(v.lfo[1].counter, 0);
  EXPECT_EQ(v.lfo[2].counter, 17);
}

TEST(VoiceGlide, PortamentoGlidesLinearlyPerControlBlock) {
  Voice v;
  v.portamentoTime = 0.01;  // 10 control blocks
  v.detune = 8;
  v.NoteOn(60, 100, 1, 60 * 128);
  EXPECT_EQ(v.targetPitch, 60 * 128 + 8);
  EXPECT_EQ(v.glideTicksLeft, 10);
  EXPECT_EQ(v.glidePitch, 6144.0);  // from key 48, where a fresh voice sits
  EXPECT_DOUBLE_EQ(v.glideStep, (7688 - 6144) / 10.0);
  for (int i = 0; i < 9; ++i) v.ControlUpdate();
  EXPECT_NEAR(v.glidePitch, 6144 + 9 * 154.4, 1e-9);
  v.ControlUpdate();
  EXPECT_EQ(v.glidePitch, 7688.0);  // lands exactly
  EXPECT_EQ(v.glideTicksLeft, 0);

  v.portamentoTime = 0.0005;  // under one block: jumps
  v.NoteOn(40, 100, 2, 40 * 128);
  EXPECT_EQ(v.glidePitch, 40 * 128 + 8);
  EXPECT_EQ(v.glideStep, 0.0);
  v.portamentoTime = 0;
  v.NoteOn(41, 100, 3, 41 * 128);
  EXPECT_EQ(v.glidePitch, 41 * 128 + 8);
}

TEST(VoiceRender, InactiveVoiceAddsNothing) {
  Voice v;
  SimpleSound(v);
  std::vector<double> out;
  RunBlocks(v, 10, &out);
  EXPECT_EQ(Peak(out), 0.0);
}

TEST(VoiceRender, ActiveVoiceSoundsItsEnvelopeShapedBusMix) {
  Voice v;
  SimpleSound(v);
  v.bus[0].level = 0.8;
  v.NoteOn(69, 127, 1, 69 * 128);
  std::vector<double> left, right;
  RunBlocks(v, 2, &left, &right);
  EXPECT_EQ(left, right);  // centre
  // The attack takes 220 samples: the first samples are quiet, the output
  // grows towards the sustained level.
  EXPECT_LT(Peak(std::vector<double>(left.begin(), left.begin() + 10)), 0.05);
  left.clear();
  right.clear();
  RunBlocks(v, 500, &left, &right);
  const double f0 = v.osc[0].table->inc[69 * 128] * kRate / 268435456.0;
  EXPECT_NEAR(AmplitudeAt(left, f0, kRate), 0.4, 0.002);  // level 0.8, half per side
  EXPECT_NEAR(AmplitudeAt(right, f0, kRate), 0.4, 0.002);
  EXPECT_TRUE(v.active);

  // Release: fades within about 220 samples, then the voice ends.
  v.Release();
  left.clear();
  RunBlocks(v, 6, &left);
  EXPECT_GT(Peak(std::vector<double>(left.begin(), left.begin() + 44)), 0.1);
  EXPECT_EQ(Peak(std::vector<double>(left.begin() + 230, left.end())), 0.0);
  EXPECT_FALSE(v.active);
  EXPECT_EQ(v.env[0].stage, Envelope::kIdle);
}

TEST(VoiceRender, BusesPanSeparately) {
  Voice v;
  SimpleSound(v);
  v.osc[0].formant[0].send = 1.0;  // all to bus 2
  v.bus[1].level = 1.0;
  v.bus[1].pan = 1.0;  // bus 2 hard right
  v.NoteOn(69, 127, 1, 69 * 128);
  std::vector<double> left, right;
  RunBlocks(v, 100, &left, &right);
  EXPECT_EQ(Peak(left), 0.0);
  EXPECT_GT(Peak(right), 0.9);
}

TEST(VoiceRender, AmplitudeEnvelopeRunsPerSample) {
  Voice v;
  SimpleSound(v);
  v.env[0].SetAttack(0.3);  // 10^(1.35-2.3) s, about 112 ms
  v.NoteOn(69, 127, 1, 69 * 128);
  RunBlocks(v, 1, nullptr);
  EXPECT_EQ(v.env[0].stage, Envelope::kAttack);
  const double before = v.env[0].level;
  double l[kBlock] = {}, r[kBlock] = {};
  v.ControlUpdate();
  v.Render(l, r, 20);
  v.Render(l + 20, r + 20, 24);  // a block cut in two: one step per sample all the same
  Envelope e;
  e.timeScale = std::log(10.0) / kRate;
  e.SetAttack(0.3);
  e.stage = Envelope::kAttack;
  e.level = before;
  e.target = 10.0 / 9.0;
  e.coefficient = e.Coefficient(0.3);
  for (int i = 0; i < 44; ++i) e.Step();
  EXPECT_EQ(v.env[0].level, e.level);
}

TEST(VoiceFreeRun, IdleVoiceKeepsItsPhasesRunning) {
  Voice v;
  SimpleSound(v);
  Formant& ring = v.osc[1].formant[1];
  ring.enabled = true;
  ring.type = Formant::kRing;
  ring.partial = 1.5;
  v.freeRun = true;
  v.NoteOn(60, 100, 1, 60 * 128);
  v.Release();
  RunBlocks(v, 20, nullptr);
  ASSERT_FALSE(v.active);
  const uint32_t phase = v.osc[0].phase;
  const int32_t inc = v.osc[0].increment;
  const uint32_t ringPhase = ring.formantPhase;
  const int64_t ringInc = ring.formantIncrement;
  RunBlocks(v, 3, nullptr);
  EXPECT_EQ(v.osc[0].phase, (phase + 132u * static_cast<uint32_t>(inc)) & kPhaseMask);
  EXPECT_EQ(ring.formantPhase, (ringPhase + 132u * static_cast<uint64_t>(ringInc)) & kPhaseMask);
  // A new note continues from there.
  const uint32_t now = v.osc[0].phase;
  v.NoteOn(60, 100, 2, 60 * 128);
  EXPECT_EQ(v.osc[0].phase, now);
  EXPECT_NE(now, 0u);
}

TEST(VoiceFreeRun, WithoutFreeRunANoteStartsAtPhaseZero) {
  Voice v;
  SimpleSound(v);
  Formant& ring = v.osc[1].formant[1];
  ring.enabled = true;
  ring.type = Formant::kRing;
  ring.partial = 1.5;
  v.NoteOn(60, 100, 1, 60 * 128);
  RunBlocks(v, 5, nullptr);
  v.Release();
  RunBlocks(v, 20, nullptr);
  ASSERT_FALSE(v.active);
  const uint32_t phase = v.osc[0].phase;
  RunBlocks(v, 3, nullptr);
  EXPECT_EQ(v.osc[0].phase, phase);  // idle and not free-running: frozen
  v.NoteOn(60, 100, 2, 60 * 128);
  for (const Oscillator& o : v.osc) {
    EXPECT_EQ(o.phase, 0u);
    for (const Formant& f : o.formant) EXPECT_EQ(f.formantPhase, 0u);
  }
}

TEST(VoiceLfos, IdleVoiceStepsOnlyFreeRunningLfos) {
  Voice v;
  for (Lfo& l : v.lfo) l.SetRate(std::pow(0.1, 0.25));  // 100 blocks
  v.lfo[2].retrigger = true;
  RunBlocks(v, 10, nullptr);
  EXPECT_EQ(v.lfo[0].counter, 90);
  EXPECT_EQ(v.lfo[1].counter, 90);
  EXPECT_EQ(v.lfo[2].counter, 0);
  v.ZeroLfos();
  for (const Lfo& l : v.lfo) {
    EXPECT_EQ(l.counter, 0);
    EXPECT_EQ(l.output, 0.0);
  }
}

TEST(VoicePedal, ReleasesOnlyWhenKeyAndPedalAreUp) {
  Voice v;
  v.NoteOn(60, 100, 1, 60 * 128);
  v.Pedal(true);
  EXPECT_TRUE(v.sustained);
  v.keyDown = false;
  EXPECT_NE(v.env[0].stage, Envelope::kRelease);
  v.Pedal(false);
  for (const Envelope& e : v.env) EXPECT_EQ(e.stage, Envelope::kRelease);

  Voice held;
  held.NoteOn(60, 100, 1, 60 * 128);
  held.Pedal(false);  // key still down
  for (const Envelope& e : held.env) EXPECT_EQ(e.stage, Envelope::kDelay);
}

TEST(VoiceSampleRate, ReinitialisesAndSilences) {
  Voice v;
  SimpleSound(v);
  v.NoteOn(60, 100, 9, 60 * 128);
  RunBlocks(v, 20, nullptr);
  v.SetSampleRate(96000.0);
  EXPECT_FALSE(v.active);
  EXPECT_EQ(v.key, 48);
  EXPECT_EQ(v.serial, 0);
  EXPECT_EQ(v.blockLength, 96);
  EXPECT_EQ(v.env[0].timeScale, std::log(10.0) / 96000.0);
  for (const Envelope& e : v.env) {
    EXPECT_EQ(e.stage, Envelope::kIdle);
    EXPECT_EQ(e.level, 0.0);
  }
  EXPECT_EQ(v.osc[0].table->sampleRate, 96000.0);
}

TEST(VoiceRealTime, ControlUpdateAndRenderAllocateNothing) {
  EngineShared shared;
  shared.controlBlockLength = 48;
  Voice voices[4];
  for (Voice& v : voices) {
    v.Attach(&shared);
    v.SetSampleRate(48000.0);
    for (Oscillator& o : v.osc)
      for (int j = 0; j < 3; ++j) {
        o.formant[j].enabled = true;
        o.formant[j].type = j;
        o.formant[j].volume = 0.5;
        o.formant[j].bandwidth = 0.3;
        o.formant[j].fm1Source = v.SourceFor(13);
        o.formant[j].fm1Ratio = 0.2;
      }
    v.bus[0].level = v.bus[1].level = 1.0;
    v.freeRun = true;
    for (Lfo& l : v.lfo) {
      l.SetRate(0.5);
      l.wave = Lfo::kSampleHold;
    }
    v.lfo[2].SetSync(true);
  }
  voices[0].NoteOn(60, 100, 1, 7680);
  voices[1].NoteOn(64, 100, 2, 8192);
  double l[48], r[48];
  AllocationScope scope;
  for (int b = 0; b < 200; ++b) {
    for (Voice& v : voices) v.ControlUpdate();
    for (Voice& v : voices) v.Render(l, r, 48);
    shared.tempoClock.Step(48);
    if (b == 100) voices[0].Release();
  }
  EXPECT_EQ(scope.Count(), 0);
}

TEST(AllocCounter, SeesAllocations) {
  AllocationScope scope;
  void* a = ::operator new(16);
  void* b = ::operator new[](32, std::nothrow);
  ::operator delete(a);
  ::operator delete[](b);
  EXPECT_EQ(scope.Count(), 2);
}

TEST(VoiceRender, LongerRequestThanABlockIsCutNotOverrun) {
  Voice a, b;
  for (Voice* v : {&a, &b}) {
    SimpleSound(*v);
    v->NoteOn(69, 127, 1, 69 * 128);
    v->ControlUpdate();
  }
  std::vector<double> la(100, 0.0), ra(100, 0.0), lb(100, 0.0), rb(100, 0.0);
  a.Render(la.data(), ra.data(), 100);
  b.Render(lb.data(), rb.data(), 44);
  b.Render(lb.data() + 44, rb.data() + 44, 44);
  b.Render(lb.data() + 88, rb.data() + 88, 12);
  EXPECT_EQ(la, lb);
  EXPECT_EQ(ra, rb);
  EXPECT_GT(Peak(la), 0.0);
}
