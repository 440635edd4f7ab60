#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EngineShared.h"
#include "Lfo.h"
#include "Random.h"

namespace {
double RateFor(double hz) { return std::pow(hz / 100.0, 0.25); }

// An LFO whose next steps produce phases 1, -1, -0.5, 0, 0.5, 1, ...
void FivePointCycle(Lfo& l) {
  l.period = 5;
  l.phaseStep = 0.25;
  l.counter = 0;
}

double WaveAt(int wave, double phaseOffset) {
  Lfo l;
  l.wave = wave;
  l.depth = 0.0;
  l.period = 1;  // no period: the phase is the offset
  l.phaseOffset = phaseOffset;
  l.Step();
  return l.output;
}
}  // namespace

TEST(LfoRate, PeriodsInControlBlocks) {
  struct {
    double hz;
    int period;
  } cases[] = {{10, 100}, {100, 10}, {1, 1000}, {0.01, 99999}};
  for (const auto& c : cases) {
    Lfo l;
    l.SetRate(RateFor(c.hz));
    EXPECT_EQ(l.freePeriod, c.period) << c.hz << " Hz";
    EXPECT_EQ(l.period, c.period) << c.hz << " Hz";
    EXPECT_DOUBLE_EQ(l.phaseStep, 1.0 / (c.period - 1));
  }
}

TEST(LfoRate, SyncIndexFromTheKnob) {
  Lfo l;
  l.SetRate(0.6);  // about 12.96 Hz
  EXPECT_EQ(l.syncIndex, 11);
  EXPECT_STREQ(kSyncNames[l.syncIndex], "1/4");
  l.SetRate(1.0);
  EXPECT_EQ(l.syncIndex, 19);
  EXPECT_STREQ(kSyncNames[19], "1/32");
  l.SetRate(0.0);
  EXPECT_EQ(l.syncIndex, 0);
  EXPECT_STREQ(kSyncNames[0], "8/1");
}

TEST(LfoRate, ZeroHertzHoldsThePhaseOffset) {
  Lfo l;
  l.wave = Lfo::kSawUp;
  l.phaseOffset = 0.25;
  l.SetRate(0.0);
  for (int i = 0; i < 10; ++i) {
    l.Step();
    ASSERT_EQ(l.output, 0.25);
  }
  l.wave = Lfo::kTriangle;
  l.phaseOffset = 0.0;
  l.Step();
  EXPECT_EQ(l.output, 1.0);
}

TEST(LfoRate, RateChangeKeepsTheRelativePosition) {
  Lfo l;
  l.SetRate(RateFor(1.0));
  l.counter = 500;
  l.SetRate(RateFor(10.0));
  EXPECT_EQ(l.period, 100);
  EXPECT_EQ(l.counter, 50);
  l.counter = 99;
  l.SetRate(RateFor(100.0));
  EXPECT_EQ(l.counter, 9);
}

TEST(LfoRate, SyncedRateChangeWaitsUntilSyncIsOff) {
  Lfo l;
  l.SetRate(RateFor(1.0));
  l.SetSync(true);
  l.counter = 400;
  l.SetRate(RateFor(10.0));
  EXPECT_EQ(l.freePeriod, 100);
  EXPECT_EQ(l.period, 1000);
  l.SetSync(false);
  EXPECT_EQ(l.period, 100);
  EXPECT_EQ(l.counter, 40);
}

TEST(LfoWaves, ValuesAtTabledPhases) {
  struct {
    int wave;
    double expected[5];  // at phases 1, -1, -0.5, 0, 0.5
  } cases[] = {
      {Lfo::kSine, {0.5 * std::sin(2 * M_PI), 0.0, 0.5, 0.5 * std::sin(M_PI), -0.5}},
      {Lfo::kTriangle, {-1.0, -1.0, 0.0, 1.0, 0.0}},
      {Lfo::kSquare, {-1.0, 1.0, 1.0, -1.0, -1.0}},
      {Lfo::kSawDown, {-1.0, 1.0, 0.5, -0.0, -0.5}},
      {Lfo::kSawUp, {1.0, -1.0, -0.5, 0.0, 0.5}},
      {Lfo::kThreeStep, {-1.0, 1.0, 1.0, 0.0, -1.0}},
  };
  for (const auto& c : cases) {
    Lfo l;
    l.wave = c.wave;
    l.depth = 0.0;  // depth factor 1
    FivePointCycle(l);
    for (int i = 0; i < 5; ++i) {
      l.Step();
      // Absolute tolerance: the sine's zero crossings come out as +-1e-16
      // residues whose last bits differ between C libraries.
      EXPECT_NEAR(l.output, c.expected[i], 1e-12) << "wave " << c.wave << " step " << i;
      EXPECT_NEAR(l.outputPlus, (c.expected[i] + 1) / 2, 1e-12);
    }
  }
}

TEST(LfoWaves, EdgeValues) {
  // The sine peaks at 0.5; at phase -0.5 it gives +0.5.
  EXPECT_DOUBLE_EQ(WaveAt(Lfo::kSine, -0.5), 0.5);
  EXPECT_DOUBLE_EQ(WaveAt(Lfo::kSine, 0.5), -0.5);
  EXPECT_EQ(WaveAt(Lfo::kTriangle, 0.0), 1.0);
  EXPECT_EQ(WaveAt(Lfo::kThreeStep, 0.33333), 0.0);
  EXPECT_EQ(WaveAt(Lfo::kThreeStep, 0.333331), -1.0);
  EXPECT_EQ(WaveAt(Lfo::kThreeStep, -0.33333), 1.0);
  EXPECT_EQ(WaveAt(Lfo::kSquare, 0.0), -1.0);
}

