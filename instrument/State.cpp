// Quarvi::SerializeState / UnserializeState: the image of one program, as
// stored in program slots, host chunks, program and bank files.
#include <string>

#include "Quarvi.h"
#include "StateImage.h"

// Always the newest layout: tag, current program index and name, 116 values.
bool Quarvi::SerializeState(ChunkBuffer* chunk) {
  double values[kNumParams];
  for (int i = 0; i < kNumParams; ++i) values[i] = GetParam(i)->value;
  // The name is empty for an index outside the program list.
  WriteStateImage(chunk, kStateTag, mCurrentPreset, GetPresetName(mCurrentPreset), values, kNumParams);
  return chunk->Size() > 0;
}

// Reads any of the four layouts. Values are clamped to their ranges (a NaN
// counts as the minimum) but otherwise taken exactly as stored. Whatever the
// image held, or however early it ended, every parameter is then pushed to
// the engine, which also brings the display formatters in line.
int Quarvi::UnserializeState(const ChunkBuffer& chunk, int pos) {
  double values[kNumParams];
  for (int i = 0; i < kNumParams; ++i) values[i] = GetParam(i)->value;
  const int end = ReadStateImage(chunk, pos, values);
  for (int i = 0; i < kNumParams; ++i) GetParam(i)->value = values[i];
  for (int i = 0; i < kNumParams; ++i) ParamChanged(i);
  return end;
}
