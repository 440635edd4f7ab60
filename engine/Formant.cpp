#include "Formant.h"

#include <emmintrin.h>

#include <cmath>

void Formant::ControlUpdate(const PhaseIncrementTable& table, double msPerSample) {
  gain = volume * DepthFactor(amAmount, *amSource);
  double target;
  if (type == kFixed) {
    // An absolute frequency, independent of the played key.
    const double p = RoundHalfAway(*fm1Source * fm1Pitch + fixedPitch + *fm2Source * fm2Pitch);
    if (p < 0)
      target = table.inc[0];
    else if (p >= kMaxFixedPitch + 1)
      target = table.inc[kMaxFixedPitch];
    else
      target = table.inc[static_cast<int>(p)];
  } else {
    // A multiple of the fundamental; full FM multiplies or divides it by 50.
    target = partial * std::exp(kLn50 * (*fm1Source * fm1Ratio + *fm2Source * fm2Ratio));
  }
  // Travels almost all the way to the target within one control block.
  valueSlope = (target - value) * msPerSample;
}

// Rendering a run of samples. Each sample computes exactly what Sample does,
// operation by operation, so the output is the same to the last bit; the
// speed comes from keeping the state in registers, deciding the type once and
// computing the double arithmetic of the harmonic types for two samples at a
// time with SSE2 (IEEE double arithmetic is the same in a vector lane).
//
// Two deliberate differences in form, not in result:
// - Sample skips the window for an exact zero; multiplying the zero by the
//   positive window value gives the same zero, sign included.
// - The increment limit tests run in double: k * inc is exact below 2^53,
//   and anything at or above 2^53 is far beyond the limit either way.
namespace {

struct HarmonicParams {
  double gain, bandwidth, send;
  int64_t maxIncrement;
};

// One sample of "Fixed"/"Partial" for a given ratio r; returns k.
inline int64_t HarmonicSample(double r, uint32_t phi, int64_t inc, double pulse, const HarmonicParams& p,
                              const WaveTables& w, double& bus1, double& bus2, uint32_t* phaseOut,
                              int64_t* incrementOut) {
  int64_t k = static_cast<int64_t>(r);
  if (static_cast<double>(k) > r) --k;
  const int64_t fi = HarmonicIncrement(k, inc);
  double a = 0.0, h = 0.0;
  if (fi <= p.maxIncrement) {
    a = p.gain;
    if (fi + inc <= p.maxIncrement) {
      h = (r - static_cast<double>(k)) * p.gain;
      a = p.gain - h;
    }
  }
  const uint32_t fp = (static_cast<uint32_t>(k) * phi) & kPhaseMask;
  double s = a * w.sine[fp >> kPhaseToIndexShift] + h * w.sine[((fp + phi) & kPhaseMask) >> kPhaseToIndexShift];
  s = s * w.decay[static_cast<int>(pulse * p.bandwidth) & (kTableSize - 1)];
  bus2 += s * p.send;
  bus1 += s - s * p.send;
  *phaseOut = fp;
  *incrementOut = fi;
  return k;
}

// Samples i and i+1 with ratios r (two lanes). Returns false, doing nothing,
// when a ratio does not fit a 32-bit integer; the caller then takes the
// scalar path.
inline bool HarmonicPair(__m128d r, const Formant::Run& run, int i, const HarmonicParams& p, const WaveTables& w,
                         double* bus1, double* bus2) {
  const __m128d inRange =
      _mm_and_pd(_mm_cmpge_pd(r, _mm_set1_pd(-2147483648.0)), _mm_cmplt_pd(r, _mm_set1_pd(2147483648.0)));
  if (_mm_movemask_pd(inRange) != 3) return false;

  // k = floor(r): truncate, then one less where that went up.
  __m128i k = _mm_cvttpd_epi32(r);  // lanes 0, 1
  __m128d kd = _mm_cvtepi32_pd(k);
  const __m128d over = _mm_cmpgt_pd(kd, r);
  k = _mm_add_epi32(k, _mm_shuffle_epi32(_mm_castpd_si128(over), _MM_SHUFFLE(3, 3, 2, 0)));
  kd = _mm_sub_pd(kd, _mm_and_pd(over, _mm_set1_pd(1.0)));

  const __m128d incd = _mm_loadu_pd(&run.incrementValue[i]);
  const __m128d maxd = _mm_set1_pd(static_cast<double>(p.maxIncrement));
  const __m128d fi = _mm_mul_pd(kd, incd);
  const __m128d lowerFits = _mm_cmple_pd(fi, maxd);
  const __m128d upperFits = _mm_cmple_pd(_mm_add_pd(fi, incd), maxd);
  const __m128d g = _mm_set1_pd(p.gain);
  const __m128d h = _mm_and_pd(_mm_mul_pd(_mm_sub_pd(r, kd), g), upperFits);
  const __m128d a = _mm_and_pd(_mm_sub_pd(g, h), lowerFits);

  // Lower harmonic phase k * phi mod 2^28 in two 64-bit lanes.
  const __m128i mask = _mm_set1_epi64x(kPhaseMask);
  const __m128i phi =
      _mm_unpacklo_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&run.phase[i])), _mm_setzero_si128());
  const __m128i fp = _mm_and_si128(_mm_mul_epu32(_mm_unpacklo_epi32(k, k), phi), mask);
  const __m128i lowIndex = _mm_srli_epi64(fp, kPhaseToIndexShift);
  const __m128i highIndex = _mm_srli_epi64(_mm_and_si128(_mm_add_epi64(fp, phi), mask), kPhaseToIndexShift);
  const int l0 = _mm_cvtsi128_si32(lowIndex), l1 = _mm_cvtsi128_si32(_mm_srli_si128(lowIndex, 8));
  const int h0 = _mm_cvtsi128_si32(highIndex), h1 = _mm_cvtsi128_si32(_mm_srli_si128(highIndex, 8));
  const __m128d lowSine = _mm_loadh_pd(_mm_load_sd(&w.sine[l0]), &w.sine[l1]);
  const __m128d highSine = _mm_loadh_pd(_mm_load_sd(&w.sine[h0]), &w.sine[h1]);
  __m128d s = _mm_add_pd(_mm_mul_pd(a, lowSine), _mm_mul_pd(h, highSine));

  const __m128i window =
      _mm_and_si128(_mm_cvttpd_epi32(_mm_mul_pd(_mm_loadu_pd(&run.pulse[i]), _mm_set1_pd(p.bandwidth))),
                    _mm_set1_epi32(kTableSize - 1));
  const int w0 = _mm_cvtsi128_si32(window), w1 = _mm_cvtsi128_si32(_mm_srli_si128(window, 4));
  s = _mm_mul_pd(s, _mm_loadh_pd(_mm_load_sd(&w.decay[w0]), &w.decay[w1]));

  const __m128d sd = _mm_set1_pd(p.send);
  const __m128d toBus2 = _mm_mul_pd(s, sd);
  _mm_storeu_pd(&bus2[i], _mm_add_pd(_mm_loadu_pd(&bus2[i]), toBus2));
  _mm_storeu_pd(&bus1[i], _mm_add_pd(_mm_loadu_pd(&bus1[i]), _mm_sub_pd(s, toBus2)));
  return true;
}

}  // namespace

