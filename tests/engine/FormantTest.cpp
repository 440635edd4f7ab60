#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Oscillator.h"
#include "SpectrumProbe.h"
#include "Tables.h"

namespace {
constexpr double kRate = 44100.0;
constexpr int kBlock = 44;

// One oscillator at a fixed pitch, rendered block by block as a voice does.
struct Rig {
  Oscillator osc;
  double basePitch;
  std::vector<double> bus1, bus2;

  explicit Rig(double pitch) : basePitch(pitch) { osc.SetSampleRate(kRate); }

  Formant& F(int j = 0) { return osc.formant[j]; }

  // Fundamental in Hz as the oscillator really plays it.
  double Fundamental() const { return osc.table->inc[static_cast<int>(std::lround(basePitch))] * kRate / 268435456.0; }

  // Lets pitch and formant values settle, then records `blocks` control blocks.
  void Render(int blocks, int settle = 30) {
    bus1.clear();
    bus2.clear();
    double b1[kBlock], b2[kBlock];
    for (int blk = 0; blk < settle + blocks; ++blk) {
      osc.ControlUpdate(basePitch);
      std::fill(b1, b1 + kBlock, 0.0);
      std::fill(b2, b2 + kBlock, 0.0);
      osc.Render(b1, b2, kBlock);
      if (blk >= settle) {
        bus1.insert(bus1.end(), b1, b1 + kBlock);
        bus2.insert(bus2.end(), b2, b2 + kBlock);
      }
    }
  }

  double Amp1(double hz) const { return AmplitudeAt(bus1, hz, kRate); }
};

void SetPartial(Rig& r, double partial) {
  Formant& f = r.F();
  f.enabled = true;
  f.type = Formant::kPartial;
  f.partial = partial;
  f.volume = 1.0;
  f.send = 0.0;
}

constexpr double kA4 = 128 * 69;  // 440 Hz
}  // namespace

TEST(FormantPartial, PartialOneIsThePureFundamental) {
  Rig r(kA4);
  SetPartial(r, 1.0);
  r.F().volume = 0.8;
  r.Render(500);
  const double f0 = r.Fundamental();
  EXPECT_NEAR(r.Amp1(f0), 0.8, 0.002);
  for (int h = 2; h <= 6; ++h) EXPECT_LT(r.Amp1(h * f0), 0.001) << "harmonic " << h;
  EXPECT_EQ(Peak(r.bus2), 0.0);
}

TEST(FormantPartial, HalfwayBetweenHarmonicsSoundsBothAtHalfGain) {
  Rig r(kA4);
  SetPartial(r, 2.5);
  r.Render(500);
  const double f0 = r.Fundamental();
  EXPECT_LT(r.Amp1(f0), 0.001);
  EXPECT_NEAR(r.Amp1(2 * f0), 0.5, 0.002);
  EXPECT_NEAR(r.Amp1(3 * f0), 0.5, 0.002);
  EXPECT_LT(r.Amp1(4 * f0), 0.001);
}

TEST(FormantPartial, UpperHarmonicAboveTheLimitLeavesTheLowerAtFullGain) {
  Rig r(kA4);
  SetPartial(r, 45.5);
  r.Render(500);
  const double f0 = r.Fundamental();
  EXPECT_NEAR(r.Amp1(45 * f0), 1.0, 0.004);  // 19800 Hz
  EXPECT_LT(r.Amp1(44 * f0), 0.001);
}

TEST(FormantPartial, CentreAboveTheLimitIsSilent) {
  Rig r(kA4);
  SetPartial(r, 50.0);
  r.Render(200);
  EXPECT_EQ(Peak(r.bus1), 0.0);
  EXPECT_EQ(Peak(r.bus2), 0.0);
}

TEST(FormantRing, RatioOneAndAHalfGivesAFreeSine) {
  const double pitch = PitchForFrequency(200.0);
  Rig r(pitch);
  Formant& f = r.F();
  f.enabled = true;
  f.type = Formant::kRing;
  f.partial = 1.5;
  f.volume = 1.0;
  r.Render(500);
  const double f0 = r.Fundamental();
  EXPECT_NEAR(f0, 200.0, 0.1);
  EXPECT_NEAR(r.Amp1(1.5 * f0), 1.0, 0.003);
  EXPECT_LT(r.Amp1(f0), 0.001);
  EXPECT_LT(r.Amp1(2 * f0), 0.001);
  EXPECT_LT(r.Amp1(3 * f0), 0.001);
}

TEST(FormantRing, PhaseDoesNotFollowTheFundamental) {
  // Resetting the fundamental's phase mid-stream leaves a ring formant's sine
  // untouched; a partial formant restarts with it.
  for (int type : {Formant::kRing, Formant::kPartial}) {
    Rig a(kA4), b(kA4);
    SetPartial(a, 1.5);
    SetPartial(b, 1.5);
    a.F().type = b.F().type = type;
    a.Render(20, 30);
    b.Render(20, 30);
    b.osc.phase = 0;
    a.Render(5, 0);
    b.Render(5, 0);
    if (type == Formant::kRing)
      EXPECT_EQ(a.bus1, b.bus1);
    else
      EXPECT_NE(a.bus1, b.bus1);
  }
}

