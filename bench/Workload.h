#pragma once
// Names of the benchmark workloads and engines, shared by quarvi_bench and
// the render probe.
#include <cstring>
#include <string>

#include "Workloads.h"

namespace bench {

struct WorkloadSpec {
  const char* key;   // "a".."d"
  const char* name;  // for tables
  int voices;
  int type;
};

constexpr WorkloadSpec kWorkloads[] = {
    {"a", "a: 1 voice, Fixed", 1, Formant::kFixed},
    {"b", "b: 64 voices, Fixed", 64, Formant::kFixed},
    {"c", "c: 64 voices, Partial", 64, Formant::kPartial},
    {"d", "d: 64 voices, Ring", 64, Formant::kRing},
};

// The engines compared: the straightforward reference, and the engine's
// render with each of its paths forced.
struct EngineSpec {
  const char* key;
  workload::Engine engine;
  RenderPath path;
};

constexpr EngineSpec kEngines[] = {
    {"reference", workload::Engine::kReference, RenderPath::kAuto},
    {"per-voice", workload::Engine::kOptimized, RenderPath::kPerVoice},
    {"sse2", workload::Engine::kOptimized, RenderPath::kSse2},
    {"avx2", workload::Engine::kOptimized, RenderPath::kAvx2},
    {"avx512", workload::Engine::kOptimized, RenderPath::kAvx512},
};

inline const WorkloadSpec* FindWorkload(const char* key) {
  for (const WorkloadSpec& w : kWorkloads)
    if (!std::strcmp(w.key, key)) return &w;
  return nullptr;
}

inline const EngineSpec* FindEngine(const char* key) {
  for (const EngineSpec& e : kEngines)
    if (!std::strcmp(e.key, key)) return &e;
  return nullptr;
}

}  // namespace bench