template <bool kIsFixed>
static void RenderHarmonicRun(Formant& f, const Formant::Run& run, const WaveTables& w, double* __restrict bus1,
                              double* __restrict bus2) {
  const int n = run.length;
  if (n <= 0) return;
  const HarmonicParams p{f.gain, f.bandwidth, f.send, run.maxIncrement};
  // The value glides sample by sample; its chain is serial.
  double values[Formant::Run::kMaxLength];
  double v = f.value;
  const double slope = f.valueSlope;
  for (int i = 0; i < n; ++i) {
    v += slope;
    values[i] = v;
  }
  uint32_t fp = 0;
  int64_t fi = 0;
  int i = 0;
  for (; i + 1 < n; i += 2) {
    const __m128d vv = _mm_loadu_pd(&values[i]);
    const __m128d r = kIsFixed ? _mm_div_pd(vv, _mm_loadu_pd(&run.incrementValue[i])) : vv;
    if (HarmonicPair(r, run, i, p, w, bus1, bus2)) continue;
    for (int j = i; j < i + 2; ++j) {
      const double rj = kIsFixed ? values[j] / run.incrementValue[j] : values[j];
      HarmonicSample(rj, run.phase[j], run.increment[j], run.pulse[j], p, w, bus1[j], bus2[j], &fp, &fi);
    }
  }
  for (; i < n; ++i) {
    const double ri = kIsFixed ? values[i] / run.incrementValue[i] : values[i];
    HarmonicSample(ri, run.phase[i], run.increment[i], run.pulse[i], p, w, bus1[i], bus2[i], &fp, &fi);
  }
  // The state after the last sample, as Sample leaves it.
  const int last = n - 1;
  const double r = kIsFixed ? values[last] / run.incrementValue[last] : values[last];
  int64_t k = static_cast<int64_t>(r);
  if (static_cast<double>(k) > r) --k;
  f.value = v;
  f.harmonic = k;
  f.formantIncrement = HarmonicIncrement(k, run.increment[last]);
  f.formantPhase = (static_cast<uint32_t>(k) * run.phase[last]) & kPhaseMask;
}

static void RenderRingRun(Formant& f, const Formant::Run& run, const WaveTables& w, double* __restrict bus1,
                          double* __restrict bus2) {
  double v = f.value;
  const double slope = f.valueSlope, g = f.gain, bw = f.bandwidth, sd = f.send;
  const int64_t maxIncrement = run.maxIncrement;
  uint32_t fp = f.formantPhase;
  int64_t fi = f.formantIncrement;
  for (int i = 0; i < run.length; ++i) {
    v += slope;
    fi = RingIncrement(run.incrementValue[i] * v);
    const double a = fi <= maxIncrement ? g : 0.0;
    fp = static_cast<uint32_t>((static_cast<uint64_t>(fp) + fi) & kPhaseMask);
    double s = a * w.sine[fp >> kPhaseToIndexShift];
    s = s * w.decay[static_cast<int>(run.pulse[i] * bw) & (kTableSize - 1)];
    bus2[i] += s * sd;
    bus1[i] += s - s * sd;
  }
  f.value = v;
  f.formantPhase = fp;
  f.formantIncrement = fi;
}

void Formant::RenderRun(const Run& run, const WaveTables& w, double* __restrict bus1, double* __restrict bus2) {
  if (type == kRing)
    RenderRingRun(*this, run, w, bus1, bus2);
  else if (type == kFixed)
    RenderHarmonicRun<true>(*this, run, w, bus1, bus2);
  else
    RenderHarmonicRun<false>(*this, run, w, bus1, bus2);
}
