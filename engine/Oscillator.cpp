#include "Oscillator.h"

#include <cmath>

void Oscillator::SetSampleRate(double sr) {
  tableOwner = PhaseIncrementTableFor(sr);
  table = tableOwner.get();
  waves = &GetWaveTables();
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
  const WaveTables& w = *waves;
  const int32_t* inc = table->inc;
  // The fundamental's phase and increment for each sample of a run come
  // first; then each enabled formant renders the whole run. Per sample the
  // formants still add into the buses in the order F1, F2, F3.
  Formant::Run run;
  run.maxIncrement = table->maxIncrement;
  // Kept in locals for the run: the compiler cannot know that the tables
  // don't alias the members.
  double pitch = currentPitch;
  const double slope = pitchSlope;
  uint32_t ph = phase;
  int32_t step = increment;
  while (n > 0) {
    const int m = n < Formant::Run::kMaxLength ? n : Formant::Run::kMaxLength;
    run.length = m;
    for (int i = 0; i < m; ++i) {
      pitch += slope;
      const double p = RoundHalfAway(pitch);
      if (p < 0)
        step = inc[0];
      else if (p > kMaxPitch)
        step = inc[kMaxPitch];
      else
        step = inc[static_cast<int>(p)];
      run.phase[i] = ph;
      run.increment[i] = step;
      run.incrementValue[i] = step;
      run.pulse[i] = w.pulse[ph >> kPhaseToIndexShift];
      ph = (ph + static_cast<uint32_t>(step)) & kPhaseMask;
    }
    for (Formant& f : formant)
      if (f.enabled) f.RenderRun(run, w, bus1, bus2);
    bus1 += m;
    bus2 += m;
    n -= m;
  }
  currentPitch = pitch;
  phase = ph;
  increment = step;
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
