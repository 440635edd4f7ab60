// The voice group kernel with AVX2: four voices side by side. Compiled for
// AVX2 on its own (the pragma below); called only after the processor said it
// has AVX2 (ProcessorHasAvx2). Nothing in this file may be shared with the
// rest of the program: no standard library, only intrinsics and the kernel,
// whose functions all have internal linkage.
#if defined(__GNUC__) && !defined(__AVX2__)
#pragma GCC target("avx2")
#endif
#include <immintrin.h>

#include "VoiceRenderKernel.h"

namespace voicerender {
namespace {

struct Avx2 {
  static constexpr int kLanes = 4;
  using D = __m256d;
  using I = __m128i;  // four 32-bit lanes

  static D Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, D x) { _mm256_storeu_pd(p, x); }
  static D Set(double x) { return _mm256_set1_pd(x); }
  static D Add(D a, D b) { return _mm256_add_pd(a, b); }
  static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
  static D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
  static D Div(D a, D b) { return _mm256_div_pd(a, b); }
  static D Min(D a, D b) { return _mm256_min_pd(a, b); }
  static D Max(D a, D b) { return _mm256_max_pd(a, b); }
  static D And(D a, D b) { return _mm256_and_pd(a, b); }
  static D AndNot(D a, D b) { return _mm256_andnot_pd(a, b); }
  static D Or(D a, D b) { return _mm256_or_pd(a, b); }
  static D Select(D mask, D a, D b) { return _mm256_blendv_pd(b, a, mask); }
  // Ordered comparisons: false with a NaN, as in C++ (and in SSE2).
  static D CmpEq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static D CmpLt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static D CmpLe(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  static D CmpGt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  static D CmpGe(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
  static int MoveMask(D a) { return _mm256_movemask_pd(a); }
  static I Trunc(D x) { return _mm256_cvttpd_epi32(x); }
  static D ToDouble(I x) { return _mm256_cvtepi32_pd(x); }
  // c[j] holds sample j of four voices; afterwards c[v] holds voice v's four
  // samples.
  static void Transpose(D* c) {
    const D t0 = _mm256_unpacklo_pd(c[0], c[1]), t1 = _mm256_unpackhi_pd(c[0], c[1]);
    const D t2 = _mm256_unpacklo_pd(c[2], c[3]), t3 = _mm256_unpackhi_pd(c[2], c[3]);
    c[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    c[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    c[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    c[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
  }

  static I LoadI(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void StoreI(int32_t* p, I x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }
  static I SetI(int32_t x) { return _mm_set1_epi32(x); }
  static I AddI(I a, I b) { return _mm_add_epi32(a, b); }
  static I AndI(I a, I b) { return _mm_and_si128(a, b); }
  static bool SameI(I a, I b) { return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF; }
  static I Shift16(I a) { return _mm_srli_epi32(a, kPhaseToIndexShift); }
  static I MulLo(I a, I b) { return _mm_mullo_epi32(a, b); }
  // The compiler may give a gather the register of an earlier one as its
  // (merged) destination; written out in assembly with a zeroed destination
  // instead, the kernel measured slower, so the intrinsics stay.
  static D Gather(const double* table, I index) { return _mm256_i32gather_pd(table, index, 8); }
  static I GatherI(const int32_t* table, I index) { return _mm_i32gather_epi32(table, index, 4); }
};

}  // namespace

bool AdmitAvx2(Group& g) { return Kernel<Avx2>::Admit(g); }
int EnvelopesAvx2(Group& g) { return Kernel<Avx2>::Envelopes(g); }
void RenderAvx2(Group& g, double* left, double* right) {
  Kernel<Avx2> kernel;
  kernel.Render(g, left, right);
}

}  // namespace voicerender
