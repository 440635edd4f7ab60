#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "FactoryNames.h"
#include "InstrumentFixture.h"
#include "Random.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Audio {
  std::vector<double> left, right;
};

Audio Render(Quarvi& q, int frames, int block = 512) {
  Audio a;
  a.left.assign(frames, 0.0);
  a.right.assign(frames, 0.0);
  for (int done = 0; done < frames;) {
    const int n = std::min(block, frames - done);
    double* out[2] = {a.left.data() + done, a.right.data() + done};
    q.ProcessBlock(nullptr, out, n);
    done += n;
  }
  return a;
}

// Amplitude of the component at frequency f (Hann window, so neighbouring
// components leak little).
double Amplitude(const std::vector<double>& x, int first, int n, double f, double rate) {
  double re = 0, im = 0, wsum = 0;
  for (int i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * kPi * i / (n - 1));
    re += w * x[first + i] * std::cos(2 * kPi * f * i / rate);
    im -= w * x[first + i] * std::sin(2 * kPi * f * i / rate);
    wsum += w;
  }
  return 2 * std::hypot(re, im) / wsum;
}

// Frequency from the upward zero crossings, interpolated between samples.
double ZeroCrossingFrequency(const std::vector<double>& x, int first, int n, double rate) {
  double firstCross = -1, lastCross = -1;
  int count = 0;
  for (int i = first + 1; i < first + n; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double t = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
      if (firstCross < 0) firstCross = t;
      else ++count;
      lastCross = t;
    }
  }
  return count * rate / (lastCross - firstCross);
}

}  // namespace

// The parameter defaults play one sine at the key's pitch: formant F1 in
// "Partial" mode on partial 1, volume 0.75, centred, unity output gain.
TEST(Sound, DefaultsPlayA440Sine) {
  Instrument in;
  in.Defaults();
  in.q->SetSampleRate(48000);
  in.q->SetBlockSize(512);
  in.q->ResetProcessing();
  in.q->SetActive(true);
  in.q->HandleMidiMessage(Midi(0x90, 69, 100));
  const Audio a = Render(*in.q, 48000);

  for (const std::vector<double>* ch : {&a.left, &a.right}) {
    double peak = 0;
    for (int i = 4800; i < 48000; ++i) peak = std::max(peak, std::fabs((*ch)[i]));
    EXPECT_NEAR(peak, 0.375, 0.0005);
    const double f = ZeroCrossingFrequency(*ch, 4800, 43200, 48000);
    EXPECT_LT(f, 440.0);  // the phase increment is truncated
    EXPECT_GT(f, 439.99);
    const double fundamental = Amplitude(*ch, 8000, 32768, f, 48000);
    EXPECT_NEAR(fundamental, 0.375, 0.002);
    for (int h = 2; h <= 10; ++h) {
      const double level = Amplitude(*ch, 8000, 32768, h * f, 48000);
      EXPECT_LT(20 * std::log10(level / fundamental + 1e-30), -40.0) << "harmonic " << h;
    }
  }
  for (int i = 0; i < 48000; ++i) ASSERT_EQ(a.left[i], a.right[i]);
}

// Every factory program sounds, stays finite and does not blow up.
TEST(Sound, FactoryProgramsPlay) {
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    SCOPED_TRACE(kFactoryProgramNames[p]);
    // The random sources draw from process-wide generators: every program
    // starts from the same draws, whichever tests ran before.
    ResetRandomGenerators();
    Instrument in;
    in.q->SetSampleRate(44100);
    in.q->SetBlockSize(512);
    in.q->ResetProcessing();
    in.q->SetActive(true);
    ASSERT_TRUE(in.q->LoadProgramSlot(p));
    for (int key : {48, 60, 64, 67}) in.q->HandleMidiMessage(Midi(0x90, key, 100));
    const Audio a = Render(*in.q, 44100 * 2);
    for (int key : {48, 60, 64, 67}) in.q->HandleMidiMessage(Midi(0x80, key, 0));
    const Audio tail = Render(*in.q, 44100);
    double peak = 0, energy = 0;
    for (const Audio* x : {&a, &tail}) {
      for (size_t i = 0; i < x->left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(x->left[i]) && std::isfinite(x->right[i]));
        peak = std::max({peak, std::fabs(x->left[i]), std::fabs(x->right[i])});
      }
    }
    for (size_t i = 0; i < a.left.size(); ++i) energy += a.left[i] * a.left[i] + a.right[i] * a.right[i];
    const double rms = std::sqrt(energy / (2.0 * a.left.size()));
    EXPECT_GT(rms, 0.01);
    EXPECT_LT(peak, 1.2);
  }
}
