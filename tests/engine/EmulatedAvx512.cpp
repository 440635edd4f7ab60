#include "EmulatedAvx512.h"

#if __has_include(<simde/x86/avx512.h>)

#include <climits>
#include <cstdint>

#define SIMDE_ENABLE_NATIVE_ALIASES
#include <simde/x86/avx512.h>

// What SIMDe 0.7 leaves without its native name, and three instructions it
// lacks, written out with the processor's results: a truncation that does
// not fit (or a NaN) gives INT32_MIN, as vcvttpd2dq does.
// The kernel's 32-bit products wrap, as the instruction's do; SIMDe's
// portable vpmulld multiplies signed integers, which UBSan reports when they
// wrap. The unsigned product has the same bits.
#undef _mm256_mullo_epi32
#define _mm256_mullo_epi32(a, b) simde_x_mm256_mullo_epu32(a, b)

#ifndef _mm512_shuffle_f64x2
using __mmask8 = simde__mmask8;
#define _mm512_shuffle_f64x2(a, b, imm8) simde_mm512_shuffle_f64x2(a, b, imm8)
#endif

namespace {

#ifndef _mm512_cvttpd_epi32
simde__m256i _mm512_cvttpd_epi32(simde__m512d x) {
  double d[8];
  int32_t r[8];
  simde_mm512_storeu_pd(d, x);
  for (int i = 0; i < 8; ++i)
    r[i] = d[i] > -2147483649.0 && d[i] < 2147483648.0 ? static_cast<int32_t>(d[i]) : INT32_MIN;
  return simde_mm256_loadu_si256(r);
}
#endif

#ifndef _mm512_cvtepi32_pd
simde__m512d _mm512_cvtepi32_pd(simde__m256i x) {
  int32_t v[8];
  double r[8];
  simde_mm256_storeu_si256(v, x);
  for (int i = 0; i < 8; ++i) r[i] = static_cast<double>(v[i]);
  return simde_mm512_loadu_pd(r);
}
#endif

#ifndef _mm512_i32gather_pd
simde__m512d _mm512_i32gather_pd(simde__m256i index, const double* table, int /*scale 8*/) {
  int32_t k[8];
  double r[8];
  simde_mm256_storeu_si256(k, index);
  for (int i = 0; i < 8; ++i) r[i] = table[k[i]];
  return simde_mm512_loadu_pd(r);
}
#endif

}  // namespace

#include "VoiceRenderKernel.h"
#include "VoiceRenderAvx512Lanes.h"

namespace {

using voicerender::Group;

bool Admit(Group& g) { return voicerender::Kernel<voicerender::Avx512>::Admit(g); }
int Formants(Group& g) {
  voicerender::Kernel<voicerender::Avx512> kernel;
  return kernel.Formants(g);
}
void Mix(const Group& g, double* left, double* right) { voicerender::Kernel<voicerender::Avx512>::Mix(g, left, right); }

const voicerender::KernelSteps kSteps = {Admit, Formants, Mix};

}  // namespace

const voicerender::KernelSteps* EmulatedAvx512Steps() { return &kSteps; }

#else

const voicerender::KernelSteps* EmulatedAvx512Steps() { return nullptr; }

#endif
