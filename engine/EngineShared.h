#pragma once
#include "TempoClock.h"

// What every voice reads from its instrument.
struct EngineShared {
  int controlBlockLength = 0;      // (int)sampleRate / 1000
  double pitchBend = 0;            // -1..1
  double pitchBendUnipolar = 0.5;  // 0..1
  double modWheel = 0;             // 0..1
  TempoClock tempoClock;
};

// Where an unselected modulation input reads from: a constant 0.0 that lives
// for the whole process, so a source reference is never dangling.
inline constexpr double kSilentSource = 0.0;

// Scales by a unipolar source value s with an amount d in -1..1: d = 0 gives 1,
// d = 1 gives s, d = -1 gives 1 - s.
inline double DepthFactor(double d, double s) { return d < 0 ? 1.0 + d * s : 1.0 + d * (s - 1.0); }
