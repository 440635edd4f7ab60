// A VST2 instrument for testing hosts: records what a host hands it (events,
// transport, settings) and plays a constant 0.5 on the left and -2.0 on the
// right, so a host's level statistics and clipping report can be checked.
#include <cstring>

#include "ProbeInstrument.h"
#include "vst2.h"

namespace {

ProbeLog gLog;
AEffect gEffect;
audioMasterCallback gHost = nullptr;
char gProgramNames[2][32] = {"First Probe", "Second Probe"};

VstIntPtr VSTCALLBACK Dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
  switch (opcode) {
    case effOpen:
      ++gLog.opened;
      return 0;
    case effClose:
      ++gLog.closed;
      return 0;
    case effSetSampleRate:
      gLog.sampleRate = opt;
      return 0;
    case effSetBlockSize:
      gLog.blockSize = static_cast<int>(value);
      return 0;
    case effSetProgram:
      gLog.program = static_cast<int>(value);
      return 0;
    case effGetProgram:
      return gLog.program < 0 ? 0 : gLog.program;
    case effGetProgramNameIndexed:
      if (index < 0 || index > 1) return 0;
      std::strcpy(static_cast<char*>(ptr), gProgramNames[index]);
      return 1;
    case effGetParamName:
      std::strcpy(static_cast<char*>(ptr), index == 0 ? "Level" : "Other");
      return 0;
    case effString2Parameter:
      if (index != 0 || !ptr) return 0;
      if (!std::strcmp(static_cast<const char*>(ptr), "bad")) return 0;
      gLog.lastParamValue = 0.25f;
      return 1;
    case effProcessEvents: {
      const VstEvents* list = static_cast<const VstEvents*>(ptr);
      for (int i = 0; list && i < list->numEvents && gLog.eventCount < ProbeLog::kMaxEvents; ++i) {
        const VstEvent* ev = list->events[i];
        ProbeEvent& p = gLog.events[gLog.eventCount++];
        std::memset(&p, 0, sizeof(p));
        p.block = gLog.blockCount;
        p.deltaFrames = ev->deltaFrames;
        p.type = ev->type;
        if (ev->type == kVstMidiType) {
          std::memcpy(p.bytes, reinterpret_cast<const VstMidiEvent*>(ev)->midiData, 4);
        } else if (ev->type == kVstSysExType) {
          const VstMidiSysexEvent* s = reinterpret_cast<const VstMidiSysexEvent*>(ev);
          p.size = s->dumpBytes;
          std::memcpy(p.bytes, s->sysexDump, s->dumpBytes < 4 ? s->dumpBytes : 4);
        }
      }
      return 1;
    }
    default:
      (void)e;
      return 0;
  }
}

void VSTCALLBACK ProcessReplacing(AEffect* e, float**, float** outputs, VstInt32 frames) {
  if (gLog.blockCount < ProbeLog::kMaxBlocks) {
    ProbeBlock& b = gLog.blocks[gLog.blockCount];
    std::memset(&b, 0, sizeof(b));
    b.frames = frames;
    const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(gHost(e, audioMasterGetTime, 0, 0x3E00, nullptr, 0.0f));
    if (t) {
      b.samplePos = t->samplePos;
      b.ppqPos = t->ppqPos;
      b.tempo = t->tempo;
      b.barStartPos = t->barStartPos;
      b.timeSigNumerator = t->timeSigNumerator;
      b.timeSigDenominator = t->timeSigDenominator;
      b.flags = t->flags;
    }
  }
  ++gLog.blockCount;
  for (int i = 0; i < frames; ++i) {
    outputs[0][i] = 0.5f;
    outputs[1][i] = -2.0f;
  }
}

void VSTCALLBACK SetParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK GetParameter(AEffect*, VstInt32) { return 0.0f; }

}  // namespace

extern "C" __attribute__((visibility("default"))) ProbeLog* QuarviProbeLog() { return &gLog; }

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
  gHost = host;
  gLog = ProbeLog();
  std::memset(&gEffect, 0, sizeof(gEffect));
  gEffect.magic = kEffectMagic;
  gEffect.dispatcher = Dispatcher;
  gEffect.process = ProcessReplacing;
  gEffect.processReplacing = ProcessReplacing;
  gEffect.setParameter = SetParameter;
  gEffect.getParameter = GetParameter;
  gEffect.numPrograms = 2;
  gEffect.numParams = 2;
  gEffect.numOutputs = 2;
  gEffect.flags = effFlagsCanReplacing | effFlagsIsSynth;
  gEffect.ioRatio = 1.0f;
  return &gEffect;
}