TEST(FormantFixed, CentreBelowTheFundamentalSoundsOnlyTheFundamental) {
  Rig r(kA4);
  Formant& f = r.F();
  f.enabled = true;
  f.type = Formant::kFixed;
  f.fixedPitch = 128 * 45;  // 110 Hz, two octaves below
  f.volume = 1.0;
  r.Render(500);
  const double f0 = r.Fundamental();
  const double centre = r.osc.table->inc[128 * 45] * kRate / 268435456.0;
  EXPECT_NEAR(r.Amp1(f0), centre / f0, 0.002);  // about 0.25
  EXPECT_NEAR(r.Amp1(f0), 0.25, 0.003);
  EXPECT_LT(r.Amp1(centre), 0.001);
  EXPECT_LT(r.Amp1(2 * f0), 0.001);
}

TEST(FormantFixed, CentreIsIndependentOfTheKey) {
  // 1000 Hz on two different keys: the strongest harmonics sit around 1000 Hz.
  for (double key : {45.0, 57.0}) {
    Rig r(128 * key);
    Formant& f = r.F();
    f.enabled = true;
    f.type = Formant::kFixed;
    f.fixedPitch = PitchForFrequency(1000.0);
    f.volume = 1.0;
    r.Render(500);
    const double f0 = r.Fundamental();
    const double ratio = 1000.0 / f0;
    const int k = static_cast<int>(ratio);
    EXPECT_NEAR(r.Amp1(k * f0) + r.Amp1((k + 1) * f0), 1.0, 0.01) << key;
    EXPECT_NEAR(r.Amp1((k + 1) * f0), ratio - k, 0.01) << key;
    EXPECT_LT(r.Amp1((k + 3) * f0), 0.002);
  }
}

TEST(FormantFixed, CentreIndexClampsAtBothEnds) {
  auto render = [](double fixedPitch) {
    Rig r(128 * 30);
    Formant& f = r.F();
    f.enabled = true;
    f.type = Formant::kFixed;
    f.fixedPitch = fixedPitch;
    f.volume = 1.0;
    r.Render(60);
    return r.bus1;
  };
  EXPECT_EQ(render(-500.0), render(0.0));
  EXPECT_EQ(render(15873.0), render(15872.0));
  EXPECT_EQ(render(40000.0), render(15872.0));
  EXPECT_NE(render(15871.0), render(15872.0));
  EXPECT_NE(render(1.0), render(0.0));
}

TEST(FormantOutput, SendSplitsBetweenTheBuses) {
  struct {
    double send;  // share to bus 2 (1 - the "Send" parameter)
    double toBus1, toBus2;
  } cases[] = {{0.0, 1.0, 0.0}, {1.0, 0.0, 1.0}, {0.5, 0.5, 0.5}};
  for (const auto& c : cases) {
    Rig r(kA4);
    SetPartial(r, 1.0);
    r.F().send = c.send;
    r.Render(300);
    const double f0 = r.Fundamental();
    EXPECT_NEAR(AmplitudeAt(r.bus1, f0, kRate), c.toBus1, 0.002) << c.send;
    EXPECT_NEAR(AmplitudeAt(r.bus2, f0, kRate), c.toBus2, 0.002) << c.send;
    if (c.send == 0.0) EXPECT_EQ(Peak(r.bus2), 0.0);
    if (c.send == 1.0) EXPECT_EQ(Peak(r.bus1), 0.0);
    if (c.send == 0.5) EXPECT_EQ(r.bus1, r.bus2);
  }
}

TEST(FormantOutput, AmplitudeModulationScalesTheGain) {
  double source = 0.25;
  Rig r(kA4);
  SetPartial(r, 1.0);
  r.F().amSource = &source;
  r.F().amAmount = 1.0;  // gain = volume * source
  r.Render(300);
  EXPECT_NEAR(r.Amp1(r.Fundamental()), 0.25, 0.002);
  r.F().amAmount = -1.0;  // gain = volume * (1 - source)
  r.Render(300);
  EXPECT_NEAR(r.Amp1(r.Fundamental()), 0.75, 0.002);
  source = 1.0;  // fully off
  r.Render(300);
  EXPECT_EQ(Peak(r.bus1), 0.0);
}

TEST(FormantOutput, DisabledFormantIsSilentButThePhaseRuns) {
  Rig r(kA4);
  SetPartial(r, 1.0);
  r.F().enabled = false;
  r.Render(10);
  EXPECT_EQ(Peak(r.bus1), 0.0);
  EXPECT_NE(r.osc.phase, 0u);
}

