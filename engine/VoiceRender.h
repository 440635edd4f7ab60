#pragma once
// Internal to the voice render (engine/VoiceRender*.cpp): a group of voices
// rendered side by side, one voice per SIMD lane. The voices' render state is
// copied into these lane arrays, the kernel renders a run of samples, and the
// state is copied back, so that everything outside the render keeps working
// on Voice, Oscillator and Formant as they are.
#include <cstdint>

#include "Tables.h"

namespace voicerender {

constexpr int kMaxLanes = 8;  // AVX-512: eight doubles
constexpr int kChunk = 64;    // samples per kernel call

// What a formant slot does in a group (the same in every lane): the type,
// plus kPlain when the bandwidth is 0, which makes the window exactly 1.
enum Kind : int { kOff = -1, kFixed = 0, kPartial = 1, kRing = 2, kPlain = 8 };

struct FormantLanes {
  int kind;
  // Set by Admit: in every lane and sample of the run both harmonics (or the
  // ring sine) stay below the increment limit, so the limit tests always pass.
  bool fits = false;
  double value[kMaxLanes];
  double slope[kMaxLanes];
  double gain[kMaxLanes];
  double bandwidth[kMaxLanes];
  double send[kMaxLanes];
  int32_t lastHarmonic[kMaxLanes];  // out ("Fixed", "Partial"): the lower harmonic of the last sample
  int32_t lastPhase[kMaxLanes];     // out ("Fixed", "Partial"): its phase
  int32_t phase[kMaxLanes];      // "Ring": running formant phase, in and out
  int32_t increment[kMaxLanes];  // out ("Ring"): the increment of the last sample
};

struct OscillatorLanes {
  double pitch[kMaxLanes];
  double slope[kMaxLanes];
  int32_t phase[kMaxLanes];
  int32_t increment[kMaxLanes];
  FormantLanes formant[3];
};

struct Group {
  int width;  // lanes of the kernel (2, 4 or 8); lanes beyond count are copies of lane 0
  int count;  // voices in the group
  int n;      // samples, 1..kChunk
  const int32_t* increments;
  int32_t maxIncrement;
  const WaveTables* waves;
  OscillatorLanes osc[2];
  double busGain[4][kMaxLanes];  // bus1Left, bus1Right, bus2Left, bus2Right
  // Envelope 1: state in, level out; the masks (all bits set or clear) say
  // whether the level moves and which end of its stage it must not reach.
  double envLevel[kMaxLanes];
  double envTarget[kMaxLanes];
  double envCoefficient[kMaxLanes];
  double envMoving[kMaxLanes];
  double envRising[kMaxLanes];   // attack: ends at 1
  double envFalling[kMaxLanes];  // decay, release: end at 0
  double envelope[kChunk * kMaxLanes];  // [sample][lane]: envelope 1 level
  // The two buses of every lane, [sample][lane], between the two kernel steps.
  double bus1[kChunk * kMaxLanes];
  double bus2[kChunk * kMaxLanes];
};

// The kernels; all compute exactly what the per-sample algorithm computes.
// Width 2 with SSE2 (every build has it), width 4 with AVX2 and width 8 with
// AVX-512 (only on a processor, and under an operating system, that has them).
//
// Admit: true when every value of the run stays where the kernel's 32-bit
// steps equal the algorithm's 64-bit ones (see VoiceRender.cpp). Changes
// nothing but the formants' fits flags.
bool AdmitSse2(Group& g);
bool AdmitAvx2(Group& g);
bool AdmitAvx512(Group& g);
// Step 1: oscillators and formants into the buses, and envelope 1 of every
// lane into envelope[] and envLevel[]. Returns a bit per lane whose envelope
// stage ended (or may have) within the run; those lanes' envelope results are
// void and the caller steps them one by one before step 2.
int FormantsSse2(Group& g);
int FormantsAvx2(Group& g);
int FormantsAvx512(Group& g);
// Step 2: bus mix and envelope, added into left and right (lanes
// 0..count-1 in order, per sample).
void MixSse2(const Group& g, double* left, double* right);
void MixAvx2(const Group& g, double* left, double* right);
void MixAvx512(const Group& g, double* left, double* right);

// The three steps of one kernel width.
struct KernelSteps {
  bool (*admit)(Group&);
  int (*formants)(Group&);
  void (*mix)(const Group&, double*, double*);
};

// For tests: the eight-lane path renders with these steps instead of the
// AVX-512 ones, on any processor (RenderPathAvailable then reports it). The
// tests put the same kernel there, built over a portable implementation of
// the AVX-512 instructions, so that it is checked where the processor lacks
// them. Null: the processor's own again.
void SetEightLaneStepsForTesting(const KernelSteps* steps);

bool ProcessorHasAvx2();
// AVX-512 F, DQ and VL, with the operating system saving the mask and 512-bit
// registers.
bool ProcessorHasAvx512();

}  // namespace voicerender
