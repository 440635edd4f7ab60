// The shipped instrument created through the library's entry point and
// driven only through the effect record, as a host does.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "VSTTestHost.h"

#ifdef QUARVI_HAVE_INSTRUMENT

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace {

class VSTEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    scope.reset(new ScopedTestHost(&host));
    effect = VSTPluginMain(&TestHost::Callback);
    ASSERT_NE(effect, nullptr);
  }
  void TearDown() override {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    scope.reset();
  }

  IPlugVST* Plug() { return static_cast<IPlugVST*>(effect->object); }

  std::vector<uint8_t> Chunk(int index) {
    void* data = nullptr;
    const VstIntPtr n = Dispatch(effect, effGetChunk, index, 0, &data);
    if (n <= 0 || !data) return {};
    return std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
  }
  VstIntPtr SetChunk(int index, std::vector<uint8_t> bytes) {
    return Dispatch(effect, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
  }
  std::string ProgramName(int index) {
    char name[256] = {0};
    Dispatch(effect, effGetProgramNameIndexed, index, 0, name);
    return name;
  }

  TestHost host;
  std::unique_ptr<ScopedTestHost> scope;
  AEffect* effect = nullptr;
};

TEST_F(VSTEntry, RecordOfTheInstrument) {
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->numPrograms, 64);
  EXPECT_EQ(effect->numParams, 116);
  EXPECT_EQ(effect->numInputs, 0);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags & ~effFlagsHasEditor, 0x1130);
  EXPECT_EQ(effect->uniqueID, 0x33333135);
  EXPECT_EQ(effect->version, 20004);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_EQ(effect->initialDelay, 0);
  char text[256];
  Dispatch(effect, effGetEffectName, 0, 0, text);
  EXPECT_STREQ(text, "Quarvi");
  Dispatch(effect, effGetVendorString, 0, 0, text);
  EXPECT_STREQ(text, "Kestrel Sound Music");
  Dispatch(effect, effGetProductString, 0, 0, text);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(Dispatch(effect, effGetVendorVersion), 20004);
  EXPECT_EQ(Dispatch(effect, effGetPlugCategory), kPlugCategSynth);
  // Every slot holds a program once the entry point returns.
  for (int i = 0; i < 64; ++i) EXPECT_FALSE(ProgramName(i).empty()) << i;
  EXPECT_EQ(ProgramName(64), "");
}

TEST_F(VSTEntry, BoolParameterShowsOnAndParametersStayInRange) {
  int boolIndex = -1;
  for (int i = 0; i < 116 && boolIndex < 0; ++i) {
    if (Plug()->GetParam(i)->kind == ParamKind::Bool) boolIndex = i;
  }
  if (boolIndex >= 0) {
    effect->setParameter(effect, boolIndex, 1.0f);
    char text[64];
    Dispatch(effect, effGetParamDisplay, boolIndex, 0, text);
    EXPECT_STREQ(text, "on");
  }
  const float bad[] = {-1.0f, 2.0f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN()};
  for (int i = 0; i < 116; ++i) {
    for (float v : bad) effect->setParameter(effect, i, v);
    const IPlugParam* p = Plug()->GetParam(i);
    EXPECT_TRUE(p->value >= p->min && p->value <= p->max) << i << " " << p->name << " = " << p->value;
    const float n = effect->getParameter(effect, i);
    EXPECT_TRUE(n >= 0.0f && n <= 1.0f) << i;
  }
}

