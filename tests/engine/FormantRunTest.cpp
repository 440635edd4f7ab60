#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Oscillator.h"

// The oscillator renders its formants a run of samples at a time. These tests
// hold that path to the plain per-sample algorithm (Formant::Sample and the
// oscillator's sample loop written out here), bit for bit.
namespace {

struct Reference {
  // The oscillator's render, one sample at a time through Formant::Sample.
  static void Render(Oscillator& o, double* bus1, double* bus2, int n) {
    const WaveTables& w = GetWaveTables();
    for (int i = 0; i < n; ++i) {
      o.currentPitch += o.pitchSlope;
      const double p = std::round(o.currentPitch);
      if (p < 0)
        o.increment = o.table->inc[0];
      else if (p > kMaxPitch)
        o.increment = o.table->inc[kMaxPitch];
      else
        o.increment = o.table->inc[static_cast<int>(p)];
      for (Formant& f : o.formant)
        if (f.enabled) f.Sample(o.phase, o.increment, o.table->maxIncrement, w, bus1[i], bus2[i]);
      o.phase = (o.phase + static_cast<uint32_t>(o.increment)) & kPhaseMask;
    }
  }
};

void Configure(Oscillator& o, std::mt19937& rng, const double* sources) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  o.pitchOffset = std::floor(u(rng) * 4000) - 1000;
  o.fm1Source = &sources[0];
  o.fm1Amount = (u(rng) - 0.5) * 2 * 7681 * 0.3;
  for (int j = 0; j < 3; ++j) {
    Formant& f = o.formant[j];
    f.enabled = u(rng) < 0.85;
    f.type = static_cast<int>(u(rng) * 3);
    f.bandwidth = u(rng) < 0.2 ? 0.0 : u(rng);
    f.fixedPitch = u(rng) * 15873 * 1.1 - 300;
    f.partial = 1 + u(rng) * 49;
    f.volume = u(rng);
    f.send = u(rng) < 0.3 ? std::floor(u(rng) * 2) : u(rng);
    f.fm1Source = &sources[1 + j];
    f.fm1Pitch = (u(rng) - 0.5) * 2 * 7681;
    f.fm1Ratio = (u(rng) - 0.5) * 2;
    f.fm2Source = &sources[2];
    f.fm2Pitch = u(rng);
    f.fm2Ratio = (u(rng) - 0.5);
    f.amSource = &sources[3];
    f.amAmount = (u(rng) - 0.5) * 2;
  }
}

}  // namespace

TEST(FormantRun, MatchesThePerSampleAlgorithmBitForBit) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (int trial = 0; trial < 40; ++trial) {
      double sources[4] = {};
      Oscillator fast, plain;
      fast.SetSampleRate(rate);
      plain.SetSampleRate(rate);
      Configure(fast, rng, sources);
      // Same configuration for the reference.
      plain.pitchOffset = fast.pitchOffset;
      plain.fm1Source = fast.fm1Source;
      plain.fm1Amount = fast.fm1Amount;
      for (int j = 0; j < 3; ++j) {
        Formant &a = fast.formant[j], &b = plain.formant[j];
        b.enabled = a.enabled;
        b.type = a.type;
        b.bandwidth = a.bandwidth;
        b.fixedPitch = a.fixedPitch;
        b.partial = a.partial;
        b.volume = a.volume;
        b.send = a.send;
        b.fm1Source = a.fm1Source;
        b.fm1Pitch = a.fm1Pitch;
        b.fm1Ratio = a.fm1Ratio;
        b.fm2Source = a.fm2Source;
        b.fm2Pitch = a.fm2Pitch;
        b.fm2Ratio = a.fm2Ratio;
        b.amSource = a.amSource;
        b.amAmount = a.amAmount;
      }
      const int block = static_cast<int>(rate) / 1000;
      const double base = 128 * (20 + u(rng) * 90);
      std::vector<double> f1(block), f2(block), p1(block), p2(block);
      for (int b = 0; b < 60; ++b) {
        // Modulation moves at control rate; the type may change under way.
        for (double& s : sources) s = (u(rng) - 0.5) * 2.2;
        if (b == 30) {
          const int t = static_cast<int>(u(rng) * 3);
          fast.formant[1].type = plain.formant[1].type = t;
        }
        fast.ControlUpdate(base);
        plain.ControlUpdate(base);
        for (int i = 0; i < block; ++i) f1[i] = f2[i] = p1[i] = p2[i] = 0.25 * i;
        // Hosts may cut a control block: render it in two pieces.
        const int cut = b % 3 == 0 ? block / 3 : block;
        fast.Render(f1.data(), f2.data(), cut);
        fast.Render(f1.data() + cut, f2.data() + cut, block - cut);
        Reference::Render(plain, p1.data(), p2.data(), block);
        ASSERT_EQ(0, std::memcmp(f1.data(), p1.data(), block * sizeof(double)))
            << "rate " << rate << " trial " << trial << " block " << b;
        ASSERT_EQ(0, std::memcmp(f2.data(), p2.data(), block * sizeof(double)))
            << "rate " << rate << " trial " << trial << " block " << b;
        ASSERT_EQ(fast.phase, plain.phase);
        for (int j = 0; j < 3; ++j) {
          ASSERT_EQ(fast.formant[j].formantPhase, plain.formant[j].formantPhase);
          ASSERT_EQ(fast.formant[j].value, plain.formant[j].value);
          ASSERT_EQ(fast.formant[j].formantIncrement, plain.formant[j].formantIncrement);
        }
      }
    }
  }
}
