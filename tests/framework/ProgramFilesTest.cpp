#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "TestPlug.h"

namespace {

int32_t BE(const ChunkBuffer& c, int pos) {
  const uint8_t* b = c.Bytes() + pos;
  return static_cast<int32_t>((uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) |
                              uint32_t(b[3]));
}

void PutBE(ChunkBuffer* c, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t b[4] = {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
  c->PutBytes(b, 4);
}

void SetBE(ChunkBuffer* c, int pos, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  uint8_t* b = c->Bytes() + pos;
  b[0] = uint8_t(u >> 24);
  b[1] = uint8_t(u >> 16);
  b[2] = uint8_t(u >> 8);
  b[3] = uint8_t(u);
}

void PutFloatBE(ChunkBuffer* c, float f) {
  int32_t bits;
  std::memcpy(&bits, &f, 4);
  PutBE(c, bits);
}

void PutMagic(ChunkBuffer* c, const char* m) { c->PutBytes(m, 4); }

void PutName28(ChunkBuffer* c, const char* name, bool terminate = true) {
  char field[28];
  std::memset(field, terminate ? 0 : 'Z', 28);
  std::memcpy(field, name, std::min<size_t>(std::strlen(name), 28));
  c->PutBytes(field, 28);
}

ChunkBuffer Slice(const ChunkBuffer& c, int n) {
  ChunkBuffer out;
  out.PutBytes(c.Bytes(), n);
  return out;
}

// A parameter-list program record (also used inside parameter-list banks).
ChunkBuffer ParamRecord(const char* name, const std::vector<float>& values, int count = kTestParams,
                        int version = 1, const char* format = "FxCk", int id = kTestUniqueID) {
  ChunkBuffer c;
  PutMagic(&c, "CcnK");
  PutBE(&c, 48 + 4 * static_cast<int>(values.size()));
  PutMagic(&c, format);
  PutBE(&c, version);
  PutBE(&c, id);
  PutBE(&c, 20004);
  PutBE(&c, count);
  PutName28(&c, name);
  for (float f : values) PutFloatBE(&c, f);
  return c;
}

ChunkBuffer ParamBank(const std::vector<ChunkBuffer>& records, int count, int current) {
  ChunkBuffer c;
  PutMagic(&c, "CcnK");
  PutBE(&c, 0);
  PutMagic(&c, "FxBk");
  PutBE(&c, 2);
  PutBE(&c, kTestUniqueID);
  PutBE(&c, 20004);
  PutBE(&c, count);
  PutBE(&c, current);
  const uint8_t zeros[124] = {0};
  c.PutBytes(zeros, 124);
  for (const ChunkBuffer& r : records) c.PutChunk(r);
  return c;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const ChunkBuffer& c) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(c.Bytes()), c.Size());
}

}  // namespace

// ---- program files ----------------------------------------------------------------

TEST(ProgramFile, LayoutOfAWrittenFile) {
  TestPlug p;
  p.FillDistinct();
  p.LoadProgramSlot(2);
  ChunkBuffer f;
  ASSERT_TRUE(p.BuildProgramFile(&f));
  const int n = 8 + 8 * kTestParams;
  ASSERT_EQ(f.Size(), 60 + n);
  EXPECT_EQ(0, std::memcmp(f.Bytes(), "CcnK", 4));
  EXPECT_EQ(BE(f, 4), 60 + n);
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 8, "FPCh", 4));
  EXPECT_EQ(BE(f, 12), 1);
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 16, "3315", 4));
  EXPECT_EQ(BE(f, 20), 20004);
  EXPECT_EQ(BE(f, 24), kTestParams);
  EXPECT_STREQ(reinterpret_cast<const char*>(f.Bytes() + 28), "Program 2");
  for (int i = 28 + 9; i < 56; ++i) EXPECT_EQ(f.Bytes()[i], 0) << i;
  EXPECT_EQ(BE(f, 56), n);
  const uint8_t header[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 60, header, 8));
  double level = 0;
  f.Get(&level, 68);
  EXPECT_EQ(level, 0.02);
}

TEST(ProgramFile, LongNameLeavesATerminator) {
  TestPlug p;
  p.ModifyCurrentPreset("A name that is much longer than the field");
  ChunkBuffer f;
  p.BuildProgramFile(&f);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.Bytes() + 28)),
            std::string("A name that is much longer than the field").substr(0, 27));
  EXPECT_EQ(f.Bytes()[55], 0);
}

