#include "Oscillator.h"

#include <cmath>

void Oscillator::SetSampleRate(double sr) {
  table = PhaseIncrementTableFor(sr);
  pitchSlope = 0.0;
  currentPitch = kStartPitch;
  phase = 0;
  increment = 0;
  msPerSample = 1000.0 / sr;
  for (Formant& f : formant) f.Reset();
}

void Oscillator::ControlUpdate(double basePitch) {
  const double target = basePitch + pitchOffset + (*pitchBendSource * pitchBendRange) + (*fm1Source * fm1Amount) +
                        (*fm2Source * fm2Amount);
  // Reaches almost the target by the end of the block; the rest is carried
  // into the next block's slope.
  pitchSlope = (target - currentPitch) * msPerSample;
  if (!table) return;
  for (Formant& f : formant)
    if (f.enabled) f.ControlUpdate(*table, msPerSample);
}

void Oscillator::Render(double* bus1, double* bus2, int n) {
  if (!table) return;
  const WaveTables& w = GetWaveTables();
  const int32_t* inc = table->inc;
  const int32_t maxIncrement = table->maxIncrement;
  for (int i = 0; i < n; ++i) {
    currentPitch += pitchSlope;
    const double p = std::round(currentPitch);
    if (p < 0)
      increment = inc[0];
    else if (p > kMaxPitch)
      increment = inc[kMaxPitch];
    else
      increment = inc[static_cast<int>(p)];
    for (Formant& f : formant)
      if (f.enabled) f.Sample(phase, increment, maxIncrement, w, bus1[i], bus2[i]);
    phase = (phase + static_cast<uint32_t>(increment)) & kPhaseMask;
  }
}

void Oscillator::IdleAdvance(int n) {
  phase = (phase + static_cast<uint32_t>(n) * static_cast<uint32_t>(increment)) & kPhaseMask;
  for (Formant& f : formant)
    if (f.enabled) f.IdleAdvance(n);
}

void Oscillator::ResetPhases() {
  phase = 0;
  for (Formant& f : formant) f.formantPhase = 0;
}
