#pragma once
// The straightforward engine: the render algorithms of the voice, the
// oscillators, the formants and the render frame written out one sample at a
// time, exactly as the algorithms are stated, with no batching and no SIMD.
// It works on the same objects as the engine (Voice, Oscillator, Formant,
// Quarvi) and is the yardstick the optimised render is held to: the tests
// compare every sample of both, and the benchmarks report both side by side.
#include <cstdint>
#include <string>

class Formant;
class Oscillator;
class Quarvi;
class Voice;
struct PhaseIncrementTable;
struct TempoClock;

class ReferenceEngine {
 public:
  // Formant generator: control update and one sample.
  static void FormantControlUpdate(Formant& f, const PhaseIncrementTable& table, double msPerSample);
  static void FormantSample(Formant& f, uint32_t phi, int32_t inc, int32_t maxIncrement, double& bus1,
                            double& bus2);

  // Oscillator.
  static void OscillatorControlUpdate(Oscillator& o, double basePitch);
  static void OscillatorRender(Oscillator& o, double* bus1, double* bus2, int n);
  static void OscillatorIdleAdvance(Oscillator& o, int n);

  // Voice: the control-rate update and the render of n samples added into
  // left and right.
  static void VoiceControlUpdate(Voice& v);
  static void VoiceRender(Voice& v, double* left, double* right, int n);

  // The tempo clock advanced by n samples, every pulse at every sample.
  static void TempoClockStep(TempoClock& c, int n);

  // The instrument's render frame (what Quarvi::ProcessBlock does) over the
  // straightforward voices.
  static void ProcessBlock(Quarvi& q, double** outputs, int nFrames);

  // Empty when two instruments are in the same state: every parameter value
  // and display formatter, every program slot, the current program, the
  // engine and voice-allocation fields and every field of every voice;
  // otherwise the first difference. (The dispatch's memory of what it pushed
  // is bookkeeping and left out.)
  static std::string InstrumentDifference(Quarvi& a, Quarvi& b);

  // Empty when the engine of q is in step with its parameters: a fresh
  // instance at q's rate and block size, given q's parameter values and
  // dispatched in full (straightforwardly), holds the same engine and voice
  // fields; otherwise the first difference. Programs, the current program,
  // the editor flags and the sample clock are taken over from q, which must
  // not have rendered since its last reset.
  static std::string EngineOutOfStep(Quarvi& q);
};
