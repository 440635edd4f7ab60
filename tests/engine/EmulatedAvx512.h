#pragma once
// The AVX-512 kernel on every processor: the render's own eight-lane vector
// interface (engine/VoiceRenderAvx512Lanes.h) and kernel, compiled over
// SIMDe's portable implementation of the instructions. The render tests run
// it as one more path, so that the eight-lane kernel is held to the
// per-voice render bit for bit on every machine, not only on one with
// AVX-512. Null where SIMDe is not installed (the cross builds).
#include "VoiceRender.h"

const voicerender::KernelSteps* EmulatedAvx512Steps();