TEST(ProgramFile, SaveAndLoadThroughAFile) {
  TempFolder dir;
  TestPlug p;
  p.FillDistinct();
  p.LoadProgramSlot(5);
  p.SetValues(0.66, 7, 2, 1);
  p.ModifyCurrentPreset("Saved sound");
  const std::string path = dir.File("sound.fxp");
  ASSERT_TRUE(p.SaveProgramAsFXP(path));
  ChunkBuffer built;
  p.BuildProgramFile(&built);
  const std::vector<uint8_t> bytes = ReadFile(path);
  EXPECT_EQ(bytes, std::vector<uint8_t>(built.Bytes(), built.Bytes() + built.Size()));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(9);
  const PlugSnapshot before(q);
  q.programChanges = 0;
  ASSERT_TRUE(q.LoadProgramFromFXP(path));
  EXPECT_EQ(q.Values(), (std::vector<double>{0.66, 7, 2, 1}));
  EXPECT_STREQ(q.GetPresetName(9), "Saved sound");
  EXPECT_EQ(q.GetPreset(9)->chunk, TestPlug::State(0.66, 7, 2, 1));
  EXPECT_EQ(q.programChanges, 1);
  for (int i = 0; i < 64; ++i) {
    if (i == 9) continue;
    EXPECT_EQ(std::string(q.GetPresetName(i)), before.names[i]);
    EXPECT_EQ(q.GetPreset(i)->chunk, before.chunks[i]);
  }
}

TEST(ProgramFile, PathErrors) {
  TempFolder dir;
  TestPlug p;
  EXPECT_FALSE(p.SaveProgramAsFXP(""));
  EXPECT_FALSE(p.SaveBankAsFXB(""));
  EXPECT_FALSE(p.LoadProgramFromFXP(""));
  EXPECT_FALSE(p.LoadBankFromFXB(""));
  EXPECT_FALSE(p.LoadProgramFromFXP(dir.File("missing.fxp")));
  EXPECT_FALSE(p.LoadBankFromFXB(dir.File("missing.fxb")));
  EXPECT_FALSE(p.SaveProgramAsFXP(dir.File("no/such/folder/a.fxp")));
}

TEST(ProgramFile, FailedSaveKeepsTheExistingFile) {
  TempFolder dir;
  TestPlug p;
  // The target is a folder: the new file cannot replace it.
  const std::string target = dir.File("taken");
  std::filesystem::create_directory(target);
  std::filesystem::create_directory(target + "/inside");
  EXPECT_FALSE(p.SaveProgramAsFXP(target));
  EXPECT_TRUE(std::filesystem::is_directory(target + "/inside"));
  EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
  // An existing file is replaced as a whole on success.
  const std::string file = dir.File("old.fxp");
  ChunkBuffer junk;
  junk.PutBytes(std::string(5000, 'j').data(), 5000);
  WriteFile(file, junk);
  ASSERT_TRUE(p.SaveProgramAsFXP(file));
  ChunkBuffer built;
  p.BuildProgramFile(&built);
  EXPECT_EQ(ReadFile(file).size(), static_cast<size_t>(built.Size()));
}

TEST(ProgramFile, RefusalsChangeNothing) {
  TestPlug p;
  p.FillDistinct();
  p.SetValues(0.66, 7, 2, 1);
  ChunkBuffer good;
  p.BuildProgramFile(&good);

  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(1);
  q.changed.clear();
  const PlugSnapshot before(q);
  struct Patch { int pos; const char* bytes; } patches[] = {
      {16, "3316"},  // another plug-in
      {0, "CcnL"},   // not a chunk
      {8, "FBCh"},   // a bank magic in a program file
      {8, "XXXX"},   // unknown format
  };
  for (const Patch& patch : patches) {
    ChunkBuffer f = good;
    std::memcpy(f.Bytes() + patch.pos, patch.bytes, 4);
    EXPECT_FALSE(q.LoadProgramFromMemory(f)) << patch.bytes;
  }
  for (int version : {0, 2, -1}) {
    ChunkBuffer f = good;
    SetBE(&f, 12, version);
    EXPECT_FALSE(q.LoadProgramFromMemory(f)) << version;
  }
  for (int length : {-1, -60, good.Size() - 59, 0x7fffffff, INT32_MIN}) {
    ChunkBuffer f = good;
    SetBE(&f, 56, length);
    EXPECT_FALSE(q.LoadProgramFromMemory(f)) << length;
  }
  EXPECT_TRUE(PlugSnapshot(q) == before);
  EXPECT_TRUE(q.changed.empty());
  EXPECT_EQ(q.programChanges, 0);
}

