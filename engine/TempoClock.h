#pragma once
#include "MidiTypes.h"

// One tempo pulse per note value: the pulses fire on the host's beat grid and
// tempo-synchronised LFOs read their countdowns as phase.
struct TempoPulse {
  double period = 0.0;    // samples per pulse
  int reload = 0;         // period rounded to whole samples
  int countdown = 0;      // samples until the next pulse, never below 0
  double nextTime = 0.0;  // sampleClock value of the next pulse
};

constexpr int kNumSyncRates = 20;

// Note values of the pulses, in beats, and their display names; index is the
// sync rate index of an LFO.
extern const double kSyncBeats[kNumSyncRates];
extern const char* const kSyncNames[kNumSyncRates];

struct TempoClock {
  TempoPulse pulse[kNumSyncRates];
  double sampleClock = 0.0;
  double samplesPerBeat = 0.0;
  double lastPpq = -1.0;
  bool wasPlaying = false;

  // Follows the host's tempo and song position (once per render while some
  // LFO is synchronised).
  void Update(const HostTimeInfo& time, double sampleRate);
  // Advances the clock by n samples.
  void Step(int n);
  // Starts the pulses over: used when the transport starts.
  void Restart();
};
