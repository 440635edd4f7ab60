#include "Formant.h"

#include <cmath>

void Formant::ControlUpdate(const PhaseIncrementTable& table, double msPerSample) {
  gain = volume * DepthFactor(amAmount, *amSource);
  double target;
  if (type == kFixed) {
    // An absolute frequency, independent of the played key.
    const double p = std::round(*fm1Source * fm1Pitch + fixedPitch + *fm2Source * fm2Pitch);
    if (p < 0)
      target = table.inc[0];
    else if (p >= kMaxFixedPitch + 1)
      target = table.inc[kMaxFixedPitch];
    else
      target = table.inc[static_cast<int>(p)];
  } else {
    // A multiple of the fundamental; full FM multiplies or divides it by 50.
    target = partial * std::exp(kLn50 * (*fm1Source * fm1Ratio + *fm2Source * fm2Ratio));
  }
  // Travels almost all the way to the target within one control block.
  valueSlope = (target - value) * msPerSample;
}