TEST(ProgramFile, IgnoredFieldsAreIgnored) {
  TestPlug p;
  p.SetValues(0.66, 7, 2, 1);
  ChunkBuffer f;
  p.BuildProgramFile(&f);
  SetBE(&f, 4, 12345);   // byte size
  SetBE(&f, 20, 1);      // plug-in version
  SetBE(&f, 24, 999);    // parameter count
  TestPlug q;
  EXPECT_TRUE(q.LoadProgramFromMemory(f));
  EXPECT_EQ(q.Values(), (std::vector<double>{0.66, 7, 2, 1}));
}

TEST(ProgramFile, ChunkWithoutStateHeaderIsReadFrom60) {
  ChunkBuffer f;
  PutMagic(&f, "CcnK");
  PutBE(&f, 92);
  PutMagic(&f, "FPCh");
  PutBE(&f, 1);
  PutBE(&f, kTestUniqueID);
  PutBE(&f, 20004);
  PutBE(&f, kTestParams);
  PutName28(&f, "Raw");
  PutBE(&f, 32);
  f.PutChunk(TestPlug::State(0.25, -24, 1, 0));
  TestPlug q;
  ASSERT_TRUE(q.LoadProgramFromMemory(f));
  EXPECT_EQ(q.Values(), (std::vector<double>{0.25, -24, 1, 0}));
  EXPECT_STREQ(q.GetPresetName(0), "Raw");
}

TEST(ProgramFile, UnreadableStateRestoresTheLiveValues) {
  ChunkBuffer f;
  PutMagic(&f, "CcnK");
  PutBE(&f, 0);
  PutMagic(&f, "FPCh");
  PutBE(&f, 1);
  PutBE(&f, kTestUniqueID);
  PutBE(&f, 20004);
  PutBE(&f, kTestParams);
  PutName28(&f, "Short");
  ChunkBuffer state = TestPlug::State(0.25, -24, 1, 0);
  state.Resize(20);  // two and a half values: the state reader fails
  PutBE(&f, state.Size());
  f.PutChunk(state);
  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(0);
  q.SetValues(0.9, 3, 2, 1);  // unsaved edits
  const PlugSnapshot before(q);
  EXPECT_FALSE(q.LoadProgramFromMemory(f));
  EXPECT_TRUE(PlugSnapshot(q) == before);
  EXPECT_EQ(q.programChanges, 0);
}

TEST(ProgramFile, ParameterListForm) {
  ChunkBuffer f = ParamRecord("Listed", {0.25f, 1.0f, 0.5f, 0.4f});
  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(3);
  ASSERT_TRUE(q.LoadProgramFromMemory(f));
  EXPECT_EQ(q.Values(), (std::vector<double>{0.25, 24, 1, 0}));
  EXPECT_STREQ(q.GetPresetName(3), "Listed");
  EXPECT_EQ(q.GetPreset(3)->chunk, TestPlug::State(0.25, 24, 1, 0));

  // Values missing at the end: refused before anything changes.
  const PlugSnapshot before(q);
  ChunkBuffer shortList = ParamRecord("Short", {0.5f, 0.5f, 0.5f});
  EXPECT_FALSE(q.LoadProgramFromMemory(shortList));
  EXPECT_TRUE(PlugSnapshot(q) == before);
}

TEST(ProgramFile, ParameterListNaNsBecomeMinimum) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ChunkBuffer f = ParamRecord("Garbage", {nan, nan, std::numeric_limits<float>::infinity(), -1e30f});
  TestPlug q;
  ASSERT_TRUE(q.LoadProgramFromMemory(f));
  // The stored state goes through SetPlain on the reload, which clamps.
  EXPECT_EQ(q.Values(), (std::vector<double>{0.0, -24, 2, 0.0}));
}

