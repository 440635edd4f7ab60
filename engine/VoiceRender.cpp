// RenderVoices: groups the voices that share their formant set-up and renders
// each group with the vector kernel, one voice per lane; the rest one voice at
// a time. The result is the same, bit for bit, as Voice::RenderSingle of
// every voice in slot order: each lane computes exactly the per-sample
// algorithm, and the voices' outputs are added into the stereo sum in slot
// order, one voice after the other.
#include "VoiceRender.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "Voice.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#endif

namespace voicerender {

namespace {

bool DetectAvx2() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  // Also false when the operating system does not save the AVX registers.
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

// AVX-512 F, DQ and VL, and an operating system that saves the mask
// registers and all 512 bits of the 32 vector registers on a context switch
// (XCR0 bits 1, 2, 5, 6 and 7; asked directly with XGETBV, which is available
// when the processor reports OSXSAVE).
bool DetectAvx512() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512dq") ||
      !__builtin_cpu_supports("avx512vl") || !__builtin_cpu_supports("avx2"))
    return false;
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE)) return false;
  unsigned low, high;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 0xE6u) == 0xE6u;
#else
  return false;
#endif
}

const bool kHasAvx2 = DetectAvx2();
const bool kHasAvx512 = DetectAvx512();

}  // namespace

bool ProcessorHasAvx2() { return kHasAvx2; }
bool ProcessorHasAvx512() { return kHasAvx512; }

}  // namespace voicerender

using namespace voicerender;

