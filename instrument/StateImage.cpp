#include "StateImage.h"

#include <cstring>

bool MatchTag(const ChunkBuffer& chunk, int pos, const char* tag, int length) {
  if (pos < 0 || length < 0 || static_cast<int64_t>(pos) + length > chunk.Size()) return false;
  return length == 0 || std::memcmp(chunk.Bytes() + pos, tag, static_cast<size_t>(length)) == 0;
}

void WriteStateImage(ChunkBuffer* chunk, const char* tag, int32_t programIndex,
                     const std::string& name, const double* values, int count) {
  chunk->PutBytes(tag, kStateTagLength);
  chunk->Put(programIndex);
  chunk->PutStr(name);
  for (int i = 0; i < count; ++i) chunk->Put(values[i]);
}

namespace {

// Reads parameters first .. first+count-1. After the first value that is
// missing, that parameter takes its value nearest zero and reading stops.
int ReadValues(const ChunkBuffer& chunk, int pos, double* values, int first, int count) {
  for (int i = first; i < first + count && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    const ParamSpec& spec = kParamTable[i];
    values[i] = pos < 0 ? NearestZero(spec) : ClampToRange(spec, v);
  }
  return pos;
}

}  // namespace

int ReadStateImage(const ChunkBuffer& chunk, int pos, double* values) {
  const bool current = MatchTag(chunk, pos, kStateTag, kStateTagLength);
  if (current || MatchTag(chunk, pos, kStateTag201, kStateTagLength)) {
    // The stored program index and name only document where the image came
    // from; skip them. A negative or oversized name length is a broken image:
    // stop before any value changes.
    int32_t nameLength = 0;
    int p = chunk.Get(&nameLength, pos + kStateTagLength + 4);
    if (p < 0 || nameLength < 0 || static_cast<int64_t>(p) + nameLength > chunk.Size()) return -1;
    p += nameLength;
    return ReadValues(chunk, p, values, 0, current ? kParamTableSize : kValuesLayout201);
  }

  // Untagged layouts: 111 values, then the parameters added later behind a
  // marker when the image has them.
  int p = ReadValues(chunk, pos, values, 0, kValuesLayout1);
  if (MatchTag(chunk, p, kLayout2Marker, kLayout2MarkerLength)) {
    return ReadValues(chunk, p + kLayout2MarkerLength, values, kValuesLayout1,
                      kParamTableSize - kValuesLayout1);
  }
  for (int i = kValuesLayout1; i < kParamTableSize; ++i) values[i] = NearestZero(kParamTable[i]);
  return p;
}
