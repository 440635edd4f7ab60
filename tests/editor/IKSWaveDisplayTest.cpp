// The formant display: its pictures against their formulas over the
// engine's tables, the bounds of every point, the bright and dim looks, and
// a draw that allocates nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "../engine/AllocCounter.h"
#include "ControlTestSupport.h"
#include "IKSWaveDisplay.h"
#include "Tables.h"

using control_test::EditorInstrument;
using control_test::RecordingFont;
using Curve = IKSWaveDisplay::Curve;

namespace {

// Formant 2: "Type F2" 33, "Bw F2" 34, "Freq F2" 35, "Part F2" 36, "Osc1 F2" 38, "Osc2 F2" 40.
constexpr int kType = 33, kBw = 34, kFreq = 35, kPart = 36, kOsc1 = 38, kOsc2 = 40;
constexpr int kLeft = 308, kTop = 216;

struct WaveDisplayFixture : ::testing::Test {
  EditorInstrument e;
  IKSWaveDisplay* d = e.Add(new IKSWaveDisplay(e.q.get(), kLeft, kPart));
  void Set(int index, double plain) { e.q->GetParam(index)->SetPlain(plain); }
  Curve Compute() {
    Curve c;
    EXPECT_TRUE(d->ComputeCurve(&c));
    for (int i = 0; i < 97; ++i) {
      EXPECT_EQ(c.x[i], kLeft + 2 + i);
      if (i > 0) {  // each point joined to the one before
        const IKSWaveDisplay::Line& l = c.lines[c.look == IKSWaveDisplay::kSpectrum ? i - 1 + (i - 1) / 2 : i - 1];
        EXPECT_TRUE(l.x1 == c.x[i - 1] && l.y1 == c.y[i - 1] && l.x2 == c.x[i] && l.y2 == c.y[i]) << i;
      }
    }
    return c;
  }
};

TEST_F(WaveDisplayFixture, WaveformsFollowTheirFormulas) {
  const WaveTables& t = GetWaveTables();
  // p = 3.0 is the first component alone, phase step 168; p = 3.5 mixes
  // steps 190 and 232 half and half; WAVESHAPE ignores the fraction.
  struct Case { int type; double p, bw; int s1, s2; double d; };
  for (const Case& c : {Case{1, 3.0, 0.0, 168, 210, 0.0}, Case{1, 3.5, 0.0, 190, 232, 0.5},
                        Case{1, 3.5, 1.0, 190, 232, 0.5}, Case{2, 3.5, 0.6, 168, 210, 0.0}}) {
    Set(kType, c.type);
    Set(kPart, c.p);
    Set(kBw, c.bw);
    const Curve curve = Compute();
    EXPECT_EQ(curve.look, c.type == 1 ? IKSWaveDisplay::kWaveform : IKSWaveDisplay::kWaveshape);
    EXPECT_EQ(curve.nLines, 96);
    for (int i = 0; i < 97; ++i) {
      const double window = t.decay[static_cast<int>(c.bw * t.pulse[(2048 + 42 * i) % 4096]) % 4096];
      const double v = (1 - c.d) * t.sine[(2048 + c.s1 * i) % 4096] + c.d * t.sine[(2048 + c.s2 * i) % 4096];
      EXPECT_EQ(curve.y[i], static_cast<int>(kTop + 38 + 21 * v * window)) << c.p << " " << i;
    }
  }
}

TEST_F(WaveDisplayFixture, TheSpectrumIsABellAtTheFrequencyFilledWithBars) {
  Set(kType, 0);
  Set(kFreq, std::sqrt(0.5));  // shape 0.5: normalized 0.5
  for (double bw : {0.0, 1.0}) {
    Set(kBw, bw);
    const Curve c = Compute();
    ASSERT_EQ(c.nLines, 144);
    const double w = bw == 0.0 ? 100.0 : 10.0;
    double a = 0.0;
    for (int i = 0; i < 97; ++i, a += 1.0 / 97) {
      EXPECT_EQ(c.y[i], static_cast<int>(kTop + 60 - 42 * std::exp(-w * (a - 0.5) * (a - 0.5)))) << i;
      if (i >= 2 && i % 2 == 0) {  // the bar after the joining line
        const IKSWaveDisplay::Line& bar = c.lines[i - 1 + i / 2];
        EXPECT_TRUE(bar.x1 == c.x[i] && bar.x2 == c.x[i] && bar.y1 == kTop + 60 && bar.y2 == c.y[i]) << i;
      }
    }
    EXPECT_EQ(c.y[48], kTop + 18);                     // the peak: 48/97 is next to 0.5
    EXPECT_EQ(c.y[24] >= kTop + 55, bw == 0.0) << c.y[24];  // narrow at Bw 0, wide at Bw 1
  }
  // Every point of every look stays inside the control.
  for (int type = 0; type <= 2; ++type) {
    for (double p = 1.0; p <= 50.0; p += 0.37) {
      Set(kType, type);
      Set(kBw, std::fmod(p, 1.0));
      Set(kPart, p);
      Set(kFreq, p / 50.0);
      Curve c;
      d->ComputeCurve(&c);
      const int lo = kTop + (type == 0 ? 18 : 17);
      for (int i = 0; i < 97; ++i) ASSERT_TRUE(c.y[i] >= lo && c.y[i] <= lo + 42) << type << " " << p;
    }
  }
}

TEST_F(WaveDisplayFixture, BrightWhileAnOscillatorFeedsTheFormantAndDrawnWithoutAllocating) {
  RecordingFont bright, dim;
  d->Style().font = &bright;
  d->DimStyle().font = &dim;
  struct Case { int type; double osc1, osc2; const char* label; bool bright; };
  const Case cases[] = {{0, 0, 0, "SPECTRUM", false}, {1, 1, 0, "WAVEFORM", true}, {2, 0, 1, "WAVESHAPE", true}};
  for (const Case& c : cases) {
    Set(kType, c.type);
    Set(kOsc1, c.osc1);
    Set(kOsc2, c.osc2);
    bright.drawn.clear();
    dim.drawn.clear();
    e.Draw();
    ASSERT_EQ((c.bright ? dim : bright).drawn.size(), 0u);
    const RecordingFont::Drawn& label = (c.bright ? bright : dim).drawn.at(0);
    EXPECT_EQ(label.text, c.label);
    EXPECT_EQ(label.rect, Rect(308, 220, 408, 228));
    EXPECT_EQ(LICE_GETA(label.color), c.bright ? 192 : 32);
  }
  // Through the font cache, as in the editor: the first draw of each look
  // makes the font and its glyphs, the second allocates nothing.
  d->Style().font = d->DimStyle().font = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Case& c : cases) {
      Set(kType, c.type);
      Set(kOsc1, c.osc1);
      AllocationScope scope;
      e.g->DrawDirty(d->GetRect());
      if (pass == 1) {
        EXPECT_EQ(scope.Count(), 0) << c.label;
      }
    }
  }
}

}  // namespace
