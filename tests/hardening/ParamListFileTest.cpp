// Parameter-list program and bank files ("FxCk", "FxBk") carry one
// normalized float per parameter. Whatever a file stores there (below 0,
// above 1, infinities, NaN, the smallest negative number), every parameter
// must end up within its range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "ChunkBuffer.h"
#include "LoaderChecks.h"
#include "Quarvi.h"

namespace {

void PutBE(ChunkBuffer* c, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v)};
  c->PutBytes(b, 4);
}

void PutFloatBE(ChunkBuffer* c, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutBE(c, bits);
}

void PutTag(ChunkBuffer* c, const char* tag) { c->PutBytes(tag, 4); }

// One parameter-list program record; parameter i gets values[i % size].
void PutRecord(ChunkBuffer* c, const IPlugBase& plug, const std::vector<float>& values, int shift) {
  PutTag(c, "CcnK");
  PutBE(c, 48 + 4 * plug.NParams());
  PutTag(c, "FxCk");
  PutBE(c, 1);
  PutBE(c, static_cast<uint32_t>(plug.GetUniqueID()));
  PutBE(c, static_cast<uint32_t>(plug.GetEffectVersion(true)));
  PutBE(c, static_cast<uint32_t>(plug.NParams()));
  char name[28] = "Odd Values";
  c->PutBytes(name, sizeof(name));
  for (int i = 0; i < plug.NParams(); ++i) PutFloatBE(c, values[(i + shift) % values.size()]);
}

const std::vector<float>& OddValues() {
  static const std::vector<float> v = {-0.5f, -1e-38f, -1e-45f, -0.0f, 1.5f,
                                       std::numeric_limits<float>::infinity(),
                                       -std::numeric_limits<float>::infinity(), std::nanf(""),
                                       -std::numeric_limits<float>::max()};
  return v;
}

::testing::AssertionResult AllInRange(const IPlugBase& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const IPlugParam* p = plug.GetParam(i);
    if (!(p->value >= p->min && p->value <= p->max)) {
      return ::testing::AssertionFailure() << p->name << " holds " << p->value << ", range " << p->min << ".."
                                           << p->max;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(ParamListFiles, ProgramFileValuesOutsideZeroToOneStayInRange) {
  for (size_t shift = 0; shift < OddValues().size(); ++shift) {
    AEffect* e = CreateCheckedInstance();
    ASSERT_NE(e, nullptr);
    Quarvi* q = static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object));
    ChunkBuffer file;
    PutRecord(&file, *q, OddValues(), static_cast<int>(shift));
    EXPECT_TRUE(q->LoadProgramFromMemory(file));
    EXPECT_TRUE(AllInRange(*q)) << "values shifted by " << shift;
    // The stored program holds the same in-range values.
    EXPECT_TRUE(q->LoadProgramSlot(q->GetCurrentPresetIdx()));
    EXPECT_TRUE(AllInRange(*q));
    CloseCheckedInstance(e);
  }
}

TEST(ParamListFiles, BankFileValuesOutsideZeroToOneStayInRange) {
  AEffect* e = CreateCheckedInstance();
  ASSERT_NE(e, nullptr);
  Quarvi* q = static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object));
  const int programs = static_cast<int>(OddValues().size());
  ChunkBuffer file;
  PutTag(&file, "CcnK");
  PutBE(&file, 0);
  PutTag(&file, "FxBk");
  PutBE(&file, 2);
  PutBE(&file, static_cast<uint32_t>(q->GetUniqueID()));
  PutBE(&file, static_cast<uint32_t>(q->GetEffectVersion(true)));
  PutBE(&file, static_cast<uint32_t>(programs));
  PutBE(&file, 0);
  const std::vector<uint8_t> reserved(124, 0);
  file.PutBytes(reserved.data(), static_cast<int>(reserved.size()));
  for (int p = 0; p < programs; ++p) PutRecord(&file, *q, OddValues(), p);
  ASSERT_TRUE(q->LoadBankFromFile(file));
  for (int p = 0; p < programs; ++p) {
    ASSERT_TRUE(q->LoadProgramSlot(p));
    EXPECT_TRUE(AllInRange(*q)) << "program " << p;
  }
  std::string why;
  EXPECT_TRUE(CheckInstance(e, &why)) << why;
  CloseCheckedInstance(e);
}

}  // namespace
