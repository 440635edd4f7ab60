// The tempo clock's step, which checks whether a pulse falls due once per
// stretch of samples, against the straightforward step of every pulse at every
// sample: the same clock, countdowns and pulse times, bit for bit, from any
// state, including clocks where adding a sample rounds, negative and
// non-finite clocks, pulses due several times within a stretch or at every
// sample (no tempo read yet) and unusable pulse settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "ReferenceEngine.h"
#include "TempoClock.h"

namespace {

std::string Difference(const TempoClock& a, const TempoClock& b) {
  if (std::memcmp(&a.sampleClock, &b.sampleClock, sizeof(double)) != 0)
    return "clock " + std::to_string(a.sampleClock) + " vs " + std::to_string(b.sampleClock);
  for (int j = 0; j < kNumSyncRates; ++j) {
    const TempoPulse &p = a.pulse[j], &q = b.pulse[j];
    if (p.countdown != q.countdown)
      return "pulse " + std::to_string(j) + " countdown " + std::to_string(p.countdown) + " vs " +
             std::to_string(q.countdown);
    if (std::memcmp(&p.nextTime, &q.nextTime, sizeof(double)) != 0)
      return "pulse " + std::to_string(j) + " next time " + std::to_string(p.nextTime) + " vs " +
             std::to_string(q.nextTime);
  }
  return "";
}

TEST(TempoClockStep, EqualsSteppingEveryPulseAtEverySample) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double clocks[] = {0.0,   -0.0,   0.1, 1.0 - 0x1p-53, 12345.678, 0x1p52 - 10.5, 0x1p53 - 40.0, 0x1p53 + 6.0,
                           -70.25, -1e-300, 1e300, inf,          -inf,      nan};
  const int lengths[] = {0, 1, 2, 17, 48, 63, 64, 65, 100, 128, 129, 1000};
  std::mt19937 rng(7);
  auto U = [&] { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); };
  for (double start : clocks) {
    for (int round = 0; round < 6; ++round) {
      TempoClock a;
      HostTimeInfo t;
      t.tempo = round == 5 ? 0.001 : 40 + U() * 260;
      t.ppqPos = U() * 100;
      t.transportIsRunning = false;
      a.Update(t, round == 4 ? 0.0 : 48000.0);
      a.sampleClock = start;
      for (int j = 0; j < kNumSyncRates; ++j) {
        TempoPulse& p = a.pulse[j];
        const double r = U();
        // Pulses due now, soon, within a stretch, later, never; and some
        // settings no tempo gives.
        p.nextTime = r < 0.2 ? start : (r < 0.7 ? start + U() * 300 : (r < 0.8 ? start + 1e6 : p.nextTime));
        const double periods[] = {0.3 * U(), 0.0, -0.0, 1.0, 1.0 + 0x1p-52, 1.5, 0.999, nan, -5.0, -inf, inf};
        if (U() < 0.3) p.period = periods[static_cast<int>(U() * 11)];
        if (U() < 0.1) p.nextTime = nan;
        p.countdown = static_cast<int>(U() * 400) - (U() < 0.1 ? 500 : 0);
        if (U() < 0.1) p.reload = 0;
      }
      TempoClock b = a;
      for (int step = 0; step < 24; ++step) {
        const int n = lengths[(step * 5 + round) % 12];
        a.Step(n);
        ReferenceEngine::TempoClockStep(b, n);
        ASSERT_EQ("", Difference(a, b)) << "clock from " << start << ", round " << round << ", step " << step;
      }
    }
  }
}

}  // namespace