TEST_F(VSTEntry, WholeBankRoundTripAndProgramChunkRename) {
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(effect, effSetBlockSize, 0, 128);
  Dispatch(effect, effMainsChanged, 0, 1);

  const std::vector<uint8_t> bank = Chunk(0);
  ASSERT_GT(bank.size(), 8u);
  EXPECT_EQ(0, std::memcmp(bank.data(), "tffp\0\0\1\0", 8));
  std::vector<std::string> names;
  for (int i = 0; i < 64; ++i) names.push_back(ProgramName(i));

  // Change names and values all over, then restore the bank.
  for (int i = 0; i < 64; i += 7) {
    Dispatch(effect, effSetProgram, 0, i);
    Dispatch(effect, effSetProgramName, 0, 0, const_cast<char*>("changed"));
    for (int k = 0; k < 116; k += 5) effect->setParameter(effect, k, 0.37f);
  }
  Dispatch(effect, effSetProgram, 0, 0);
  EXPECT_EQ(SetChunk(0, bank), 1);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(ProgramName(i), names[i]) << i;
  EXPECT_EQ(Chunk(0), bank);

  // Program chunk: header, state, then the length-prefixed name.
  const std::vector<uint8_t> program = Chunk(1);
  ASSERT_GT(program.size(), 12u);
  EXPECT_EQ(0, std::memcmp(program.data(), "tffp\0\0\1\0", 8));
  const std::string name = names[0];
  uint32_t len = 0;
  std::memcpy(&len, program.data() + program.size() - name.size() - 4, 4);
  EXPECT_EQ(len, name.size());
  EXPECT_EQ(0, std::memcmp(program.data() + program.size() - name.size(), name.data(), name.size()));

  Dispatch(effect, effSetProgram, 0, 9);
  EXPECT_EQ(SetChunk(1, program), 1);
  EXPECT_EQ(ProgramName(9), name);
  EXPECT_EQ(Dispatch(effect, effGetProgram), 9);

  // Audio keeps flowing after all that.
  float l[128], r[128];
  float* outs[2] = {l, r};
  effect->processReplacing(effect, nullptr, outs, 128);
  for (int i = 0; i < 128; ++i) ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
}

// Whatever bytes a host hands back as a chunk, the instance survives and
// every parameter stays within its range.
TEST_F(VSTEntry, DamagedChunksLeaveAUsableInstance) {
  const std::vector<uint8_t> bank = Chunk(0);
  const std::vector<uint8_t> program = Chunk(1);
  ASSERT_FALSE(bank.empty());
  ASSERT_FALSE(program.empty());
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    const bool useBank = round % 2 == 0;
    std::vector<uint8_t> c = useBank ? bank : program;
    switch (round % 5) {
      case 0:  // cut short
        c.resize(rng() % c.size());
        break;
      case 1:  // a few bytes changed
        for (int k = 0; k < 8; ++k) c[rng() % c.size()] = static_cast<uint8_t>(rng());
        break;
      case 2:  // length fields made huge or negative
        for (size_t k = 8; k + 4 <= c.size(); k += 1 + rng() % 200) {
          const uint32_t v = rng() % 2 ? 0x7FFFFFF0u : 0xFFFFFFFFu;
          std::memcpy(c.data() + k, &v, 4);
        }
        break;
      case 3:  // noise after a valid header
        c.resize(8 + rng() % 4000);
        for (size_t k = 8; k < c.size(); ++k) c[k] = static_cast<uint8_t>(rng());
        break;
      default:  // noise without a header
        for (uint8_t& b : c) b = static_cast<uint8_t>(rng());
        break;
    }
    if (c.empty()) c.push_back(0);
    SetChunk(useBank ? 0 : 1, c);
  }
  for (int i = 0; i < 116; ++i) {
    const IPlugParam* p = Plug()->GetParam(i);
    EXPECT_TRUE(p->value >= p->min && p->value <= p->max) << i << " " << p->name << " = " << p->value;
  }
  const VstIntPtr current = Dispatch(effect, effGetProgram);
  EXPECT_GE(current, 0);
  EXPECT_LT(current, 64);
  // A good bank still loads afterwards.
  EXPECT_EQ(SetChunk(0, bank), 1);
  Dispatch(effect, effMainsChanged, 0, 1);
  float l[64], r[64];
  float* outs[2] = {l, r};
  effect->processReplacing(effect, nullptr, outs, 64);
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(std::isfinite(l[i]) && std::isfinite(r[i]));
}

TEST(VSTEntryThreads, ConcurrentCreationGivesSeparateInstances) {
  TestHost host;
  ScopedTestHost scope(&host);
  AEffect* effects[4] = {nullptr, nullptr, nullptr, nullptr};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([&effects, i] { effects[i] = VSTPluginMain(&TestHost::Callback); });
  for (std::thread& t : threads) t.join();
  std::set<void*> objects;
  for (AEffect* e : effects) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->numPrograms, 64);
    objects.insert(e->object);
  }
  EXPECT_EQ(objects.size(), 4u);
  for (AEffect* e : effects) e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace

#endif  // QUARVI_HAVE_INSTRUMENT
