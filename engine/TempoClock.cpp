#include "TempoClock.h"

#include <climits>
#include <cmath>

const double kSyncBeats[kNumSyncRates] = {32.0,      24.0, 16.0, 12.0,      8.0, 6.0,   4.0,       3.0,  2.0,    1.5,
                                          4.0 / 3.0, 1.0,  0.75, 2.0 / 3.0, 0.5, 0.375, 1.0 / 3.0, 0.25, 0.1875, 0.125};

const char* const kSyncNames[kNumSyncRates] = {"8/1",  "4/1.",  "4/1",  "2/1.", "2/1",   "1/1.", "1/1",
                                               "1/2.", "1/2",   "1/4.", "1/2T", "1/4",   "1/8.", "1/4T",
                                               "1/8",  "1/16.", "1/8T", "1/16", "1/32.", "1/32"};

void TempoClock::Update(const HostTimeInfo& time, double sampleRate) {
  double t = std::round(time.tempo * 1000.0) * 0.001;
  if (!(t > 0)) t = 120.0;
  samplesPerBeat = 60.0 / t * sampleRate;
  for (int j = 0; j < kNumSyncRates; ++j) {
    TempoPulse& p = pulse[j];
    p.period = kSyncBeats[j] * samplesPerBeat;
    // A pulse of more than 2^31 samples (a tempo of a few thousandths of a
    // beat per minute) is held at the largest count instead of overflowing.
    const double reload = std::floor(p.period + 0.5);
    p.reload = reload < static_cast<double>(INT_MAX) ? static_cast<int>(reload) : INT_MAX;
  }
  if (time.transportIsRunning) sampleClock = time.samplePos < 0 ? time.samplePos : time.ppqPos * samplesPerBeat;
  if (time.ppqPos != lastPpq) {
    if (time.ppqPos < lastPpq) {  // the song position jumped back
      sampleClock = 0.0;
      for (TempoPulse& p : pulse) p.countdown = p.reload;
    }
    // First pulse time at or after the clock, on the pulse's own grid.
    for (TempoPulse& p : pulse) {
      if (!(p.period > 0)) {
        p.nextTime = sampleClock;
        continue;
      }
      p.nextTime = std::floor(sampleClock / p.period) * p.period;
      if (p.nextTime < sampleClock) p.nextTime += p.period;
    }
  }
  lastPpq = time.ppqPos;
}

void TempoClock::Step(int n) {
  // The clock's values over a stretch of samples are computed once for all
  // pulses. The clock never goes down (adding 1 rounds to at least the old
  // value), so a pulse not yet due at the stretch's last sample is due at none
  // of its samples, and its countdown just runs down; only a pulse that falls
  // due is stepped sample by sample.
  constexpr int kStretch = 64;
  double clock[kStretch];
  while (n > 0) {
    const int m = n < kStretch ? n : kStretch;
    double c = sampleClock;
    for (int i = 0; i < m; ++i) {
      c += 1.0;
      clock[i] = c;
    }
    sampleClock = c;
    for (TempoPulse& p : pulse) {
      if (clock[m - 1] < p.nextTime) {  // false with a NaN: stepped one by one
        if (p.countdown > 0) p.countdown = p.countdown > m ? p.countdown - m : 0;
        continue;
      }
      // A pulse of at most one sample (every pulse while no tempo was ever
      // read: period 0) that is due at the first sample is due again at every
      // sample after: its next time, clock + period, is at most the next
      // clock value, clock + 1.
      if (p.period >= 0.0 && p.period <= 1.0 && clock[0] >= p.nextTime) {
        p.nextTime = clock[m - 1] + p.period;
        p.countdown = p.reload;
        continue;
      }
      for (int i = 0; i < m; ++i) {
        if (p.countdown > 0) --p.countdown;
        if (clock[i] >= p.nextTime) {
          p.nextTime = clock[i] + p.period;
          p.countdown = p.reload;
        }
      }
    }
    n -= m;
  }
}

void TempoClock::Restart() {
  sampleClock = 0.0;
  for (TempoPulse& p : pulse) p.countdown = p.reload;
}
