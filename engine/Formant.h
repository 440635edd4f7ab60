#pragma once
#include <cmath>
#include <cstdint>

#include "EngineShared.h"
#include "Tables.h"

// Nearest integer, halves away from zero: std::round without a library call.
// Exact: for |x| < 2^52 the fractional part x - trunc(x) is representable.
inline double RoundHalfAway(double x) {
  if (!(x > -4e15 && x < 4e15)) return std::round(x);
  int64_t t = static_cast<int64_t>(x);
  const double d = x - static_cast<double>(t);
  // Without branches: the fraction is as good as random.
  t += static_cast<int64_t>(d >= 0.5) - static_cast<int64_t>(d <= -0.5);
  return static_cast<double>(t);
}

// A harmonic's increment k * inc, wrapping as the machine multiply does: a
// near-zero fundamental gives a huge harmonic number, and such an increment
// only has to compare above the limit.
inline int64_t HarmonicIncrement(int64_t k, int64_t inc) {
  return static_cast<int64_t>(static_cast<uint64_t>(k) * static_cast<uint64_t>(inc));
}

// The ring sine's increment inc * value, saturating: an absurd ratio only has
// to compare above the limit (a plain conversion of an out-of-range double is
// undefined, and x86 would make it the most negative number, which passes).
inline int64_t RingIncrement(double product) {
  return product >= 9.2e18 ? INT64_MAX : product <= -9.2e18 ? INT64_MIN : static_cast<int64_t>(product);
}

// One formant generator of an oscillator. "Fixed" and "Partial" crossfade the
// two harmonics of the fundamental either side of the formant centre, so every
// harmonic stays phase-locked to the fundamental; "Ring" runs a sine of its own
// at a non-harmonic multiple. A window synchronous with the fundamental period
// turns the sines into one burst per period (bandwidth).
class Formant {
 public:
  enum Type { kFixed = 0, kPartial = 1, kRing = 2 };
  static constexpr double kLn50 = 3.912023005428146;
  static constexpr int kMaxFixedPitch = 15872;

  bool enabled = false;
  int type = kFixed;
  double bandwidth = 0.0;
  double fixedPitch = 0.0;  // pitch steps
  double partial = 1.0;
  double volume = 0.0;
  double send = 0.0;  // share of the output that goes to bus 2
  double fm1Pitch = 0.0;
  double fm1Ratio = 0.0;
  const double* fm1Source = &kSilentSource;
  double fm2Pitch = 0.0;
  double fm2Ratio = 0.0;
  const double* fm2Source = &kSilentSource;
  double amAmount = 0.0;
  const double* amSource = &kSilentSource;

  double gain = 0.0;
  // "Fixed": the formant's own phase increment; "Partial"/"Ring": the ratio to
  // the fundamental. Glides to its target across each control block.
  double value = 1.0;
  double valueSlope = 0.0;
  // Lower harmonic number. 64-bit because while a formant glides away from a
  // "Fixed" increment after a type change its ratio is briefly huge.
  int64_t harmonic = 0;
  uint32_t formantPhase = 0;  // 28-bit
  int64_t formantIncrement = 0;

  Formant() = default;
  Formant(const Formant&) = delete;
  Formant& operator=(const Formant&) = delete;

  // Once per control block, after the oscillator set its pitch target.
  void ControlUpdate(const PhaseIncrementTable& table, double msPerSample);

  // Back to the state after a sample-rate change.
  void Reset() {
    value = 1.0;
    valueSlope = 0.0;
    harmonic = 0;
    formantPhase = 0;
    formantIncrement = 0;
  }

  // A free-running idle voice keeps only a "Ring" formant's own phase moving;
  // the others derive theirs from the fundamental.
  void IdleAdvance(int n) {
    if (type == kRing)
      formantPhase = static_cast<uint32_t>(
          (static_cast<uint64_t>(formantPhase) + static_cast<uint64_t>(n) * static_cast<uint64_t>(formantIncrement)) &
          kPhaseMask);
  }

  // One sample at fundamental phase phi (before this sample's advance) and
  // increment inc; adds the output into the two buses.
  inline void Sample(uint32_t phi, int32_t inc, int32_t maxIncrement, const WaveTables& w, double& bus1, double& bus2) {
    value += valueSlope;
    double s;
    if (type == kRing) {
      formantIncrement = RingIncrement(inc * value);
      const double a = formantIncrement <= maxIncrement ? gain : 0.0;
      formantPhase = static_cast<uint32_t>((static_cast<uint64_t>(formantPhase) + formantIncrement) & kPhaseMask);
      s = a * w.sine[formantPhase >> kPhaseToIndexShift];
    } else {
      const double r = type == kFixed ? value / inc : value;
      int64_t k = static_cast<int64_t>(r);  // floor: truncation corrected for negatives
      if (static_cast<double>(k) > r) --k;
      harmonic = k;
      formantIncrement = HarmonicIncrement(k, inc);
      double a = 0.0, h = 0.0;
      if (formantIncrement <= maxIncrement) {
        a = gain;
        if (formantIncrement + inc <= maxIncrement) {
          h = (r - static_cast<double>(k)) * gain;
          a = gain - h;
        }
      }
      // k * phi mod 2^28: the low bits of the 32-bit product are exact.
      formantPhase = (static_cast<uint32_t>(k) * phi) & kPhaseMask;
      s = a * w.sine[formantPhase >> kPhaseToIndexShift] +
          h * w.sine[((formantPhase + phi) & kPhaseMask) >> kPhaseToIndexShift];
    }
    if (s != 0) {
      // bandwidth stays within 0..1; the mask only keeps a stray value inside the table.
      const int wi = static_cast<int>(w.pulse[phi >> kPhaseToIndexShift] * bandwidth);
      s = s * w.decay[wi & (kTableSize - 1)];
    }
    bus2 += s * send;
    bus1 += s - s * send;
  }

  // What the oscillator hands its formants for a run of samples: per sample
  // the fundamental phase before the advance, the increment (also as a
  // double) and the window table entry of the phase.
  struct Run {
    static constexpr int kMaxLength = 256;
    int length;
    int32_t maxIncrement;
    uint32_t phase[kMaxLength];
    int32_t increment[kMaxLength];
    double incrementValue[kMaxLength];
    double pulse[kMaxLength];
  };

  // The same as a call of Sample for every sample of the run, bit for bit,
  // only faster: the type is decided once and the harmonic types compute two
  // samples at a time.
  void RenderRun(const Run& run, const WaveTables& w, double* __restrict bus1, double* __restrict bus2);
};
