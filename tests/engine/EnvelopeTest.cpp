#include <gtest/gtest.h>

#include <cmath>

#include "Envelope.h"

namespace {
// Envelope 1 at 44.1 kHz: steps once per sample.
Envelope AmplitudeEnvelope() {
  Envelope e;
  e.timeScale = std::log(10.0) / 44100.0;
  return e;
}

// Steps until the stage changes; returns the number of steps taken.
int StepsUntilStageLeaves(Envelope& e, int stage, int limit = 10000000) {
  int n = 0;
  while (e.stage == stage && n < limit) {
    e.Step();
    ++n;
  }
  return n;
}
}  // namespace

TEST(EnvelopeTiming, ConstructedState) {
  Envelope e;
  EXPECT_EQ(e.stage, Envelope::kIdle);
  EXPECT_EQ(e.level, 0.0);
  EXPECT_EQ(e.timeScale, 0.002302585092994046);
  EXPECT_DOUBLE_EQ(e.timeScale, std::log(10.0) / 1000.0);
  e.Step();  // idle: nothing moves
  EXPECT_EQ(e.level, 0.0);
  EXPECT_EQ(e.stage, Envelope::kIdle);
}

TEST(EnvelopeTiming, FastestAttackReachesFullLevelAfter220Samples) {
  Envelope e = AmplitudeEnvelope();
  e.SetAttack(0.0);
  e.SetSustain(0.5);
  e.Trigger();
  EXPECT_EQ(e.stage, Envelope::kDelay);
  e.Step();  // the delay of envelope 1 is zero: straight into the attack
  EXPECT_EQ(e.stage, Envelope::kAttack);
  EXPECT_EQ(e.level, 0.0);
  const int attackSteps = StepsUntilStageLeaves(e, Envelope::kAttack);
  EXPECT_EQ(attackSteps, 220);  // 10^-2.3 s = 5.01 ms
  EXPECT_EQ(e.stage, Envelope::kDecay);
  EXPECT_EQ(e.level, 1.0);
  EXPECT_EQ(e.target, 0.5);
}

TEST(EnvelopeTiming, AttackStartingAtFullLevelGoesToDecayAtOnce) {
  Envelope e = AmplitudeEnvelope();
  e.SetAttack(1.0);  // would take minutes from zero
  e.SetDecay(0.3);
  e.SetSustain(0.25);
  e.level = 1.0;
  e.Trigger();
  e.Step();
  EXPECT_EQ(e.stage, Envelope::kDecay);
  EXPECT_EQ(e.level, 1.0);
  EXPECT_EQ(e.target, 0.25);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.3));
}

TEST(EnvelopeTiming, ReleaseDurationsFollowTheReleaseValue) {
  // Envelopes 2 and 3 count control blocks: x = 0.5 takes 891 blocks (0.891 s).
  Envelope e;
  e.SetRelease(0.5);
  e.level = 1.0;
  e.stage = Envelope::kDecay;
  e.Release();
  EXPECT_EQ(e.target, -1.0 / 9.0);
  EXPECT_EQ(StepsUntilStageLeaves(e, Envelope::kRelease), 891);
  EXPECT_EQ(e.stage, Envelope::kIdle);
  EXPECT_EQ(e.level, 0.0);

  Envelope a = AmplitudeEnvelope();
  a.SetRelease(0.0);
  a.level = 1.0;
  a.Release();
  EXPECT_EQ(StepsUntilStageLeaves(a, Envelope::kRelease), 220);
}

TEST(EnvelopeSustain, FullSustainHoldsAtOne) {
  Envelope e = AmplitudeEnvelope();
  e.SetSustain(1.0);
  e.Trigger();
  StepsUntilStageLeaves(e, Envelope::kDelay);
  StepsUntilStageLeaves(e, Envelope::kAttack);
  for (int i = 0; i < 100000; ++i) e.Step();
  EXPECT_EQ(e.stage, Envelope::kDecay);
  EXPECT_EQ(e.level, 1.0);
}

TEST(EnvelopeSustain, ZeroSustainApproachesZeroWithoutEnding) {
  Envelope e = AmplitudeEnvelope();
  e.SetSustain(0.0);
  e.SetDecay(0.0);
  e.Trigger();
  for (int i = 0; i < 2000000; ++i) e.Step();
  EXPECT_EQ(e.stage, Envelope::kDecay);
  EXPECT_GT(e.level, 0.0);
  EXPECT_LT(e.level, 1e-300);
}

TEST(EnvelopeDelay, DelayValuesCountControlBlocks) {
  Envelope e;
  e.SetDelay(1.0);
  EXPECT_EQ(e.delayTicks, 10000);
  e.SetDelay(0.5);
  EXPECT_EQ(e.delayTicks, 625);
  e.SetDelay(0.1);
  EXPECT_EQ(e.delayTicks, 1);
  e.SetDelay(0.0);
  EXPECT_EQ(e.delayTicks, 0);
}

