#pragma once
#include <memory>

#include "EngineShared.h"
#include "Envelope.h"
#include "Lfo.h"
#include "Oscillator.h"

// Level, amplitude modulation and pan of one of a voice's two output buses.
struct BusStage {
  double level = 0.0;
  double am1Amount = 0.0;
  const double* am1Source = &kSilentSource;
  double am2Amount = 0.0;
  const double* am2Source = &kSilentSource;
  double pan = 0.5;  // 0 left, 0.5 centre, 1 right
  double panAmount = 0.0;
  const double* panSource = &kSilentSource;

  // Gains of the bus into the left and right output (linear pan law).
  void Compute(double* l, double* r) const;
};

// Modulation source indices.
enum ModSource {
  kSrcOff = 0,
  kSrcOn,
  kSrcLfo1Plus,
  kSrcLfo2Plus,
  kSrcLfo3Plus,
  kSrcEnv1,
  kSrcEnv2,
  kSrcEnv3,
  kSrcVelocity,
  kSrcNotePlus,
  kSrcRndPlus,
  kSrcPitchBendPlus,
  kSrcWheel,
  kSrcLfo1,
  kSrcLfo2,
  kSrcLfo3,
  kSrcNote,
  kSrcRnd,
  kSrcPitchBend,
  kNumModSources
};

// One of the 64 sound slots. Voices live in place in the instrument's array
// and hand out pointers to their own fields as modulation sources, so they are
// never copied or moved.
class Voice {
 public:
  static constexpr int kStartKey = 48;

  Oscillator osc[2];
  BusStage bus[2];
  Lfo lfo[3];
  Envelope env[3];  // env[0] is the amplitude envelope, stepped per sample
  double zero = 0.0, one = 1.0;
  double notePlus = 0.0, noteBipolar = 0.0, velocity = 0.0, rndPlus = 0.0, rnd = 0.0;
  // The instrument's shared values; the voice's own zero until Attach.
  const double* pitchBendSource;
  const double* pitchBendUnipolarSource;
  const double* modWheelSource;
  int blockLength = 0;
  double sampleRate = 0.0;
  std::unique_ptr<double[]> bus1Buffer, bus2Buffer;
  bool freeRun = false;
  double portamentoTime = 0.0;  // seconds
  bool active = false;
  bool keyDown = false;
  bool sustained = false;
  double bus1Left = 0.0, bus1Right = 0.0, bus2Left = 0.0, bus2Right = 0.0;
  double glidePitch = Oscillator::kStartPitch;
  double glideStep = 0.0;
  int targetPitch = 0;
  int detune = 0;  // unison offset, pitch steps
  int glideTicksLeft = 0;
  int key = kStartKey;
  int noteVelocity = 0;
  int serial = 0;

  Voice();  // at 44100 Hz
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // Points the shared sources and the LFOs at the instrument's values.
  void Attach(EngineShared* shared);
  // Re-initialises and silences the voice; allocates the bus buffers when the
  // rate changed. Not for the render path.
  void SetSampleRate(double sr);
  // Once per control block.
  void ControlUpdate();
  // Adds n samples into the output channels (RenderVoices for this voice).
  void Render(double* left, double* right, int n);
  // The same, one voice at a time without the vector kernels; RenderVoices
  // takes it for a voice the kernels do not admit.
  void RenderSingle(double* left, double* right, int n);
  // Starts a note; tunedPitch is the key's pitch in pitch steps (tuning applied).
  void NoteOn(int key, int velocity, int serial, int tunedPitch);
  // Releases all three envelopes.
  void Release();
  void Pedal(bool down);
  void ZeroLfos();
  // The value behind a modulation source index; outside 1..18, "Off".
  const double* SourceFor(int index) const;
};

// Renders voices 0..count-1 of an array, each adding n samples into left and
// right in slot order, exactly as Voice::Render of each voice in turn: an
// inactive voice only advances its phases when it runs free. Voices that share
// their formant set-up are rendered side by side in SIMD lanes.
void RenderVoices(Voice* voices, int count, double* left, double* right, int n);

// Which code RenderVoices runs. kAuto takes AVX-512 when the processor (and
// the operating system) has it, else AVX2 when the processor has it, else
// SSE2; the others force a path (tests and benchmarks compare them;
// all give the same samples). kPerVoice is Voice::RenderSingle for every
// voice. Process-wide; not for use while another thread renders.
enum class RenderPath { kAuto, kPerVoice, kSse2, kAvx2, kAvx512 };
void SetRenderPath(RenderPath path);
// The path kAuto stands for, or the forced one.
RenderPath CurrentRenderPath();
bool RenderPathAvailable(RenderPath path);
