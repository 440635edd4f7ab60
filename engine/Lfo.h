#pragma once

struct EngineShared;

// Control-rate LFO: runs free at a period in control blocks or follows one of
// the instrument's tempo pulses.
class Lfo {
 public:
  enum Wave { kSine = 0, kTriangle, kSquare, kSawDown, kSawUp, kSampleHold, kThreeStep };

  double output = 0.0;      // bipolar
  double outputPlus = 0.0;  // unipolar
  int wave = kSine;
  int period = 1;      // control blocks per cycle
  int freePeriod = 1;  // from the rate in Hz
  int syncIndex = 9;
  int counter = 0;  // control blocks left in the cycle
  double phaseStep = 0.0;
  double heldRandom = 0.0;
  double lastPhase = 0.0;
  bool sync = false;
  bool retrigger = false;
  double depth = 0.0;
  const double* depthSource;
  double phaseOffset = 0.0;  // 0..2, 2 = one cycle

  Lfo();
  Lfo(const Lfo&) = delete;
  Lfo& operator=(const Lfo&) = delete;

  void Attach(const EngineShared* shared) { mShared = shared; }
  void Step();
  void SetRate(double x);  // normalized rate 0..1 (x^4 = Hz / 100)
  void SetSync(bool on);
  void Retrigger() { counter = 0; }
  void Zero() {
    output = outputPlus = 0.0;
    counter = 0;
    heldRandom = 0.0;
  }

 private:
  void ApplyFreePeriod();

  const EngineShared* mShared = nullptr;
};
