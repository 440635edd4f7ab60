#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ChunkBuffer.h"
#include "FactoryNames.h"
#include "StateImage.h"
#include "platform/Resources.h"

// The bank the build generated is part of the test program, as it is part of
// the plug-in, and parses to exactly its end.
TEST(FactoryBankResource, EmbeddedAndParsesToItsEnd) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(LoadModuleResource("PROGDATA", "PROGINIT", &bytes));
  ASSERT_EQ(bytes.size(), 62770u);
  ChunkBuffer bank;
  bank.PutBytes(bytes.data(), static_cast<int>(bytes.size()));

  int pos = 160;
  ASSERT_EQ(ReadChunkVersion(bank, &pos), kFrameworkVersion);
  for (int i = 0; i < kFactoryProgramCount; ++i) {
    std::string name;
    pos = bank.GetStr(&name, pos);
    EXPECT_EQ(name, kFactoryProgramNames[i]);
    bool initialized = false;
    pos = bank.Get(&initialized, pos);
    EXPECT_TRUE(initialized);
    ASSERT_TRUE(MatchTag(bank, pos, kStateTag201, kStateTagLength)) << i;
    double values[kParamTableSize];
    for (int k = 0; k < kParamTableSize; ++k) values[k] = kParamTable[k].defaultValue;
    const int start = pos;
    pos = ReadStateImage(bank, pos, values);
    ASSERT_EQ(pos, start + 957) << i;
    // Every stored value already lies within its range: reading changed nothing.
    for (int k = 0; k < kValuesLayout201; ++k) {
      double stored;
      std::memcpy(&stored, bank.Bytes() + start + 37 + 8 * k, 8);
      EXPECT_EQ(stored, values[k]) << i << " " << kParamTable[k].name;
    }
  }
  EXPECT_EQ(pos, bank.Size());
}
