#pragma once
#include <cstdint>

// One short MIDI message as the instrument sees it. offset counts frames from
// the start of the host block it arrived with.
struct MidiMessage {
  int32_t offset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  int Kind() const { return status >> 4; }  // high nibble: 8 note off, 9 note on, ...
};

// A system-exclusive message; data is borrowed for the duration of the call.
struct SysExBlock {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;
};

// Host transport as the engine reads it. Fields the host does not report keep
// whatever value the caller put there.
struct HostTimeInfo {
  double tempo = 120.0;
  double samplePos = -1.0;
  double ppqPos = -1.0;
  double lastBar = -1.0;
  double cycleStart = -1.0;
  double cycleEnd = -1.0;
  int32_t timeSigNum = 4;
  int32_t timeSigDen = 4;
  bool transportIsRunning = false;
  bool transportLoopEnabled = false;
};