TEST(FormantOutput, SeveralFormantsAddUp) {
  Rig r(kA4);
  SetPartial(r, 1.0);
  Formant& g = r.F(2);
  g.enabled = true;
  g.type = Formant::kPartial;
  g.partial = 3.0;
  g.volume = 0.5;
  r.Render(300);
  const double f0 = r.Fundamental();
  EXPECT_NEAR(r.Amp1(f0), 1.0, 0.002);
  EXPECT_NEAR(r.Amp1(3 * f0), 0.5, 0.002);
}

TEST(FormantFm, FullRatioModulationMultipliesByFifty) {
  double up = 1.0;
  Rig r(PitchForFrequency(100.0));
  SetPartial(r, 1.0);
  r.F().fm1Source = &up;
  r.F().fm1Ratio = 1.0;
  r.Render(300);
  const double f0 = r.Fundamental();
  EXPECT_NEAR(r.Amp1(50 * f0), 1.0, 0.004);
  double down = -1.0;
  Rig s(PitchForFrequency(100.0));
  SetPartial(s, 50.0);
  s.F().fm2Source = &down;
  s.F().fm2Ratio = 1.0;
  s.Render(300);
  EXPECT_NEAR(s.Amp1(f0), 1.0, 0.004);
}

TEST(FormantWindow, FullBandwidthAlmostSilencesMidPeriod) {
  Rig plain(kA4), windowed(kA4);
  SetPartial(plain, 8.0);
  SetPartial(windowed, 8.0);
  windowed.F().bandwidth = 1.0;
  plain.Render(50, 30);
  windowed.Render(50, 30);
  // The fundamental phase of each recorded sample.
  const uint32_t inc = static_cast<uint32_t>(plain.osc.increment);
  const uint32_t start = (plain.osc.phase - inc * static_cast<uint32_t>(plain.bus1.size())) & kPhaseMask;
  int mid = 0, edge = 0;
  for (size_t i = 0; i < plain.bus1.size(); ++i) {
    const uint32_t index = ((start + inc * static_cast<uint32_t>(i)) & kPhaseMask) >> 16;
    if (std::fabs(plain.bus1[i]) < 0.05) continue;
    const double ratio = windowed.bus1[i] / plain.bus1[i];
    if (index > 2000 && index < 2096) {
      EXPECT_GT(ratio, 4.5e-5) << i;  // about exp(-10)
      EXPECT_LT(ratio, 4.7e-5) << i;
      ++mid;
    } else if (index < 16 || index > 4080) {
      EXPECT_GT(ratio, 0.98) << i;
      ++edge;
    }
  }
  EXPECT_GT(mid, 5);
  EXPECT_GT(edge, 3);
}

TEST(FormantReset, SampleRateSetRestoresTheStartState) {
  Rig r(kA4);
  SetPartial(r, 7.0);
  r.F(1).enabled = true;
  r.F(1).type = Formant::kRing;
  r.Render(5);
  r.osc.SetSampleRate(48000.0);
  EXPECT_EQ(r.osc.currentPitch, 6144.0);
  EXPECT_EQ(r.osc.phase, 0u);
  EXPECT_EQ(r.osc.increment, 0);
  EXPECT_EQ(r.osc.table->sampleRate, 48000.0);
  for (const Formant& f : r.osc.formant) {
    EXPECT_EQ(f.value, 1.0);
    EXPECT_EQ(f.valueSlope, 0.0);
    EXPECT_EQ(f.formantPhase, 0u);
    EXPECT_EQ(f.formantIncrement, 0);
  }
}

TEST(OscillatorPitch, BelowZeroPlaysTheLowestTableEntry) {
  Oscillator osc;
  osc.SetSampleRate(kRate);
  osc.pitchOffset = -3000;
  double b1[kBlock] = {}, b2[kBlock] = {};
  for (int i = 0; i < 20; ++i) {
    osc.ControlUpdate(128.0);
    osc.Render(b1, b2, kBlock);
  }
  EXPECT_EQ(osc.increment, osc.table->inc[0]);
  osc.pitchOffset = 30000;
  for (int i = 0; i < 20; ++i) {
    osc.ControlUpdate(128.0);
    osc.Render(b1, b2, kBlock);
  }
  EXPECT_EQ(osc.increment, osc.table->maxIncrement);
}

TEST(OscillatorPitch, PitchGlidesToTheTargetWithinABlock) {
  Oscillator osc;
  osc.SetSampleRate(kRate);
  double pb = 1.0;
  osc.pitchBendSource = &pb;
  osc.pitchBendRange = 256;  // 2 semitones
  osc.pitchOffset = 128 * 12 + 64;
  double b1[kBlock] = {}, b2[kBlock] = {};
  for (int i = 0; i < 10; ++i) {
    osc.ControlUpdate(6144.0);
    osc.Render(b1, b2, kBlock);
  }
  EXPECT_NEAR(osc.currentPitch, 6144.0 + 1536 + 64 + 256, 1e-6);
  EXPECT_EQ(osc.increment, osc.table->inc[6144 + 1536 + 64 + 256]);
}
