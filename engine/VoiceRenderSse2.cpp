// The voice group kernel with SSE2: two voices side by side. The baseline
// path; every build we ship has SSE2.
#include <emmintrin.h>

#include "VoiceRenderKernel.h"

namespace voicerender {
namespace {

struct Sse2 {
  static constexpr int kLanes = 2;
  using D = __m128d;
  using I = __m128i;  // lanes in the low two 32-bit elements

  static D Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, D x) { _mm_storeu_pd(p, x); }
  static D Set(double x) { return _mm_set1_pd(x); }
  static D Add(D a, D b) { return _mm_add_pd(a, b); }
  static D Sub(D a, D b) { return _mm_sub_pd(a, b); }
  static D Mul(D a, D b) { return _mm_mul_pd(a, b); }
  static D Div(D a, D b) { return _mm_div_pd(a, b); }
  static D Min(D a, D b) { return _mm_min_pd(a, b); }
  static D Max(D a, D b) { return _mm_max_pd(a, b); }
  static D And(D a, D b) { return _mm_and_pd(a, b); }
  static D AndNot(D a, D b) { return _mm_andnot_pd(a, b); }
  static D Or(D a, D b) { return _mm_or_pd(a, b); }
  static D Select(D mask, D a, D b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); }
  static D CmpEq(D a, D b) { return _mm_cmpeq_pd(a, b); }
  static D CmpLt(D a, D b) { return _mm_cmplt_pd(a, b); }
  static D CmpLe(D a, D b) { return _mm_cmple_pd(a, b); }
  static D CmpGt(D a, D b) { return _mm_cmpgt_pd(a, b); }
  static D CmpGe(D a, D b) { return _mm_cmpge_pd(a, b); }
  static int MoveMask(D a) { return _mm_movemask_pd(a); }
  static I Trunc(D x) { return _mm_cvttpd_epi32(x); }
  static D ToDouble(I x) { return _mm_cvtepi32_pd(x); }
  // c[j] holds sample j of both voices; afterwards c[v] holds voice v's two
  // samples.
  static void Transpose(D* c) {
    const D a = _mm_unpacklo_pd(c[0], c[1]);
    c[1] = _mm_unpackhi_pd(c[0], c[1]);
    c[0] = a;
  }

  static I LoadI(const int32_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
  static void StoreI(int32_t* p, I x) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), x); }
  static I SetI(int32_t x) { return _mm_set1_epi32(x); }
  static I AddI(I a, I b) { return _mm_add_epi32(a, b); }
  static I AndI(I a, I b) { return _mm_and_si128(a, b); }
  static bool SameI(I a, I b) { return (_mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) & 0xFF) == 0xFF; }
  static I Shift16(I a) { return _mm_srli_epi32(a, kPhaseToIndexShift); }
  // Low 32 bits of the products: SSE2 multiplies 32-bit elements 0 and 2.
  static I MulLo(I a, I b) {
    const I p = _mm_mul_epu32(_mm_shuffle_epi32(a, _MM_SHUFFLE(1, 1, 0, 0)),
                              _mm_shuffle_epi32(b, _MM_SHUFFLE(1, 1, 0, 0)));
    return _mm_shuffle_epi32(p, _MM_SHUFFLE(3, 3, 2, 0));
  }
  // Table indices are never negative: taken as unsigned they need no sign
  // extension.
  static unsigned Index0(I index) { return static_cast<unsigned>(_mm_cvtsi128_si32(index)); }
  static unsigned Index1(I index) {
    return static_cast<unsigned>(_mm_cvtsi128_si32(_mm_shuffle_epi32(index, _MM_SHUFFLE(1, 1, 1, 1))));
  }
  static D Gather(const double* table, I index) {
    return _mm_loadh_pd(_mm_load_sd(table + Index0(index)), table + Index1(index));
  }
  static I GatherI(const int32_t* table, I index) {
    return _mm_unpacklo_epi32(_mm_cvtsi32_si128(table[Index0(index)]), _mm_cvtsi32_si128(table[Index1(index)]));
  }
};

}  // namespace

bool AdmitSse2(Group& g) { return Kernel<Sse2>::Admit(g); }
int EnvelopesSse2(Group& g) { return Kernel<Sse2>::Envelopes(g); }
void RenderSse2(Group& g, double* left, double* right) {
  Kernel<Sse2> kernel;
  kernel.Render(g, left, right);
}

}  // namespace voicerender
