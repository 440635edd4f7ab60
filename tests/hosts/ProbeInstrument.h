#pragma once
// What the probe instrument (ProbeInstrument.cpp) saw, read by host tests
// through its exported function QuarviProbeLog.
#include <cstdint>

struct ProbeEvent {
  int64_t block;       // index of the process call that followed the events
  int32_t deltaFrames;
  int32_t type;        // kVstMidiType or kVstSysExType
  uint8_t bytes[4];    // MIDI bytes, or the first sysex bytes
  int32_t size;        // sysex size
};

struct ProbeBlock {
  int32_t frames;
  double samplePos, ppqPos, tempo, barStartPos;
  int32_t timeSigNumerator, timeSigDenominator, flags;
};

struct ProbeLog {
  static constexpr int kMaxEvents = 1024;
  static constexpr int kMaxBlocks = 4096;
  int eventCount = 0;
  int blockCount = 0;
  ProbeEvent events[kMaxEvents];
  ProbeBlock blocks[kMaxBlocks];
  double sampleRate = 0.0;
  int blockSize = 0;
  int program = -1;
  float lastParamValue = -1.0f;
  int opened = 0, closed = 0;
};

typedef ProbeLog* (*QuarviProbeLogProc)();
