#pragma once
#include <cstdint>
#include <memory>

#include "EngineShared.h"
#include "Formant.h"
#include "Tables.h"

// Phase accumulator at the voice's pitch with its three formant generators.
class Oscillator {
 public:
  static constexpr double kStartPitch = 6144.0;  // key 48

  const double* pitchBendSource = &kSilentSource;
  double pitchBendRange = 0.0;  // pitch steps at full bend
  int pitchSemitones = 0;
  int tuneSteps = 0;
  double pitchOffset = 0.0;  // pitch steps
  double fm1Amount = 0.0;    // pitch steps at full source
  double fm2Amount = 0.0;
  const double* fm1Source = &kSilentSource;
  const double* fm2Source = &kSilentSource;
  Formant formant[3];
  double msPerSample = 1000.0 / 44100.0;
  double currentPitch = kStartPitch;
  double pitchSlope = 0.0;
  uint32_t phase = 0;  // 28-bit
  int32_t increment = 0;
  const PhaseIncrementTable* table = nullptr;  // tableOwner's table, read by the render
  std::shared_ptr<const PhaseIncrementTable> tableOwner;
  const WaveTables* waves = nullptr;  // fetched with the table, off the render path

  Oscillator() = default;
  Oscillator(const Oscillator&) = delete;
  Oscillator& operator=(const Oscillator&) = delete;

  // Not for the render path: may build the rate's increment table.
  void SetSampleRate(double sr);
  void ControlUpdate(double basePitch);
  // Adds n samples of the enabled formants into the two bus buffers.
  void Render(double* bus1, double* bus2, int n);
  // Keeps the phases running for a silent free-running voice.
  void IdleAdvance(int n);
  // Phases of the fundamental and all formants to 0 (note-on without free run).
  void ResetPhases();
};
