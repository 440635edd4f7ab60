#pragma once
// The vector interface of the eight-lane kernel over AVX-512 instructions.
// Included after the instructions' declarations: by
// engine/VoiceRenderAvx512.cpp (the processor's own, compiled for AVX-512)
// and by the tests (SIMDe's portable implementation of the same
// instructions, so that this code runs on every processor). Internal
// linkage only, like the kernel.
//
// The kernel's masks stay what they are in the other widths, all bits of a
// double lane set or clear: comparisons give a mask register, which is turned
// into such a vector, and the masks are turned back into mask registers where
// an instruction needs one. Only the envelope and the formants whose harmonics
// may pass the increment limit use them, so the conversions cost little.

namespace voicerender {
namespace {

struct Avx512 {
  static constexpr int kLanes = 8;
  using D = __m512d;
  using I = __m256i;  // eight 32-bit lanes

  static D Load(const double* p) { return _mm512_loadu_pd(p); }
  static void Store(double* p, D x) { _mm512_storeu_pd(p, x); }
  static D Set(double x) { return _mm512_set1_pd(x); }
  static D Add(D a, D b) { return _mm512_add_pd(a, b); }
  static D Sub(D a, D b) { return _mm512_sub_pd(a, b); }
  static D Mul(D a, D b) { return _mm512_mul_pd(a, b); }
  static D Div(D a, D b) { return _mm512_div_pd(a, b); }
  static D Min(D a, D b) { return _mm512_min_pd(a, b); }
  static D Max(D a, D b) { return _mm512_max_pd(a, b); }
  static D And(D a, D b) { return _mm512_and_pd(a, b); }
  static D AndNot(D a, D b) { return _mm512_andnot_pd(a, b); }
  static D Or(D a, D b) { return _mm512_or_pd(a, b); }
  static __mmask8 ToMask(D mask) { return _mm512_movepi64_mask(_mm512_castpd_si512(mask)); }
  static D FromMask(__mmask8 k) { return _mm512_castsi512_pd(_mm512_movm_epi64(k)); }
  static D Select(D mask, D a, D b) { return _mm512_mask_blend_pd(ToMask(mask), b, a); }
  // Ordered comparisons: false with a NaN, as in C++ (and in SSE2).
  static D CmpEq(D a, D b) { return FromMask(_mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ)); }
  static D CmpLt(D a, D b) { return FromMask(_mm512_cmp_pd_mask(a, b, _CMP_LT_OQ)); }
  static D CmpLe(D a, D b) { return FromMask(_mm512_cmp_pd_mask(a, b, _CMP_LE_OQ)); }
  static D CmpGt(D a, D b) { return FromMask(_mm512_cmp_pd_mask(a, b, _CMP_GT_OQ)); }
  static D CmpGe(D a, D b) { return FromMask(_mm512_cmp_pd_mask(a, b, _CMP_GE_OQ)); }
  static int MoveMask(D a) { return ToMask(a); }
  static I Trunc(D x) { return _mm512_cvttpd_epi32(x); }
  static D ToDouble(I x) { return _mm512_cvtepi32_pd(x); }
  // c[j] holds sample j of eight voices; afterwards c[v] holds voice v's
  // eight samples. Pairs of samples first, then 128-bit pieces twice.
  static void Transpose(D* c) {
    D t[8], u[8];
    for (int j = 0; j < 8; j += 2) {
      t[j] = _mm512_unpacklo_pd(c[j], c[j + 1]);      // v0 v0' | v2 v2' | v4 v4' | v6 v6'
      t[j + 1] = _mm512_unpackhi_pd(c[j], c[j + 1]);  // v1 v1' | v3 v3' | v5 v5' | v7 v7'
    }
    // u[0]: voices 0 and 4 of samples 0..3; u[1]: voices 2 and 6; u[2]:
    // voices 1 and 5; u[3]: voices 3 and 7. u[4..7] the same of samples 4..7.
    for (int h = 0; h < 8; h += 4) {
      u[h + 0] = _mm512_shuffle_f64x2(t[h + 0], t[h + 2], 0x88);
      u[h + 1] = _mm512_shuffle_f64x2(t[h + 0], t[h + 2], 0xDD);
      u[h + 2] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0x88);
      u[h + 3] = _mm512_shuffle_f64x2(t[h + 1], t[h + 3], 0xDD);
    }
    c[0] = _mm512_shuffle_f64x2(u[0], u[4], 0x88);
    c[4] = _mm512_shuffle_f64x2(u[0], u[4], 0xDD);
    c[2] = _mm512_shuffle_f64x2(u[1], u[5], 0x88);
    c[6] = _mm512_shuffle_f64x2(u[1], u[5], 0xDD);
    c[1] = _mm512_shuffle_f64x2(u[2], u[6], 0x88);
    c[5] = _mm512_shuffle_f64x2(u[2], u[6], 0xDD);
    c[3] = _mm512_shuffle_f64x2(u[3], u[7], 0x88);
    c[7] = _mm512_shuffle_f64x2(u[3], u[7], 0xDD);
  }

  static I LoadI(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void StoreI(int32_t* p, I x) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x); }
  static I SetI(int32_t x) { return _mm256_set1_epi32(x); }
  static I AddI(I a, I b) { return _mm256_add_epi32(a, b); }
  static I AndI(I a, I b) { return _mm256_and_si256(a, b); }
  static bool SameI(I a, I b) { return _mm256_cmpneq_epi32_mask(a, b) == 0; }
  static I Shift16(I a) { return _mm256_srli_epi32(a, kPhaseToIndexShift); }
  static I MulLo(I a, I b) { return _mm256_mullo_epi32(a, b); }
  static D Gather(const double* table, I index) { return _mm512_i32gather_pd(index, table, 8); }
  static I GatherI(const int32_t* table, I index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
  }
};

}  // namespace
}  // namespace voicerender
