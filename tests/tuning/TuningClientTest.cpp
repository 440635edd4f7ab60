#include <gtest/gtest.h>

#include <cmath>

#include "FakeTuningLibrary.h"
#include "TestEnvironment.h"
#include "TuningClient.h"

namespace {

class TuningLibraryTest : public ::testing::Test {
 protected:
  void Use(const char* path) { ASSERT_TRUE(lib.Use(path)); }
  void SetMaster(bool on) { lib.SetMaster(on); }
  void SetFrequency(int note, double hz) { lib.SetNoteFrequency(note, hz); }
  void SetFilter(int note, bool on) { lib.SetFilter(note, on); }
  int Count(const char* name) { return lib.Count(name); }

  FakeTuningLibrary lib;
};

double Equal(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

}  // namespace

TEST_F(TuningLibraryTest, WithoutTheLibraryEverythingIsNeutral) {
  Use(nullptr);
  TuningClient* c = CreateTuningClient();
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 69), 440.0);
  EXPECT_NEAR(NoteToFrequency(c, 60), 261.6255653, 1e-6);
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 69 + 128), 440.0);
  EXPECT_FALSE(ShouldFilterNote(c, 61));
  DestroyTuningClient(c);
  DestroyTuningClient(nullptr);
}

TEST_F(TuningLibraryTest, RegistersOncePerClientAndDeregistersBeforeFreeing) {
  Use(QUARVI_FAKE_MTS_FULL);
  EXPECT_EQ(Count("MTSTest_ChannelTableRequests"), 16);
  TuningClient* a = CreateTuningClient();
  TuningClient* b = CreateTuningClient();
  EXPECT_EQ(Count("MTSTest_RegisterCount"), 2);
  EXPECT_EQ(Count("MTSTest_DeregisterCount"), 0);
  DestroyTuningClient(a);
  EXPECT_EQ(Count("MTSTest_DeregisterCount"), 1);
  DestroyTuningClient(b);
  EXPECT_EQ(Count("MTSTest_DeregisterCount"), 2);
}

TEST_F(TuningLibraryTest, LibraryWithoutMasterIsEqualTemperament) {
  Use(QUARVI_FAKE_MTS_FULL);
  SetFrequency(60, 300.0);
  SetFilter(61, true);
  TuningClient* c = CreateTuningClient();
  EXPECT_FALSE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), Equal(60));
  EXPECT_FALSE(ShouldFilterNote(c, 61));
  EXPECT_EQ(Count("MTSTest_FilterQueries"), 0);
  DestroyTuningClient(c);
}

TEST_F(TuningLibraryTest, MasterSuppliesFrequenciesAndFilters) {
  Use(QUARVI_FAKE_MTS_FULL);
  SetMaster(true);
  SetFrequency(60, 300.0);
  SetFilter(61, true);
  TuningClient* c = CreateTuningClient();
  EXPECT_TRUE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), 300.0);
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60 + 128), 300.0);
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60 - 128), 300.0);
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 62), Equal(62));

  EXPECT_TRUE(ShouldFilterNote(c, 61));
  EXPECT_EQ(Count("MTSTest_LastFilterNote"), 61);
  EXPECT_EQ(Count("MTSTest_LastFilterChannel"), 0xFF);  // channel not given
  EXPECT_TRUE(ShouldFilterNote(c, 61 + 128));
  EXPECT_EQ(Count("MTSTest_LastFilterNote"), 61);
  EXPECT_FALSE(ShouldFilterNote(c, 60));

  // The master's table is read at every query: a retuning reaches new notes.
  SetFrequency(60, 310.0);
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), 310.0);
  // A master that goes away leaves equal temperament and no filter.
  SetMaster(false);
  EXPECT_FALSE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), Equal(60));
  EXPECT_FALSE(ShouldFilterNote(c, 61));

  EXPECT_EQ(Count("MTSTest_UnusedCalls"), 0);
  DestroyTuningClient(c);
}

TEST_F(TuningLibraryTest, NullClientIgnoresTheMaster) {
  Use(QUARVI_FAKE_MTS_FULL);
  SetMaster(true);
  SetFrequency(60, 300.0);
  SetFilter(61, true);
  EXPECT_FALSE(HasTuningMaster(nullptr));
  EXPECT_DOUBLE_EQ(NoteToFrequency(nullptr, 60), Equal(60));
  EXPECT_FALSE(ShouldFilterNote(nullptr, 61));
}

TEST_F(TuningLibraryTest, MissingFunctionsGiveNeutralAnswers) {
  Use(QUARVI_FAKE_MTS_PARTIAL);  // no registration, no filter, no channel tables
  SetMaster(true);
  SetFrequency(60, 300.0);
  SetFilter(61, true);
  TuningClient* c = CreateTuningClient();
  EXPECT_TRUE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), 300.0);
  EXPECT_FALSE(ShouldFilterNote(c, 61));
  DestroyTuningClient(c);
  EXPECT_EQ(Count("MTSTest_RegisterCount"), 0);
}

TEST_F(TuningLibraryTest, MasterWithoutTuningTableIsNoMaster) {
  Use(QUARVI_FAKE_MTS_NO_TABLE);
  SetMaster(true);
  SetFrequency(60, 300.0);
  SetFilter(61, true);
  TuningClient* c = CreateTuningClient();
  EXPECT_EQ(Count("MTSTest_RegisterCount"), 1);
  EXPECT_FALSE(HasTuningMaster(c));
  EXPECT_DOUBLE_EQ(NoteToFrequency(c, 60), Equal(60));
  EXPECT_FALSE(ShouldFilterNote(c, 61));
  DestroyTuningClient(c);
}

// The shipped plug-in loads the tuning library from the system locations
// only: a variable in the host's environment must not make it load other
// code (what static initialisation does is a load without a named file).
TEST_F(TuningLibraryTest, TheHostsEnvironmentNamesNoLibrary) {
  Use(QUARVI_FAKE_MTS_FULL);
  SetMaster(true);
  SetTestEnvironment("QUARVI_MTS_LIBRARY", QUARVI_FAKE_MTS_FULL);
  ReloadTuningLibraryForTesting(nullptr);
  SetTestEnvironment("QUARVI_MTS_LIBRARY", nullptr);
  TuningClient* c = CreateTuningClient();
  EXPECT_FALSE(HasTuningMaster(c));
  EXPECT_EQ(Count("MTSTest_RegisterCount"), 0);
  DestroyTuningClient(c);
}
