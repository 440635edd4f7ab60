#pragma once
#include <cmath>

// Rational approximation of tanh that meets +-1 exactly at +-3.
inline double SoftClip(double x) {
  if (x < -3.0) return -1.0;
  if (x > 3.0) return 1.0;
  return x * (27.0 + x * x) / (27.0 + 9.0 * x * x);
}

// Output stage over n samples of both channels: the clip test sees the gained
// values before the soft clip; the soft clip acts on the voice sum before the
// gain. Returns true when any gained sample exceeded full scale.
inline bool ApplyOutputStage(double* left, double* right, int n, double gain, bool softClip) {
  bool clipped = false;
  for (int i = 0; i < n; ++i) {
    double x = left[i], y = right[i];
    if (std::fabs(gain * x) > 1.0 || std::fabs(gain * y) > 1.0) clipped = true;
    if (softClip) {
      x = SoftClip(x);
      y = SoftClip(y);
    }
    left[i] = gain * x;
    right[i] = gain * y;
  }
  return clipped;
}