TEST(ProgramFile, NameFieldWithoutTerminator) {
  ChunkBuffer f;
  PutMagic(&f, "CcnK");
  PutBE(&f, 0);
  PutMagic(&f, "FxCk");
  PutBE(&f, 1);
  PutBE(&f, kTestUniqueID);
  PutBE(&f, 20004);
  PutBE(&f, kTestParams);
  PutName28(&f, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", false);
  for (int i = 0; i < kTestParams; ++i) PutFloatBE(&f, 0.5f);
  TestPlug q;
  ASSERT_TRUE(q.LoadProgramFromMemory(f));
  EXPECT_STREQ(q.GetPresetName(0), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0");
}

// Every prefix of a valid program file (both forms) fails without touching
// anything; only the whole file loads.
TEST(ProgramFile, TruncationSweep) {
  TestPlug p;
  p.SetValues(0.66, 7, 2, 1);
  ChunkBuffer chunked;
  p.BuildProgramFile(&chunked);
  const ChunkBuffer listed = ParamRecord("Listed", {0.25f, 1.0f, 0.5f, 0.4f});
  for (const ChunkBuffer* file : std::vector<const ChunkBuffer*>{&chunked, &listed}) {
    for (int len = 0; len <= file->Size(); ++len) {
      TestPlug q;
      q.FillDistinct();
      q.LoadProgramSlot(0);
      const PlugSnapshot before(q);
      q.programChanges = 0;
      const bool ok = q.LoadProgramFromMemory(Slice(*file, len));
      if (len == file->Size()) {
        EXPECT_TRUE(ok);
      } else {
        EXPECT_FALSE(ok) << len;
        EXPECT_TRUE(PlugSnapshot(q) == before) << len;
        EXPECT_EQ(q.programChanges, 0);
      }
    }
  }
}

// ---- bank files -------------------------------------------------------------------

TEST(BankFile, LayoutOfAWrittenFile) {
  TestPlug p;
  p.FillDistinct();
  p.LoadProgramSlot(17);
  ChunkBuffer f;
  ASSERT_TRUE(p.BuildBankFile(&f));
  ChunkBuffer bank;
  p.SerializePresets(&bank);
  const int n = 8 + bank.Size();
  ASSERT_EQ(f.Size(), 160 + n);
  EXPECT_EQ(0, std::memcmp(f.Bytes(), "CcnK", 4));
  EXPECT_EQ(BE(f, 4), 160 + n);
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 8, "FBCh", 4));
  EXPECT_EQ(BE(f, 12), 2);
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 16, "3315", 4));
  EXPECT_EQ(BE(f, 20), 20004);
  EXPECT_EQ(BE(f, 24), 64);
  EXPECT_EQ(BE(f, 28), 17);
  for (int i = 32; i < 156; ++i) EXPECT_EQ(f.Bytes()[i], 0);
  EXPECT_EQ(BE(f, 156), n);
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 160, "tffp", 4));
  EXPECT_EQ(0, std::memcmp(f.Bytes() + 168, bank.Bytes(), bank.Size()));
}

TEST(BankFile, SaveDoesNotRefreshTheCurrentProgram) {
  TestPlug p;
  p.FillDistinct();
  p.LoadProgramSlot(0);
  p.SetValues(0.99, 0, 0, 0);
  ChunkBuffer f;
  p.BuildBankFile(&f);
  TestPlug q;
  ASSERT_TRUE(q.LoadBankFromFile(f));
  EXPECT_EQ(q.GetPreset(0)->chunk, TestPlug::State(0, -24, 0, 0));
}

TEST(BankFile, RoundTripThroughAFile) {
  TempFolder dir;
  TestPlug p;
  p.FillDistinct();
  p.GetPreset(20)->initialized = false;
  p.LoadProgramSlot(6);
  const std::string path = dir.File("all.fxb");
  ASSERT_TRUE(p.SaveBankAsFXB(path));

  TestPlug q;
  q.LoadProgramSlot(2);
  q.programChanges = 0;
  ASSERT_TRUE(q.LoadBankFromFXB(path));
  for (int i = 0; i < 64; ++i) {
    EXPECT_STREQ(q.GetPresetName(i), p.GetPresetName(i));
    if (i != 20) {
      EXPECT_EQ(q.GetPreset(i)->chunk, p.GetPreset(i)->chunk) << i;
    }
    EXPECT_EQ(q.GetPreset(i)->initialized, i != 20);
  }
  EXPECT_EQ(q.GetCurrentPresetIdx(), 2);  // the file's current program is not applied
  EXPECT_EQ(q.Values(), (std::vector<double>{0.02, -22, 2, 0}));
  EXPECT_EQ(q.programChanges, 1);

  // Saving the loaded bank again gives the same bytes (apart from the current index).
  ChunkBuffer a, b;
  p.BuildBankFile(&a);
  q.LoadProgramSlot(6);
  q.BuildBankFile(&b);
  EXPECT_EQ(a, b);
}

