// The voice group kernel with AVX-512: eight voices side by side. Compiled for
// AVX-512 on its own (the pragma below); called only after the processor and
// the operating system said they have it (ProcessorHasAvx512). Nothing in
// this file may be shared with the rest of the program: no standard library,
// only intrinsics and the kernel, whose functions all have internal linkage.
// The vector interface is engine/VoiceRenderAvx512Lanes.h.
#if defined(__GNUC__) && !defined(__AVX512F__)
#pragma GCC target("avx2,avx512f,avx512dq,avx512vl")
#endif
#include <immintrin.h>

#include "VoiceRenderKernel.h"
#include "VoiceRenderAvx512Lanes.h"

namespace voicerender {

bool AdmitAvx512(Group& g) { return Kernel<Avx512>::Admit(g); }
int FormantsAvx512(Group& g) {
  Kernel<Avx512> kernel;
  return kernel.Formants(g);
}
void MixAvx512(const Group& g, double* left, double* right) { Kernel<Avx512>::Mix(g, left, right); }

}  // namespace voicerender
