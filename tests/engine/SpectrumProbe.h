#pragma once
#include <cmath>
#include <vector>

// Amplitude of the sinusoid at frequency hz in a rendered signal: a single
// DFT bin over a Hann window, scaled so that a sine of amplitude A reads A.
// The window keeps leakage from neighbouring harmonics far below the
// tolerances the tests use.
inline double AmplitudeAt(const std::vector<double>& x, double hz, double sampleRate) {
  const double pi = 3.141592653589793;
  const size_t n = x.size();
  double re = 0, im = 0, wsum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * pi * i / (n - 1));
    const double a = 2 * pi * hz * i / sampleRate;
    re += w * x[i] * std::cos(a);
    im -= w * x[i] * std::sin(a);
    wsum += w;
  }
  return 2.0 * std::sqrt(re * re + im * im) / wsum;
}

inline double Peak(const std::vector<double>& x) {
  double m = 0;
  for (double v : x) m = std::fmax(m, std::fabs(v));
  return m;
}
