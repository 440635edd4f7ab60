#include <gtest/gtest.h>

#include "EngineShared.h"
#include "Tables.h"
#include "TuningClient.h"
#include "VoicePool.h"
#include "tests/tuning/FakeTuningLibrary.h"

namespace {

MidiMessage Msg(uint8_t status, uint8_t d1, uint8_t d2) {
  MidiMessage m;
  m.status = status;
  m.data1 = d1;
  m.data2 = d2;
  return m;
}

// A voice pool whose instance has a tuning client on one of the stand-in
// tuning libraries.
class VoicePoolTuningTest : public ::testing::Test {
 protected:
  void Start(const char* library) {
    ASSERT_TRUE(lib.Use(library));
    client = CreateTuningClient();
    pool.Attach(&shared);
    pool.tuning = client;
    pool.voiceMode = 3;  // four lead voices
    pool.ApplyVoiceMode();
  }
  void TearDown() override {
    pool.tuning = nullptr;
    DestroyTuningClient(client);
  }

  FakeTuningLibrary lib;
  TuningClient* client = nullptr;
  EngineShared shared;
  VoicePool pool;
};

}  // namespace

TEST_F(VoicePoolTuningTest, MasterFrequencyIsTurnedIntoPitchStepsByBisection) {
  Start(QUARVI_FAKE_MTS_FULL);
  lib.SetMaster(true);
  lib.SetNoteFrequency(60, 300.0);
  EXPECT_EQ(pool.TuningPitch(60), 7982);
  EXPECT_LE(NoteFrequency(7982), 300.0);
  EXPECT_GT(NoteFrequency(7983), 300.0);
  EXPECT_EQ(pool.TuningPitch(69), 69 * 128);  // 440 Hz lies on the table

  pool.ApplyMessage(Msg(0x90, 60, 100));
  EXPECT_EQ(pool.voices[0].targetPitch, 7982);

  // With unison the detune is added to the tuned pitch.
  pool.unisonOn = true;
  pool.voiceMode = 0;
  pool.ApplyVoiceMode();
  pool.ApplyMessage(Msg(0x90, 60, 100));
  EXPECT_EQ(pool.voices[0].targetPitch, 7982 - 8);
  EXPECT_EQ(pool.voices[1].targetPitch, 7982 + 8);
}

TEST_F(VoicePoolTuningTest, FilteredNoteStartsNoVoiceAndItsNoteOffIsHarmless) {
  Start(QUARVI_FAKE_MTS_FULL);
  lib.SetMaster(true);
  lib.SetFilter(61, true);
  EXPECT_TRUE(pool.ShouldFilterNote(61));
  EXPECT_FALSE(pool.KeyDown(61, 100));
  EXPECT_FALSE(pool.IsHeld(61));
  EXPECT_EQ(pool.noteSerialCounter, 0);
  for (const Voice& v : pool.voices) EXPECT_FALSE(v.active);

  pool.ApplyMessage(Msg(0x90, 60, 100));
  const int queries = lib.Count("MTSTest_FilterQueries");
  pool.ApplyMessage(Msg(0x91, 61, 0));  // velocity 0: a note-off, never filtered
  pool.ApplyMessage(Msg(0x80, 61, 0));
  EXPECT_EQ(lib.Count("MTSTest_FilterQueries"), queries);
  EXPECT_TRUE(pool.voices[0].keyDown);
  EXPECT_NE(pool.voices[0].env[0].stage, Envelope::kRelease);
  EXPECT_EQ(pool.HeldCount(), 1);
}

TEST_F(VoicePoolTuningTest, LibraryWithoutMasterPlaysEqualTemperament) {
  Start(QUARVI_FAKE_MTS_FULL);
  lib.SetNoteFrequency(60, 300.0);
  lib.SetFilter(61, true);
  EXPECT_EQ(pool.TuningPitch(60), 7680);
  EXPECT_TRUE(pool.KeyDown(61, 100));
  EXPECT_EQ(pool.voices[0].targetPitch, 61 * 128);
}

TEST_F(VoicePoolTuningTest, NoLibraryPlaysEqualTemperament) {
  Start(nullptr);
  for (int key = 0; key < 128; ++key) EXPECT_EQ(pool.TuningPitch(key), 128 * key);
  EXPECT_TRUE(pool.KeyDown(61, 100));
  EXPECT_EQ(pool.voices[0].targetPitch, 61 * 128);
}

TEST_F(VoicePoolTuningTest, LibraryWithoutFilterFunctionFiltersNothing) {
  Start(QUARVI_FAKE_MTS_PARTIAL);
  lib.SetMaster(true);
  lib.SetNoteFrequency(60, 300.0);
  lib.SetFilter(61, true);
  EXPECT_TRUE(pool.KeyDown(61, 100));
  EXPECT_TRUE(pool.KeyDown(60, 100));
  EXPECT_EQ(pool.voices[1].targetPitch, 7982);
}

TEST_F(VoicePoolTuningTest, NoClientMeansNoTuning) {
  Start(QUARVI_FAKE_MTS_FULL);
  lib.SetMaster(true);
  lib.SetNoteFrequency(60, 300.0);
  lib.SetFilter(61, true);
  pool.tuning = nullptr;
  EXPECT_EQ(pool.TuningPitch(60), 7680);
  EXPECT_FALSE(pool.ShouldFilterNote(61));
}