namespace {

std::atomic<int> gRenderPath{static_cast<int>(RenderPath::kAuto)};

// What the kernels need to be the same in every lane of a group: the tables
// and the kind of each of the six formant slots, four bits each (kind + 1).
struct Signature {
  const PhaseIncrementTable* table;
  const WaveTables* waves;
  uint32_t kinds;
  int Kind(int slot) const { return static_cast<int>(kinds >> (4 * slot) & 15) - 1; }
  bool operator==(const Signature& o) const { return table == o.table && waves == o.waves && kinds == o.kinds; }
};

uint32_t KindOf(const Formant& f) {
  const int base = f.type == Formant::kRing ? kRing : (f.type == Formant::kFixed ? kFixed : kPartial);
  const int kind = base | (f.bandwidth == 0 ? kPlain : 0);
  return f.enabled ? static_cast<uint32_t>(kind + 1) : 0u;
}

// The group's formant set-up: what every lane must share. Whether the values
// of a run suit the kernel is for the kernel's Admit to say.
bool Describe(const Voice& v, Signature* sig) {
  const Oscillator &o0 = v.osc[0], &o1 = v.osc[1];
  const PhaseIncrementTable* table = o0.table;
  if (!table || !o0.waves || o1.table != table || o1.waves != o0.waves) return false;
  sig->table = table;
  sig->waves = o0.waves;
  sig->kinds = KindOf(o0.formant[0]) | KindOf(o0.formant[1]) << 4 | KindOf(o0.formant[2]) << 8 |
               KindOf(o1.formant[0]) << 12 | KindOf(o1.formant[1]) << 16 | KindOf(o1.formant[2]) << 20;
  return true;
}

// A voice that adds nothing to the sum: an idle one (whose free-running
// phases RenderSingle advances) or one without a rate.
bool Silent(const Voice& v) { return !v.active || v.blockLength <= 0; }

std::atomic<const KernelSteps*> gEightLaneSteps{nullptr};

bool EightLanesAvailable() { return ProcessorHasAvx512() || gEightLaneSteps.load(std::memory_order_relaxed); }

KernelSteps KernelFor(int width) {
  if (width == 8) {
    if (const KernelSteps* steps = gEightLaneSteps.load(std::memory_order_relaxed)) return *steps;
    return {AdmitAvx512, FormantsAvx512, MixAvx512};
  }
  if (width == 4) return {AdmitAvx2, FormantsAvx2, MixAvx2};
  return {AdmitSse2, FormantsSse2, MixSse2};
}

double Mask(bool on) {
  const uint64_t bits = on ? ~uint64_t{0} : 0;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

void Load(Group& g, Voice* const* members, int width, const Signature& sig) {
  for (int lane = 0; lane < width; ++lane) {
    const Voice& v = *members[lane];
    for (int o = 0; o < 2; ++o) {
      const Oscillator& osc = v.osc[o];
      OscillatorLanes& ol = g.osc[o];
      ol.pitch[lane] = osc.currentPitch;
      ol.slope[lane] = osc.pitchSlope;
      ol.phase[lane] = static_cast<int32_t>(osc.phase);
      ol.increment[lane] = osc.increment;
      for (int j = 0; j < 3; ++j) {
        FormantLanes& fl = ol.formant[j];
        fl.kind = sig.Kind(o * 3 + j);
        if (fl.kind == kOff) continue;
        const Formant& f = osc.formant[j];
        fl.value[lane] = f.value;
        fl.slope[lane] = f.valueSlope;
        fl.gain[lane] = f.gain;
        fl.bandwidth[lane] = f.bandwidth;
        fl.send[lane] = f.send;
        fl.phase[lane] = static_cast<int32_t>(f.formantPhase);
        fl.increment[lane] = static_cast<int32_t>(f.formantIncrement);
      }
    }
    const Envelope& e = v.env[0];
    g.envLevel[lane] = e.level;
    g.envTarget[lane] = e.target;
    g.envCoefficient[lane] = e.coefficient;
    const bool moving = e.stage == Envelope::kAttack || e.stage == Envelope::kDecay || e.stage == Envelope::kRelease;
    g.envMoving[lane] = Mask(moving);
    g.envRising[lane] = Mask(e.stage == Envelope::kAttack);
    g.envFalling[lane] = Mask(e.stage == Envelope::kDecay || e.stage == Envelope::kRelease);
    g.busGain[0][lane] = v.bus1Left;
    g.busGain[1][lane] = v.bus1Right;
    g.busGain[2][lane] = v.bus2Left;
    g.busGain[3][lane] = v.bus2Right;
  }
}

void StoreBack(const Group& g, Voice& v, int lane) {
  for (int o = 0; o < 2; ++o) {
    Oscillator& osc = v.osc[o];
    const OscillatorLanes& ol = g.osc[o];
    osc.currentPitch = ol.pitch[lane];
    osc.phase = static_cast<uint32_t>(ol.phase[lane]);
    osc.increment = ol.increment[lane];
    for (int j = 0; j < 3; ++j) {
      const FormantLanes& fl = ol.formant[j];
      if (fl.kind == kOff) continue;
      Formant& f = osc.formant[j];
      f.value = fl.value[lane];
      if ((fl.kind & ~kPlain) == kRing) {
        f.formantPhase = static_cast<uint32_t>(fl.phase[lane]);
        f.formantIncrement = fl.increment[lane];
      } else {
        // The state the last sample leaves, as the per-sample algorithm does.
        const int64_t k = fl.lastHarmonic[lane];
        f.harmonic = k;
        f.formantIncrement = HarmonicIncrement(k, ol.increment[lane]);
        f.formantPhase = static_cast<uint32_t>(fl.lastPhase[lane]);
      }
    }
  }
}

void RenderGroup(Voice* const* voices, int count, int width, const Signature& sig, double* left, double* right,
                 int n) {
  Group g;
  g.width = width;
  g.count = count;
  g.increments = sig.table->inc;
  g.maxIncrement = sig.table->maxIncrement;
  g.waves = sig.waves;
  // Spare lanes compute a copy of the first voice and are thrown away.
  const KernelSteps kernel = KernelFor(width);
  Voice* members[kMaxLanes];
  for (int lane = 0; lane < width; ++lane) members[lane] = voices[lane < count ? lane : 0];
  for (int done = 0; done < n; done += kChunk) {
    const int m = std::min(kChunk, n - done);
    g.n = m;
    Load(g, members, width, sig);
    if (!kernel.admit(g)) {
      // Values no parameter produces: the rest of the run one voice at a time.
      for (int lane = 0; lane < count; ++lane) members[lane]->RenderSingle(left + done, right + done, n - done);
      return;
    }
    // Envelope 1 steps once per sample, alongside the oscillators; nothing in
    // the render reads it before the mix. A lane whose stage ends within the
    // run (or is in its delay step) is stepped one by one instead.
    const int ended = kernel.formants(g);
    for (int lane = 0; lane < count; ++lane) {
      Envelope& e = members[lane]->env[0];
      const bool known = e.stage == Envelope::kIdle || e.stage == Envelope::kAttack || e.stage == Envelope::kDecay ||
                         e.stage == Envelope::kRelease;
      if (known && !(ended >> lane & 1)) {
        e.level = g.envLevel[lane];
        continue;
      }
      for (int i = 0; i < m; ++i) {
        e.Step();
        g.envelope[i * width + lane] = e.level;
      }
    }
    kernel.mix(g, left + done, right + done);
    for (int lane = 0; lane < count; ++lane) StoreBack(g, *members[lane], lane);
  }
}

}  // namespace

void SetRenderPath(RenderPath path) { gRenderPath.store(static_cast<int>(path), std::memory_order_relaxed); }

void voicerender::SetEightLaneStepsForTesting(const KernelSteps* steps) {
  gEightLaneSteps.store(steps, std::memory_order_relaxed);
}

bool RenderPathAvailable(RenderPath path) {
  if (path == RenderPath::kAvx512) return EightLanesAvailable();
  return path != RenderPath::kAvx2 || ProcessorHasAvx2();
}

RenderPath CurrentRenderPath() {
  auto path = static_cast<RenderPath>(gRenderPath.load(std::memory_order_relaxed));
  if (path == RenderPath::kAuto) path = RenderPath::kAvx512;
  if (path == RenderPath::kAvx512 && !EightLanesAvailable()) path = RenderPath::kAvx2;
  if (path == RenderPath::kAvx2 && !ProcessorHasAvx2()) path = RenderPath::kSse2;
  return path;
}

void RenderVoices(Voice* voices, int count, double* left, double* right, int n) {
  if (n <= 0) return;
  const RenderPath path = CurrentRenderPath();
  if (path == RenderPath::kPerVoice) {
    for (int v = 0; v < count; ++v) voices[v].RenderSingle(left, right, n);
    return;
  }
  const int width = path == RenderPath::kAvx512 ? 8 : (path == RenderPath::kAvx2 ? 4 : 2);
  Voice* members[kMaxLanes];
  Signature lead, next;
  int v = 0;
  while (v < count) {
    Voice& a = voices[v++];
    if (Silent(a) || !Describe(a, &lead)) {
      a.RenderSingle(left, right, n);
      continue;
    }
    members[0] = &a;
    int count2 = 1;
    // Later voices join while they share the set-up; inactive ones in between
    // add nothing, so they do not break the slot order of the sum.
    while (count2 < width && v < count) {
      Voice& b = voices[v];
      if (Silent(b)) {
        b.RenderSingle(left, right, n);
        ++v;
        continue;
      }
      if (!Describe(b, &next) || !(next == lead)) break;
      members[count2++] = &b;
      ++v;
    }
    // A voice on its own costs less without the lane set-up; a few voices
    // waste fewer lanes in the narrowest kernel that holds them (a processor
    // with AVX-512 has AVX2; the eight lanes a test puts on one without it
    // take the groups of three and four as well).
    if (count2 == 1)
      a.RenderSingle(left, right, n);
    else
      RenderGroup(members, count2, count2 <= 2 ? 2 : (count2 <= 4 && ProcessorHasAvx2() ? 4 : width), lead, left, right, n);
  }
}
