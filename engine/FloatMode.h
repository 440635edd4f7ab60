#pragma once
#include <xmmintrin.h>

// Sets flush-to-zero and denormals-are-zero for the lifetime of the object and
// restores the caller's mode afterwards. Decays that approach zero for minutes
// would otherwise run into denormal numbers, which cost x86 processors tens of
// times more per operation. Every build we ship computes with SSE2, so the
// SSE control register governs all double arithmetic of the render.
class ScopedFlushDenormals {
 public:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;

  ScopedFlushDenormals() : mSaved(_mm_getcsr()) {
    _mm_setcsr(mSaved | kFlushToZero | kDenormalsAreZero);
  }
  ~ScopedFlushDenormals() { _mm_setcsr(mSaved); }

  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

 private:
  unsigned mSaved;
};
