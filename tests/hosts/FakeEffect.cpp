// A VST2 plug-in that is an audio effect, not an instrument (two inputs, two
// outputs, no synth flag): quarvi-render must refuse to play MIDI into it.
#include <cstring>

#include "vst2.h"

namespace {

VstIntPtr VSTCALLBACK Dispatcher(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }
void VSTCALLBACK Process(AEffect*, float**, float**, VstInt32) {}
void VSTCALLBACK SetParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK GetParameter(AEffect*, VstInt32) { return 0.0f; }

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback) {
  static AEffect effect;
  std::memset(&effect, 0, sizeof(effect));
  effect.magic = kEffectMagic;
  effect.dispatcher = Dispatcher;
  effect.process = Process;
  effect.processReplacing = Process;
  effect.setParameter = SetParameter;
  effect.getParameter = GetParameter;
  effect.numPrograms = 1;
  effect.numInputs = 2;
  effect.numOutputs = 2;
  effect.flags = effFlagsCanReplacing;
  effect.ioRatio = 1.0f;
  return &effect;
}