TEST(BankFile, FormatVersionFieldIsNotChecked) {
  TestPlug p;
  p.FillDistinct();
  ChunkBuffer f;
  p.BuildBankFile(&f);
  SetBE(&f, 12, 1);
  TestPlug q;
  EXPECT_TRUE(q.LoadBankFromFile(f));
  EXPECT_STREQ(q.GetPresetName(63), "Program 63");
}

TEST(BankFile, RefusalsChangeNothing) {
  TestPlug p;
  p.FillDistinct();
  ChunkBuffer good;
  p.BuildBankFile(&good);
  TestPlug q;
  q.LoadProgramSlot(4);
  q.SetValues(0.3, 1, 1, 1);
  const PlugSnapshot before(q);
  q.changed.clear();
  struct Patch { int pos; const char* bytes; } patches[] = {
      {16, "3316"}, {0, "KnCc"}, {8, "FPCh"}, {8, "abcd"}};
  for (const Patch& patch : patches) {
    ChunkBuffer f = good;
    std::memcpy(f.Bytes() + patch.pos, patch.bytes, 4);
    EXPECT_FALSE(q.LoadBankFromFile(f)) << patch.bytes;
  }
  for (int length : {-1, -160, good.Size() - 159, 0x7fffffff, INT32_MIN}) {
    ChunkBuffer f = good;
    SetBE(&f, 156, length);
    EXPECT_FALSE(q.LoadBankFromFile(f)) << length;
  }
  EXPECT_TRUE(PlugSnapshot(q) == before);
  EXPECT_TRUE(q.changed.empty());
  EXPECT_EQ(q.programChanges, 0);
}

// Every prefix of a bank file is refused untouched. With the chunk-length
// field rewritten to fit the prefix, the chunk parser itself meets the cut:
// the load fails and the whole previous bank and live state come back.
TEST(BankFile, TruncationSweep) {
  TestPlug p;
  p.FillDistinct();
  for (int i = 0; i < 64; ++i) p.GetPreset(i)->chunk = TestPlug::State(1 - i / 100.0, 3, 1, 1);
  ChunkBuffer file;
  p.BuildBankFile(&file);

  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(1);
  q.SetValues(0.45, -2, 2, 0);
  const PlugSnapshot before(q);
  for (int len = 0; len < file.Size(); len += (len < 400 ? 1 : 5)) {
    EXPECT_FALSE(q.LoadBankFromFile(Slice(file, len))) << len;
    if (len >= 160) {
      ChunkBuffer patched = Slice(file, len);
      SetBE(&patched, 156, len - 160);
      EXPECT_FALSE(q.LoadBankFromFile(patched)) << len;
    }
    ASSERT_TRUE(PlugSnapshot(q) == before) << len;
  }
  EXPECT_EQ(q.programChanges, 0);
  EXPECT_TRUE(q.LoadBankFromFile(file));
}

TEST(BankFile, ParameterListBank) {
  std::vector<ChunkBuffer> records = {ParamRecord("First", {0.1f, 0.0f, 0.0f, 1.0f}),
                                      ParamRecord("Second", {0.2f, 1.0f, 1.0f, 0.0f}),
                                      ParamRecord("Third", {0.3f, 0.5f, 0.5f, 1.0f})};
  TestPlug q;
  q.FillDistinct();
  q.programChanges = 0;
  ASSERT_TRUE(q.LoadBankFromFile(ParamBank(records, 3, 1)));
  EXPECT_STREQ(q.GetPresetName(0), "First");
  EXPECT_STREQ(q.GetPresetName(2), "Third");
  EXPECT_STREQ(q.GetPresetName(3), "Program 3");
  EXPECT_EQ(q.GetPreset(2)->chunk, TestPlug::State(double(0.3f), 0, 1, 1));
  EXPECT_EQ(q.GetCurrentPresetIdx(), 1);
  EXPECT_EQ(q.Values(), (std::vector<double>{double(0.2f), 24, 2, 0}));
  EXPECT_EQ(q.programChanges, 1);
}

