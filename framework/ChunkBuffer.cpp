#include "ChunkBuffer.h"

void InitChunkWithVersion(ChunkBuffer* chunk) {
  chunk->Clear();
  chunk->Put(kStateMagic);
  chunk->Put(kFrameworkVersion);
}

int ReadChunkVersion(const ChunkBuffer& chunk, int* pos) {
  int32_t magic = 0;
  if (chunk.Get(&magic, *pos) < 0 || magic != kStateMagic) return 0;
  int32_t version = 0;
  int p = chunk.Get(&version, *pos + 4);
  if (p < 0) {
    *pos = -1;
    return 0;
  }
  *pos = p;
  return version;
}
