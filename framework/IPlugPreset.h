#pragma once
#include "ChunkBuffer.h"

// One program slot of the bank.
struct IPlugPreset {
  static constexpr int kNameSize = 256;  // 255 characters + terminator
  bool initialized = false;
  char name[kNameSize] = "empty";
  ChunkBuffer chunk;  // state as written by SerializeState, no header
};
