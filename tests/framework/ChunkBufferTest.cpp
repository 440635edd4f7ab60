#include <gtest/gtest.h>

#include "ChunkBuffer.h"

TEST(ChunkBuffer, HeaderBytes) {
  ChunkBuffer c;
  InitChunkWithVersion(&c);
  const uint8_t expected[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(c.Size(), 8);
  EXPECT_EQ(0, memcmp(c.Bytes(), expected, 8));
  int pos = 0;
  EXPECT_EQ(ReadChunkVersion(c, &pos), 0x10000);
  EXPECT_EQ(pos, 8);
}
