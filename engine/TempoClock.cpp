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
  for (int i = 0; i < n; ++i) {
    sampleClock += 1.0;
    for (TempoPulse& p : pulse) {
      if (p.countdown > 0) --p.countdown;
      if (sampleClock >= p.nextTime) {
        p.nextTime = sampleClock + p.period;
        p.countdown = p.reload;
      }
    }
  }
}

void TempoClock::Restart() {
  sampleClock = 0.0;
  for (TempoPulse& p : pulse) p.countdown = p.reload;
}
