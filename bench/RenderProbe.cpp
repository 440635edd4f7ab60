// Renders a fixed amount of audio of one workload with one engine, without
// any timing machinery, for instruction counting under callgrind (see
// callgrind.sh).
//   quarvi_render_probe <a|b|c|d> <reference|per-voice|sse2|avx2|avx512> <seconds>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Random.h"
#include "Workload.h"

using workload::Scene;

// Two functions so that callgrind can count the measured part alone
// (--toggle-collect=QuarviProbeRender).
extern "C" __attribute__((noinline)) void QuarviProbeWarmUp(Scene* scene, int blocks, workload::Engine e) {
  for (int i = 0; i < blocks; ++i) scene->RenderHostBlock(e);
}

extern "C" __attribute__((noinline)) void QuarviProbeRender(Scene* scene, int blocks, workload::Engine e) {
  for (int i = 0; i < blocks; ++i) scene->RenderHostBlock(e);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <a|b|c|d> <reference|per-voice|sse2|avx2|avx512> <seconds>\n", argv[0]);
    return 2;
  }
  const bench::WorkloadSpec* w = bench::FindWorkload(argv[1]);
  const bench::EngineSpec* e = bench::FindEngine(argv[2]);
  const double seconds = std::atof(argv[3]);
  if (!w || !e || seconds <= 0) return 2;
  if (!RenderPathAvailable(e->path)) {
    std::fprintf(stderr, "%s: this processor cannot run the %s path\n", argv[0], e->key);
    return 3;
  }
  SetRenderPath(e->path);
  ResetRandomGenerators();
  auto scene = std::make_unique<Scene>(w->voices, w->type);
  QuarviProbeWarmUp(scene.get(), 200, e->engine);  // past the attack
  const int blocks = static_cast<int>(seconds * workload::kSampleRate / workload::kHostBlock);
  QuarviProbeRender(scene.get(), blocks, e->engine);
  const double formantSamples = static_cast<double>(blocks) * workload::kHostBlock * scene->FormantsSounding();
  std::printf("blocks %d formant_samples %.0f\n", blocks, formantSamples);
  return 0;
}