TEST(EnvelopeDelay, AttackBeginsAfterTheDelay) {
  Envelope e;
  e.SetDelay(0.5);
  e.SetAttack(0.0);
  e.Trigger();
  // 625 steps wait, the 626th enters the attack.
  EXPECT_EQ(StepsUntilStageLeaves(e, Envelope::kDelay), 626);
  EXPECT_EQ(e.stage, Envelope::kAttack);
  EXPECT_EQ(e.level, 0.0);
}

TEST(EnvelopeDelay, RetriggeredReleaseKeepsFallingDuringTheDelayButNotBelowZero) {
  Envelope e;
  e.SetDelay(0.5);
  e.SetRelease(0.2);
  e.level = 0.8;
  e.Release();
  e.Trigger();
  EXPECT_EQ(e.stage, Envelope::kDelay);
  e.Step();
  EXPECT_LT(e.level, 0.8);
  for (int i = 0; i < 600; ++i) e.Step();
  EXPECT_EQ(e.stage, Envelope::kDelay);
  EXPECT_EQ(e.level, 0.0);
}

TEST(EnvelopeRunningChanges, ShorterDelayCutsARunningDelay) {
  Envelope e;
  e.SetDelay(1.0);
  e.Trigger();
  for (int i = 0; i < 5000; ++i) e.Step();
  EXPECT_EQ(e.delayLeft, 5000);
  e.SetDelay(0.1);
  EXPECT_EQ(e.delayLeft, 1);
  e.Step();
  EXPECT_EQ(e.stage, Envelope::kDelay);
  e.Step();
  EXPECT_EQ(e.stage, Envelope::kAttack);
  // A longer delay does not lengthen a running one.
  Envelope f;
  f.SetDelay(0.5);
  f.Trigger();
  f.Step();
  f.SetDelay(1.0);
  EXPECT_EQ(f.delayLeft, 624);
}

TEST(EnvelopeRunningChanges, StageValuesReachOnlyTheirOwnStage) {
  Envelope e;
  e.SetAttack(0.2);
  e.SetDecay(0.4);
  e.SetSustain(0.6);
  e.SetRelease(0.8);
  e.Trigger();
  e.Step();
  ASSERT_EQ(e.stage, Envelope::kAttack);
  e.SetDecay(0.9);
  e.SetRelease(0.1);
  e.SetSustain(0.3);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.2));
  EXPECT_EQ(e.target, 10.0 / 9.0);
  e.SetAttack(0.5);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.5));

  e.level = 1.0;
  e.Step();
  ASSERT_EQ(e.stage, Envelope::kDecay);
  EXPECT_EQ(e.target, 0.3);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.9));
  e.SetSustain(0.7);
  EXPECT_EQ(e.target, 0.7);
  e.SetDecay(0.1);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.1));
  e.SetAttack(0.0);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.1));

  e.Release();
  EXPECT_EQ(e.coefficient, e.Coefficient(0.1));  // release value set above
  e.SetRelease(0.6);
  EXPECT_EQ(e.coefficient, e.Coefficient(0.6));
  e.SetSustain(0.2);
  EXPECT_EQ(e.target, -1.0 / 9.0);
}

TEST(EnvelopeCoefficient, SlowestReleaseTakes158Point5Seconds) {
  Envelope e;  // control rate: one step per millisecond
  e.SetRelease(1.0);
  e.level = 1.0;
  e.Release();
  const int steps = StepsUntilStageLeaves(e, Envelope::kRelease);
  EXPECT_NEAR(steps, 158489, 2);
}

TEST(EnvelopeTrigger, MultiRestartsSingleCarriesOn) {
  for (int stage : {Envelope::kDelay, Envelope::kAttack, Envelope::kDecay}) {
    Envelope multi;
    multi.single = false;
    multi.stage = stage;
    multi.level = 0.5;
    multi.delayTicks = 7;
    multi.Trigger();
    EXPECT_EQ(multi.stage, Envelope::kDelay);
    EXPECT_EQ(multi.delayLeft, 7);
    EXPECT_EQ(multi.level, 0.5) << "a trigger never resets the level";

    Envelope single;
    single.single = true;
    single.stage = stage;
    single.delayLeft = 3;
    single.delayTicks = 7;
    single.Trigger();
    EXPECT_EQ(single.stage, stage);
    EXPECT_EQ(single.delayLeft, 3);
  }
  for (int stage : {Envelope::kIdle, Envelope::kRelease}) {
    Envelope single;
    single.single = true;
    single.stage = stage;
    single.delayTicks = 7;
    single.Trigger();
    EXPECT_EQ(single.stage, Envelope::kDelay);
    EXPECT_EQ(single.delayLeft, 7);
  }
}

TEST(EnvelopeRelease, FromIdleEndsAtTheNextStep) {
  Envelope e;
  e.Release();
  EXPECT_EQ(e.stage, Envelope::kRelease);
  e.Step();
  EXPECT_EQ(e.stage, Envelope::kIdle);
  EXPECT_EQ(e.level, 0.0);
}