// Every record is checked before the first is applied: a bank with a bad
// record, or one cut short, changes nothing.
TEST(BankFile, ParameterListBankWithABadRecordChangesNothing) {
  const ChunkBuffer first = ParamRecord("First", {0.1f, 0.0f, 0.0f, 1.0f});
  for (const ChunkBuffer& bad :
       {ParamRecord("Second", {0.2f, 1.0f, 1.0f}, kTestParams - 1), ParamRecord("V", {0, 0, 0, 0}, kTestParams, 2),
        ParamRecord("F", {0, 0, 0, 0}, kTestParams, 1, "FPCh"), ParamRecord("C", {0, 0, 0, 0}, kTestParams + 1)}) {
    TestPlug r;
    r.FillDistinct();
    r.LoadProgramSlot(5);
    const PlugSnapshot before(r);
    r.programChanges = 0;
    EXPECT_FALSE(r.LoadBankFromFile(ParamBank({first, bad}, 2, 0)));
    EXPECT_TRUE(PlugSnapshot(r) == before);
    EXPECT_EQ(r.programChanges, 0);
  }
}

TEST(BankFile, ParameterListBankTruncatedAndOversized) {
  std::vector<ChunkBuffer> records;
  for (int i = 0; i < 70; ++i) records.push_back(ParamRecord("R", {0.5f, 0.5f, 0.5f, 0.0f}));
  records[64] = ParamRecord("Extra", {1, 1, 1, 1});
  TestPlug q;
  q.FillDistinct();
  q.LoadProgramSlot(7);
  ASSERT_TRUE(q.LoadBankFromFile(ParamBank(records, 70, 200)));
  EXPECT_STREQ(q.GetPresetName(63), "R");
  for (int i = 0; i < 64; ++i) EXPECT_EQ(q.GetPreset(i)->chunk, TestPlug::State(0.5, 0, 1, 0)) << i;
  // Program 200 does not exist: the program current before the load stays
  // current, and its new values are the live ones.
  EXPECT_EQ(q.GetCurrentPresetIdx(), 7);
  EXPECT_EQ(q.Values(), (std::vector<double>{0.5, 0, 1, 0}));

  const ChunkBuffer two = ParamBank({records[0], records[1]}, 2, 0);
  for (int len = 0; len < two.Size(); ++len) {
    TestPlug r;
    r.FillDistinct();
    const PlugSnapshot before(r);
    EXPECT_FALSE(r.LoadBankFromFile(Slice(two, len))) << len;
    EXPECT_TRUE(PlugSnapshot(r) == before) << len;
  }
}

// ---- the factory image -------------------------------------------------------------

TEST(BankImage, HeaderIsNotChecked) {
  TestPlug p;
  p.FillDistinct();
  ChunkBuffer f;
  p.BuildBankFile(&f);
  std::memcpy(f.Bytes(), "JUNKJUNKJUNKJUNKJUNK", 20);
  TestPlug q;
  q.programChanges = 0;
  EXPECT_TRUE(q.LoadBankFromMemory(f.Bytes(), f.Size()));
  EXPECT_STREQ(q.GetPresetName(40), "Program 40");
  EXPECT_EQ(q.programChanges, 1);
}

TEST(BankImage, ShortOrCutImages) {
  TestPlug p;
  p.FillDistinct();
  ChunkBuffer f;
  p.BuildBankFile(&f);
  TestPlug q;
  EXPECT_FALSE(q.LoadBankFromMemory(nullptr, 100));
  EXPECT_FALSE(q.LoadBankFromMemory(f.Bytes(), 159));
  EXPECT_FALSE(q.LoadBankFromMemory(f.Bytes(), -1));
  EXPECT_STREQ(q.GetPresetName(0), "empty");
  // Cut inside program 2's state: programs 0 and 1 are taken over, the rest stays.
  const int cut = 168 + 2 * (4 + 9 + 1 + 32) + 4 + 9 + 1 + 10;
  EXPECT_FALSE(q.LoadBankFromMemory(f.Bytes(), cut));
  EXPECT_STREQ(q.GetPresetName(1), "Program 1");
  EXPECT_STREQ(q.GetPresetName(2), "empty");
  EXPECT_STREQ(q.GetPresetName(3), "empty");
}

TEST(ProgramFile, NonAsciiPath) {
  TempFolder dir;
  TestPlug p;
  p.SetValues(0.125, 3, 1, 0);
  const std::string path = dir.File("Kl\xC3\xA4nge \xE2\x99\xAA.fxp");  // UTF-8
  ASSERT_TRUE(p.SaveProgramAsFXP(path));
  ASSERT_TRUE(p.SaveProgramAsFXP(path));  // replacing an existing file
  TestPlug q;
  ASSERT_TRUE(q.LoadProgramFromFXP(path));
  EXPECT_EQ(q.Values(), (std::vector<double>{0.125, 3, 1, 0}));
}
