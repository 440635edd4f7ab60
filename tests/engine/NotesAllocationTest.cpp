#include <gtest/gtest.h>

#include "AllocCounter.h"
#include "EngineShared.h"
#include "MidiQueue.h"
#include "TuningClient.h"
#include "VoicePool.h"
#include "tests/tuning/FakeTuningLibrary.h"

// The event step runs inside the render: draining the queue and every note
// operation it leads to must not touch the heap, with or without a tuning
// master.
namespace {

MidiMessage Msg(int offset, uint8_t status, uint8_t d1, uint8_t d2) {
  MidiMessage m;
  m.offset = offset;
  m.status = status;
  m.data1 = d1;
  m.data2 = d2;
  return m;
}

void Exercise(VoicePool& pool, MidiQueue& queue) {
  for (int i = 0; i < 200; ++i) {
    queue.Add(Msg(i % 90, 0x90, 36 + (i * 7) % 60, 1 + i % 127));
    queue.Add(Msg(i % 90 + 3, 0x80, 36 + (i * 5) % 60, 0));
    if (i % 13 == 0) queue.Add(Msg(i % 90, 0xB0, 64, (i / 13) % 2 ? 127 : 0));
    if (i % 17 == 0) queue.Add(Msg(i % 90, 0xE0, i & 127, 40));
  }
  long allocations;
  {
    AllocationScope scope;
    for (int block = 0; block < 4; ++block) {
      queue.ApplyDue(44, [&](const MidiMessage& m) { pool.ApplyMessage(m); });
    }
    pool.NoteOff(60);
    pool.Pedal(true);
    pool.Pedal(false);
    pool.SetUnisonPhaseSpread(0.75);
    pool.ApplyVoiceMode();
    pool.AllNotesOff();
    pool.ResetSerials();
    pool.ClearHeldNotes();
    allocations = scope.Count();
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(queue.Pending(), 0);
}

}  // namespace

TEST(NotesAllocation, EventStepAndNoteHandlingAllocateNothing) {
  EngineShared shared;
  VoicePool pool;
  pool.Attach(&shared);
  MidiQueue queue;
  for (int k : {0, 3, 31}) {
    for (bool unison : {false, true}) {
      pool.voiceMode = k;
      pool.unisonOn = unison;
      pool.ApplyVoiceMode();
      Exercise(pool, queue);
    }
  }
}

TEST(NotesAllocation, TunedNotesAllocateNothing) {
  FakeTuningLibrary lib;
  ASSERT_TRUE(lib.Use(QUARVI_FAKE_MTS_FULL));
  lib.SetMaster(true);
  lib.SetNoteFrequency(60, 300.0);
  lib.SetFilter(61, true);
  TuningClient* client = CreateTuningClient();
  {
    EngineShared shared;
    VoicePool pool;
    pool.Attach(&shared);
    pool.tuning = client;
    pool.voiceMode = 5;
    pool.ApplyVoiceMode();
    MidiQueue queue;
    Exercise(pool, queue);
  }
  DestroyTuningClient(client);
}
