// Renders a fixed amount of audio of one scene without any timing machinery,
// for instruction counting under callgrind (see callgrind.sh).
//   quarvi_render_probe <voices> <Fixed|Partial|Ring> <seconds>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Scene.h"

// Two functions so that callgrind can count the measured part alone
// (--toggle-collect=QuarviProbeRender).
extern "C" __attribute__((noinline)) void QuarviProbeWarmUp(bench::Scene* scene, int blocks) {
  for (int i = 0; i < blocks; ++i) scene->RenderHostBlock();
}

extern "C" __attribute__((noinline)) void QuarviProbeRender(bench::Scene* scene, int blocks) {
  for (int i = 0; i < blocks; ++i) scene->RenderHostBlock();
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <voices> <Fixed|Partial|Ring> <seconds>\n", argv[0]);
    return 2;
  }
  const int voices = std::atoi(argv[1]);
  const int type = !std::strcmp(argv[2], "Ring")      ? Formant::kRing
                   : !std::strcmp(argv[2], "Partial") ? Formant::kPartial
                                                      : Formant::kFixed;
  const double seconds = std::atof(argv[3]);
  if (voices < 1 || voices > 64 || seconds <= 0) return 2;
  auto scene = std::make_unique<bench::Scene>(voices, type);
  QuarviProbeWarmUp(scene.get(), 200);  // past the attack
  const int blocks = static_cast<int>(seconds * bench::kSampleRate / bench::kHostBlock);
  QuarviProbeRender(scene.get(), blocks);
  const double formantSamples = static_cast<double>(blocks) * bench::kHostBlock * scene->FormantsSounding();
  std::printf("blocks %d formant_samples %.0f\n", blocks, formantSamples);
  return 0;
}
