// Runs one drawing path of DrawWork.h a number of times, for instruction
// counting under callgrind (see callgrind.sh).
//   quarvi_draw_probe <path index | knob> <repeats>
// Prints the pixels drawn inside the counted function.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DrawWork.h"

// Counted by callgrind (--toggle-collect=QuarviProbeDraw).
extern "C" __attribute__((noinline)) void QuarviProbeDraw(DrawScene* s, int path, int repeats) {
  for (int i = 0; i < repeats; ++i) {
    if (path < 0) {
      s->KnobFrame(i);
    } else {
      s->Run(kDrawPaths[path]);
    }
  }
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <0..%d | knob> <repeats>\n", argv[0], kDrawPathCount - 1);
    return 2;
  }
  const int path = std::strcmp(argv[1], "knob") == 0 ? -1 : std::atoi(argv[1]);
  const int repeats = std::atoi(argv[2]);
  if (path >= kDrawPathCount || repeats <= 0) return 2;
  static DrawScene scene;
  QuarviProbeDraw(&scene, path, repeats);
  const long pixels = static_cast<long>(repeats) * (path < 0 ? 2 * kKnobSide * kKnobSide : kDrawSide * kDrawSide);
  std::printf("%s pixels %ld\n", path < 0 ? "knob" : kDrawPaths[path].name, pixels);
  return 0;
}
