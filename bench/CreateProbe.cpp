// Creates and closes plug-in instances the way a host does (VSTPluginMain,
// then effOpen, which includes loading the factory bank), for instruction
// counting under callgrind (see callgrind.sh).
//   quarvi_create_probe <instances> [straightforward]
// "straightforward" forces the dispatch that pushes every change to every
// voice (the reference the optimised dispatch is tested against).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ParamDispatch.h"
#include "vst2.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {
VstIntPtr VSTCALLBACK Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}
}  // namespace

// Counted by callgrind (--toggle-collect=QuarviProbeCreate).
extern "C" __attribute__((noinline)) AEffect* QuarviProbeCreate() {
  AEffect* e = VSTPluginMain(Host);
  if (e) e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  return e;
}

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1;
  SetStraightforwardDispatch(argc > 2 && !std::strcmp(argv[2], "straightforward"));
  for (int i = 0; i < count; ++i) {
    AEffect* e = QuarviProbeCreate();
    if (!e) return 1;
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  }
  std::printf("instances %d\n", count);
  return 0;
}