TEST(LfoWaves, SampleAndHoldDrawsOncePerCycle) {
  ResetRandomGenerators();
  const double first = DrawSampleHold();
  const double second = DrawSampleHold();
  ResetRandomGenerators();
  Lfo l;
  l.wave = Lfo::kSampleHold;
  FivePointCycle(l);
  l.lastPhase = 0.0;
  std::vector<double> out;
  for (int i = 0; i < 11; ++i) {
    l.Step();
    out.push_back(l.output);
  }
  // Phases 1, -1 (wrap: draw), -0.5, 0, 0.5, 1, -1 (draw), ...
  EXPECT_EQ(out[0], 0.0);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(out[i], first) << i;
  for (int i = 6; i <= 10; ++i) EXPECT_EQ(out[i], second) << i;
}

TEST(LfoDepth, DepthFactorCases) {
  EXPECT_EQ(DepthFactor(0.0, 0.3), 1.0);
  EXPECT_DOUBLE_EQ(DepthFactor(1.0, 0.3), 0.3);
  EXPECT_DOUBLE_EQ(DepthFactor(-1.0, 0.3), 0.7);
  EXPECT_EQ(DepthFactor(0.5, 0.0), 0.5);
  EXPECT_EQ(DepthFactor(-0.5, 1.0), 0.5);

  double wheel = 1.0;
  Lfo l;
  l.wave = Lfo::kSquare;
  l.depthSource = &wheel;
  l.depth = -1.0;
  FivePointCycle(l);
  l.Step();
  l.Step();  // phase -1: square +1
  EXPECT_EQ(l.output, 0.0);
  EXPECT_EQ(l.outputPlus, 0.0);

  wheel = 0.5;
  l.depth = 1.0;
  l.wave = Lfo::kSawUp;
  l.Step();  // phase -0.5
  EXPECT_EQ(l.output, -0.25);
  EXPECT_EQ(l.outputPlus, (0.5 * -0.5 + 1) * 0.25);
}

TEST(LfoRetrigger, RestartsAtTheEndOfTheCycle) {
  Lfo l;
  l.wave = Lfo::kSawUp;
  l.phaseOffset = 0.0;
  FivePointCycle(l);
  l.Step();
  l.Step();
  l.Step();
  l.Retrigger();
  l.Step();
  EXPECT_EQ(l.output, 1.0);  // phaseOffset + 1
  l.Step();
  EXPECT_EQ(l.output, -1.0);  // and the cycle starts over
}

TEST(LfoRetrigger, PhaseOffsetShiftsTheCycle) {
  Lfo a, b;
  for (Lfo* l : {&a, &b}) {
    l->wave = Lfo::kSawUp;
    l->SetRate(RateFor(10.0));  // 100 blocks
  }
  b.phaseOffset = 0.5;  // a quarter cycle
  for (int i = 0; i < 60; ++i) {
    a.Step();
    b.Step();
  }
  double d = b.output - a.output;
  if (d < 0) d += 2;
  EXPECT_NEAR(d, 0.5, 1e-12);
}

TEST(LfoZero, ClearsOutputsCounterAndHeldValue) {
  Lfo l;
  l.SetRate(RateFor(1.0));
  l.wave = Lfo::kSampleHold;
  for (int i = 0; i < 1500; ++i) l.Step();
  ASSERT_NE(l.counter, 0);
  l.Zero();
  EXPECT_EQ(l.output, 0.0);
  EXPECT_EQ(l.outputPlus, 0.0);
  EXPECT_EQ(l.counter, 0);
  EXPECT_EQ(l.heldRandom, 0.0);
}

TEST(LfoSync, FollowsTheTempoPulse) {
  EngineShared shared;
  shared.controlBlockLength = 48;
  HostTimeInfo time;  // 120 BPM, stopped
  shared.tempoClock.Update(time, 48000.0);
  shared.tempoClock.Restart();

  Lfo l;
  l.Attach(&shared);
  l.wave = Lfo::kSawUp;
  l.SetRate(0.6);  // "1/4": 24000 samples = 500 blocks at 120 BPM
  l.SetSync(true);

  std::vector<int> wraps;
  double last = -2.0;
  for (int block = 0; block < 2100; ++block) {
    l.Step();
    if (l.output < last) wraps.push_back(block);
    last = l.output;
    shared.tempoClock.Step(48);
  }
  ASSERT_GE(wraps.size(), 4u);
  for (size_t i = 1; i < wraps.size(); ++i) EXPECT_EQ(wraps[i] - wraps[i - 1], 500);
  EXPECT_EQ(l.period, 2 * 48 * 24000);

  // Half the tempo: twice as long.
  time.tempo = 60.0;
  shared.tempoClock.Update(time, 48000.0);
  wraps.clear();
  last = -2.0;
  for (int block = 0; block < 4100; ++block) {
    l.Step();
    if (l.output < last) wraps.push_back(block);
    last = l.output;
    shared.tempoClock.Step(48);
  }
  ASSERT_GE(wraps.size(), 3u);
  for (size_t i = 2; i < wraps.size(); ++i) EXPECT_EQ(wraps[i] - wraps[i - 1], 1000);
}
