// The render frame as a host drives it: control blocks, event timing, output
// stage, floating-point mode, silence without a reset.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "OutputStage.h"
#include "Quarvi.h"
#include "TestInstrument.h"

namespace {

TEST(OutputStage, SoftClipMeetsFullScaleAtThree) {
  EXPECT_EQ(SoftClip(3.0), 1.0);
  EXPECT_EQ(SoftClip(-3.0), -1.0);
  EXPECT_EQ(SoftClip(5.0), 1.0);
  EXPECT_EQ(SoftClip(-5.0), -1.0);
  EXPECT_DOUBLE_EQ(SoftClip(0.5), 0.5 * 27.25 / 29.25);
}

TEST(OutputStage, ClipIndicatorUsesGainedValueBeforeSoftClip) {
  double l[1] = {1.0}, r[1] = {0.0};
  EXPECT_FALSE(ApplyOutputStage(l, r, 1, 1.0, false));
  l[0] = 1.0000001;
  EXPECT_TRUE(ApplyOutputStage(l, r, 1, 1.0, false));
  // With soft clip on, a sum of 3 comes out at full scale but still counts as clipped.
  l[0] = 3.0;
  EXPECT_TRUE(ApplyOutputStage(l, r, 1, 1.0, true));
  EXPECT_EQ(l[0], 1.0);
  // The gain applies after the soft clip.
  l[0] = 5.0;
  r[0] = -5.0;
  ApplyOutputStage(l, r, 1, 0.5, true);
  EXPECT_EQ(l[0], 0.5);
  EXPECT_EQ(r[0], -0.5);
}

TEST(RenderFrame, ControlBlockLengthFollowsSampleRate) {
  TestInstrument t;
  for (auto [rate, block] : {std::pair<double, int>{44100, 44}, {22050, 22}, {192000, 192}, {48000, 48}}) {
    t.Reset(rate, 512);
    EXPECT_EQ(t.q->ControlBlockLength(), block) << rate;
  }
}

// A host need not set a rate or a block size: a new instance plays at 44.1
// kHz with 1024-frame blocks.
TEST(RenderFrame, PlaysAtTheDefaultRateWithoutAReset) {
  TestInstrument t(/*reset=*/false);
  EXPECT_EQ(t.q->ControlBlockLength(), 44);
  EXPECT_EQ(t.q->EngineSampleRate(), 44100.0);
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  EXPECT_GT(t.Render(300).Peak(), 0.0);
}

// Without a control block the render cannot drain the queue: what it would
// queue is dropped rather than piling up for a later reset to play at once.
TEST(RenderFrame, RateBelowOneKilohertzIsSilentAndQueuesNothing) {
  TestInstrument t;
  t.Reset(800, 64);
  for (int i = 0; i < 5000; ++i) {
    t.q->HandleMidiMessage(NoteOn(60 + i % 12, 100, i % 64));
    t.q->HandleMidiMessage(ControlChange(7, i % 128, 0));
  }
  EXPECT_EQ(t.q->Queue().Pending(), 0);
  auto out = t.Render(200);
  EXPECT_EQ(out.Peak(), 0.0);
  t.Reset(44100, 64);
  EXPECT_EQ(t.Render(200).Peak(), 0.0);
}

TEST(RenderFrame, ZeroFramesRunsNoControlUpdate) {
  TestInstrument t;
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  t.Render(0);
  EXPECT_FALSE(t.q->Pool().voices[0].active);
  t.Render(1);
  EXPECT_TRUE(t.q->Pool().voices[0].active);
}

TEST(RenderFrame, ShortBuffersContinueTheSameControlBlock) {
  TestInstrument t;  // 44.1 kHz: 44-sample control blocks
  t.Render(10);      // boundary at sample 0; 34 samples of this block left
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  t.Render(10);
  EXPECT_FALSE(t.q->Pool().voices[0].active) << "applied before the next boundary";
  t.Render(24);  // samples 20..43: the rest of the first control block
  EXPECT_FALSE(t.q->Pool().voices[0].active);
  t.Render(1);  // sample 44 starts on the boundary
  EXPECT_TRUE(t.q->Pool().voices[0].active);
}

TEST(RenderFrame, NoteBeyondFirstBlockStartsAtItsBoundary) {
  TestInstrument t;  // B = 44, the next buffer starts on a boundary
  t.q->HandleMidiMessage(NoteOn(69, 100, 70));
  auto out = t.Render(200);
  for (int i = 0; i < 44; ++i) ASSERT_EQ(out.left[i], 0.0) << i;
  double early = 0;
  for (int i = 44; i < 50; ++i) early = std::max(early, std::fabs(out.left[i]));
  EXPECT_GT(early, 0.0);
}

TEST(RenderFrame, PitchBendBeyondFirstBlockShiftsHalfABlock) {
  TestInstrument t;
  t.q->HandleMidiMessage(PitchBend(0x3FFF, 70));  // becomes 92: applied at sample 88
  t.Render(88);
  EXPECT_EQ(t.q->Shared().pitchBend, 0.0);
  t.Render(1);
  EXPECT_DOUBLE_EQ(t.q->Shared().pitchBend, 8191.0 / 8192.0);

  TestInstrument u;
  u.q->HandleMidiMessage(PitchBend(0, 30));  // not shifted: applied at sample 0
  u.Render(1);
  EXPECT_EQ(u.q->Shared().pitchBend, -1.0);
  EXPECT_EQ(u.q->Shared().pitchBendUnipolar, 0.0);
}

TEST(RenderFrame, AllNotesOffActsBeforeQueuedNotesOfTheSameBuffer) {
  TestInstrument t;
  t.SetParam("Voices", 3);  // four lead voices
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  t.Render(100);
  Voice& first = t.q->Pool().voices[0];
  ASSERT_TRUE(first.active);
  t.q->HandleMidiMessage(NoteOn(64, 100, 10));
  t.q->HandleMidiMessage(ControlChange(123, 0, 20));
  EXPECT_EQ(first.env[0].stage, 4) << "released at once";
  t.Render(100);
  bool found = false;
  for (int v = 0; v < 4; ++v) {
    const Voice& voice = t.q->Pool().voices[v];
    if (voice.key == 64 && voice.active && voice.keyDown) found = true;
  }
  EXPECT_TRUE(found) << "the queued note-on still sounds";
}

TEST(RenderFrame, VelocityZeroNoteOnIsANoteOff) {
  TestInstrument t;
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  t.Render(50);
  t.q->HandleMidiMessage(NoteOn(60, 0, 0));
  t.Render(50);
  EXPECT_FALSE(t.q->Pool().voices[0].keyDown);
  EXPECT_EQ(t.q->Pool().voices[0].env[0].stage, 4);
}

TEST(RenderFrame, RestoresCallersFloatingPointMode) {
  TestInstrument t;
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  const unsigned before = _mm_getcsr();
  t.Render(500);
  EXPECT_EQ(_mm_getcsr(), before);
  _mm_setcsr(before | 0x8040);
  t.Render(500);
  EXPECT_EQ(_mm_getcsr(), before | 0x8040);
  _mm_setcsr(before);
}

TEST(RenderFrame, LongDecayNeverProducesDenormals) {
  // Sustain 0 with the longest decay: the level approaches zero for minutes.
  // With flush-to-zero it reaches exact zero instead of crawling through
  // denormal numbers, which would slow the render down many times over.
  TestInstrument t;
  t.SetParam("Env 1 D", 0.35);
  t.SetParam("Env 1 S", 0.0);
  t.q->HandleMidiMessage(NoteOn(60, 100, 0));
  const int kBlocks = 44100 * 60 / 441;  // one minute
  int denormals = 0;
  for (int b = 0; b < kBlocks; ++b) {
    auto out = t.Render(441);
    for (double s : out.left)
      if (std::fpclassify(s) == FP_SUBNORMAL) ++denormals;
    if (std::fpclassify(t.q->Pool().voices[0].env[0].level) == FP_SUBNORMAL) ++denormals;
  }
  EXPECT_EQ(denormals, 0);
  EXPECT_TRUE(t.q->Pool().voices[0].active) << "sustain 0 holds the voice until release";
}

TEST(RenderFrame, LoweringVoicesFreezesSlotsBeyondTheActiveCount) {
  TestInstrument t;
  t.SetParam("Env 1 R", 0.5);
  t.SetParam("Voices", 3);  // four lead voices
  for (int k = 0; k < 4; ++k) t.q->HandleMidiMessage(NoteOn(60 + k, 100, 0));
  t.Render(2000);
  for (int v = 0; v < 4; ++v) ASSERT_TRUE(t.q->Pool().voices[v].active) << v;

  t.SetParam("Voices", 0);  // one lead voice: everything is released
  EXPECT_EQ(t.q->Pool().activeVoiceCount, 1);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(t.q->Pool().voices[v].env[0].stage, 4) << v;
  t.Render(500);
  const double frozen = t.q->Pool().voices[2].env[0].level;
  t.Render(500);
  EXPECT_EQ(t.q->Pool().voices[2].env[0].level, frozen) << "slots beyond the count are not rendered";
  EXPECT_GT(frozen, 0.0);

  t.SetParam("Voices", 3);  // the slot comes back before reuse: its release continues
  t.Render(500);
  EXPECT_LT(t.q->Pool().voices[2].env[0].level, frozen);
}

}  // namespace
