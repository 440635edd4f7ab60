#include "Lfo.h"

#include <climits>
#include <cmath>

#include "EngineShared.h"
#include "Random.h"

namespace {
constexpr double kPi = 3.141592653589793;

int SaturateToInt(double v) {
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}
}  // namespace

Lfo::Lfo() : depthSource(&kSilentSource) {}

void Lfo::Step() {
  if (sync && mShared) {
    const int j = syncIndex >= 0 && syncIndex < kNumSyncRates ? syncIndex : 0;
    const TempoPulse& p = mShared->tempoClock.pulse[j];
    // 2B counts per pulse sample refine the phase resolution. Saturated: a
    // slow pulse at a high rate would not fit an int.
    const double scale = 2.0 * mShared->controlBlockLength;
    counter = SaturateToInt(scale * p.countdown);
    period = SaturateToInt(scale * p.reload);
    phaseStep = 1.0 / (period - 1.0);
  }
  if (counter >= period) counter = 0;
  double phi = phaseOffset;
  if (period > 1) phi = phaseOffset + 1.0 - 2.0 * counter * phaseStep;
  if (phi > 1) phi -= 2.0;

  double w = 0.0;
  switch (wave) {
    case kSine:
      w = 0.5 * std::sin(kPi * (phi + 1.0));
      break;
    case kTriangle:
      w = phi < 0 ? 2.0 * phi + 1.0 : 2.0 * (1.0 - phi) - 1.0;
      break;
    case kSquare:
      w = phi < 0 ? 1.0 : -1.0;
      break;
    case kSawDown:
      w = -phi;
      break;
    case kSawUp:
      w = phi;
      break;
    case kSampleHold:
      if (phi < lastPhase) heldRandom = DrawSampleHold();  // the cycle wrapped
      lastPhase = phi;
      w = heldRandom;
      break;
    case kThreeStep:
      w = phi > 0.33333 ? -1.0 : (phi > -0.33333 ? 0.0 : 1.0);
      break;
    default:
      break;
  }

  const double m = DepthFactor(depth, *depthSource);
  --counter;
  output = m * w;
  outputPlus = (m * w + 1.0) * m / 2.0;
  if (counter < 0) counter = sync ? 0 : period - 1;
}

void Lfo::SetRate(double x) {
  // About 1000 / Hz control blocks. At 0 Hz there is no period at all: 0 makes
  // the LFO hold its phase offset.
  const double q = 1000.0 / ((x * x * 100.0) * x * x);
  if (std::isfinite(q) && q > 0)
    freePeriod = q >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(q);
  else
    freePeriod = 0;
  int index = static_cast<int>(std::floor(19.0 * x + 0.5));
  syncIndex = index < 0 ? 0 : (index > kNumSyncRates - 1 ? kNumSyncRates - 1 : index);
  if (!sync) ApplyFreePeriod();
}

void Lfo::SetSync(bool on) {
  sync = on;
  if (!on) ApplyFreePeriod();
}

void Lfo::ApplyFreePeriod() {
  // Keep the relative position in the cycle.
  if (freePeriod > 0 && period > 0 && counter < period)
    counter = static_cast<int>(static_cast<double>(freePeriod) / period * counter);
  else
    counter = 0;
  period = freePeriod;
  phaseStep = 1.0 / (freePeriod - 1.0);
}
