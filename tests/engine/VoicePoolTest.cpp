#include <gtest/gtest.h>

#include <cmath>

#include "EngineShared.h"
#include "MidiQueue.h"
#include "VoicePool.h"

namespace {

MidiMessage Msg(int offset, uint8_t status, uint8_t d1, uint8_t d2) {
  MidiMessage m;
  m.offset = offset;
  m.status = status;
  m.data1 = d1;
  m.data2 = d2;
  return m;
}

class VoicePoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shared.controlBlockLength = 44;
    pool.Attach(&shared);
    Mode(0, false);
  }

  void Mode(int k, bool unison) {
    pool.voiceMode = k;
    pool.unisonOn = unison;
    pool.ApplyVoiceMode();
  }

  void Down(int key, int velocity = 100) { pool.ApplyMessage(Msg(0, 0x90, key, velocity)); }
  void Up(int key) { pool.ApplyMessage(Msg(0, 0x80, key, 0)); }
  void Sustain(int value) { pool.ApplyMessage(Msg(0, 0xB0, 64, value)); }

  bool Released(int slot) const {
    for (const Envelope& e : pool.voices[slot].env) {
      if (e.stage != Envelope::kRelease) return false;
    }
    return true;
  }
  bool NoneReleased(int slot) const {
    for (const Envelope& e : pool.voices[slot].env) {
      if (e.stage == Envelope::kRelease) return false;
    }
    return true;
  }

  EngineShared shared;
  VoicePool pool;
};

}  // namespace

TEST_F(VoicePoolTest, StartsWithOneLeadVoice) {
  EXPECT_EQ(pool.polyCount, 1);
  EXPECT_EQ(pool.unisonCount, 1);
  EXPECT_EQ(pool.activeVoiceCount, 1);
  EXPECT_EQ(pool.unisonCompensation, 1.0);
  EXPECT_EQ(pool.noteSerialCounter, 0);
  EXPECT_EQ(pool.HeldCount(), 0);
  EXPECT_EQ(pool.HighestHeldKey(), -1);
}

TEST_F(VoicePoolTest, NoteOnCountsSerialsPerNoteAndPerCopy) {
  Mode(3, false);  // four lead voices
  Down(60, 100);
  const Voice& v = pool.voices[0];
  EXPECT_TRUE(v.active);
  EXPECT_TRUE(v.keyDown);
  EXPECT_EQ(v.key, 60);
  EXPECT_EQ(v.noteVelocity, 100);
  EXPECT_EQ(v.targetPitch, 7680);
  EXPECT_EQ(v.detune, 0);
  EXPECT_EQ(v.serial, 2);
  EXPECT_EQ(pool.noteSerialCounter, 2);
  Down(62);
  EXPECT_EQ(pool.voices[1].key, 62);
  EXPECT_EQ(pool.voices[1].serial, 4);
  EXPECT_TRUE(pool.IsHeld(60));
  EXPECT_EQ(pool.HeldVelocity(60), 100);
  EXPECT_EQ(pool.HighestHeldKey(), 62);
}

TEST_F(VoicePoolTest, FifthKeyOnFourVoicesStealsTheOldest) {
  Mode(3, false);
  Down(60);
  Down(62);
  Down(64);
  Down(65);
  Down(67);
  EXPECT_EQ(pool.voices[0].key, 67);
  EXPECT_EQ(pool.voices[1].key, 62);
  Down(69);
  EXPECT_EQ(pool.voices[1].key, 69);
  EXPECT_EQ(pool.voices[2].key, 64);
  // Nothing beyond the four lead slots is touched.
  EXPECT_FALSE(pool.voices[4].active);
}

TEST_F(VoicePoolTest, ReplayingASoundingKeyRetriggersItsOwnSlot) {
  Mode(3, false);
  Down(60);
  Down(62);
  Down(64);
  const int before = pool.voices[1].serial;
  Down(62, 50);
  EXPECT_EQ(pool.voices[1].key, 62);
  EXPECT_EQ(pool.voices[1].noteVelocity, 50);
  EXPECT_GT(pool.voices[1].serial, before);
  EXPECT_FALSE(pool.voices[3].active);
  EXPECT_EQ(pool.HeldVelocity(62), 50);
}

TEST_F(VoicePoolTest, SameKeyIsPreferredEvenWhenItsVoiceHasEnded) {
  Mode(3, false);
  Down(60);
  Down(62);
  Down(64);
  Down(65);
  for (Voice& v : pool.voices) v.active = false;  // all releases finished
  Down(65);
  EXPECT_EQ(pool.voices[3].key, 65);
  EXPECT_EQ(pool.voices[0].key, 60);
  EXPECT_FALSE(pool.voices[0].active);
  Down(70);  // a new key takes the first free slot
  EXPECT_EQ(pool.voices[0].key, 70);
}

TEST_F(VoicePoolTest, SingleLeadVoiceReturnsToTheHighestHeldKey) {
  Down(60, 100);
  Down(64, 90);
  EXPECT_EQ(pool.voices[0].key, 64);
  EXPECT_EQ(pool.voices[0].targetPitch, 64 * 128);

  Up(64);
  const Voice& v = pool.voices[0];
  EXPECT_EQ(v.key, 60);
  EXPECT_EQ(v.targetPitch, 60 * 128);
  EXPECT_EQ(v.noteVelocity, 100);  // the velocity stored for 60
  EXPECT_TRUE(v.keyDown);
  EXPECT_TRUE(NoneReleased(0));

  Up(60);
  EXPECT_FALSE(v.keyDown);
  EXPECT_TRUE(Released(0));
  EXPECT_EQ(pool.HeldCount(), 0);
}

TEST_F(VoicePoolTest, SingleLeadVoiceStaysWhenTheHighestHeldKeySounds) {
  Down(60);
  Down(64);
  const int serial = pool.voices[0].serial;
  Up(60);  // 64 is still the highest held and is sounding
  EXPECT_EQ(pool.voices[0].key, 64);
  EXPECT_EQ(pool.voices[0].serial, serial);
  EXPECT_TRUE(NoneReleased(0));
}

TEST_F(VoicePoolTest, UnisonCopiesAreDetunedAroundTheKey) {
  Mode(0, true);  // U = 2, P = 1
  EXPECT_EQ(pool.activeVoiceCount, 2);
  EXPECT_DOUBLE_EQ(pool.unisonCompensation, 1.0 / std::sqrt(2.0));
  Down(60);
  EXPECT_EQ(pool.voices[0].detune, -8);
  EXPECT_EQ(pool.voices[0].targetPitch, 7680 - 8);
  EXPECT_EQ(pool.voices[1].detune, 8);
  EXPECT_EQ(pool.voices[1].targetPitch, 7680 + 8);
  EXPECT_EQ(pool.voices[0].serial, 2);
  EXPECT_EQ(pool.voices[1].serial, 3);
  EXPECT_EQ(pool.noteSerialCounter, 3);
}

TEST_F(VoicePoolTest, UnisonCopiesLieOneLeadCountApart) {
  Mode(29, true);  // U = 8, P = 2
  Down(60);
  Down(62);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(pool.voices[2 * i].key, 60) << i;
    EXPECT_EQ(pool.voices[2 * i + 1].key, 62) << i;
    EXPECT_TRUE(pool.voices[2 * i + 1].active) << i;
  }
  EXPECT_EQ(pool.voices[0].detune, -12);
  EXPECT_EQ(pool.voices[14].detune, 12);
  EXPECT_FALSE(pool.voices[16].active);
  Up(60);
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(Released(2 * i)) << i;
    EXPECT_TRUE(NoneReleased(2 * i + 1)) << i;
  }
}

TEST_F(VoicePoolTest, UnisonLfoPhaseSpreadsTheCopies) {
  Mode(0, true);
  pool.SetUnisonPhaseSpread(2 * 0.5);  // "Unison LFO Phase" 180 degrees
  EXPECT_EQ(pool.voices[0].lfo[0].phaseOffset, 0.0);
  EXPECT_EQ(pool.voices[1].lfo[0].phaseOffset, 0.5);
  EXPECT_EQ(pool.voices[1].lfo[2].phaseOffset, 0.5);

  // The second copy runs a quarter cycle ahead: with a 101-block cycle (a
  // phase step of 1/100) it shows now what the first shows 25 blocks later.
  Lfo& a = pool.voices[0].lfo[0];
  Lfo& b = pool.voices[1].lfo[0];
  for (Lfo* l : {&a, &b}) {
    l->wave = Lfo::kSine;
    l->period = 101;
    l->phaseStep = 1.0 / 100.0;
    l->counter = 0;
  }
  double first[80], second[80];
  for (int i = 0; i < 80; ++i) {
    a.Step();
    b.Step();
    first[i] = a.output;
    second[i] = b.output;
  }
  for (int i = 1; i + 25 < 80; ++i) EXPECT_NEAR(second[i], first[i + 25], 1e-12) << i;
  // At the start of the cycle the first copy is at 0 and the second at its
  // peak.
  EXPECT_NEAR(first[0], 0.0, 1e-12);
  EXPECT_NEAR(second[0], 0.5, 1e-12);
}

TEST_F(VoicePoolTest, PhaseOffsetsFollowCopyIndexAndMode) {
  Mode(30, true);  // U = 8, P = 4
  pool.SetUnisonPhaseSpread(2.0);
  for (int s = 0; s < 32; ++s) EXPECT_DOUBLE_EQ(pool.voices[s].lfo[1].phaseOffset, (s / 4) * 0.25) << s;
  // Setting the spread leaves the running LFOs alone...
  pool.voices[5].lfo[0].output = 0.3;
  pool.voices[5].lfo[0].counter = 17;
  pool.SetUnisonPhaseSpread(1.0);
  EXPECT_EQ(pool.voices[5].lfo[0].output, 0.3);
  EXPECT_EQ(pool.voices[5].lfo[0].counter, 17);
  EXPECT_DOUBLE_EQ(pool.voices[5].lfo[0].phaseOffset, 0.125);
  // ...while a mode change zeroes every LFO of every slot.
  pool.voices[63].lfo[2].heldRandom = 0.7;
  pool.voices[63].lfo[2].outputPlus = 0.6;
  Mode(30, false);
  EXPECT_EQ(pool.voices[5].lfo[0].output, 0.0);
  EXPECT_EQ(pool.voices[5].lfo[0].counter, 0);
  EXPECT_EQ(pool.voices[63].lfo[2].heldRandom, 0.0);
  EXPECT_EQ(pool.voices[63].lfo[2].outputPlus, 0.0);
  for (const Voice& v : pool.voices) EXPECT_EQ(v.lfo[0].phaseOffset, 0.0);
}

TEST_F(VoicePoolTest, LoweringVoicesReleasesAllAndKeepsStateBeyondTheCount) {
  Mode(7, false);  // eight lead voices
  for (int k = 0; k < 8; ++k) Down(60 + k);
  pool.voices[6].env[0].level = 0.75;
  EXPECT_TRUE(pool.SetVoiceMode(2));
  EXPECT_EQ(pool.polyCount, 3);
  EXPECT_EQ(pool.activeVoiceCount, 3);
  EXPECT_EQ(pool.HeldCount(), 0);
  for (int s = 0; s < 8; ++s) {
    EXPECT_TRUE(Released(s)) << s;
    EXPECT_FALSE(pool.voices[s].keyDown) << s;
    EXPECT_TRUE(pool.voices[s].active) << s;  // fading, not cut
  }
  EXPECT_EQ(pool.voices[6].env[0].level, 0.75);
  EXPECT_FALSE(pool.SetVoiceMode(2));  // unchanged
  EXPECT_FALSE(pool.SetVoiceMode(32));
  EXPECT_FALSE(pool.SetVoiceMode(-1));
  EXPECT_EQ(pool.voiceMode, 2);
}

TEST_F(VoicePoolTest, SwitchingUnisonWhileNotesSoundReleasesNothing) {
  Mode(3, false);
  Down(60);
  Down(64);
  pool.SetUnison(true);
  EXPECT_EQ(pool.unisonCount, 2);
  EXPECT_EQ(pool.polyCount, 8);
  EXPECT_EQ(pool.activeVoiceCount, 16);
  for (int s = 0; s < 2; ++s) {
    EXPECT_TRUE(pool.voices[s].keyDown);
    EXPECT_TRUE(NoneReleased(s));
    EXPECT_EQ(pool.voices[s].detune, 0);  // old detune until the next note-on
  }
  pool.SetUnison(false);
  EXPECT_EQ(pool.activeVoiceCount, 4);
  EXPECT_TRUE(NoneReleased(0));
  EXPECT_DOUBLE_EQ(pool.unisonCompensation, 1.0);
}

TEST_F(VoicePoolTest, SustainPedalHoldsReleasedKeys) {
  Mode(3, false);
  Down(60);
  Down(64);
  Sustain(1);  // any value above 0 is down
  Up(60);
  EXPECT_FALSE(pool.voices[0].keyDown);
  EXPECT_TRUE(pool.voices[0].sustained);
  EXPECT_TRUE(NoneReleased(0));
  Sustain(0);
  EXPECT_TRUE(Released(0));
  EXPECT_TRUE(NoneReleased(1));  // 64 is still held
  EXPECT_FALSE(pool.voices[1].sustained);
  Up(64);
  EXPECT_TRUE(Released(1));
}

TEST_F(VoicePoolTest, AllNotesOffReleasesWithoutCutting) {
  Mode(3, false);
  Down(60);
  Down(64);
  Sustain(127);
  pool.voices[0].env[0].level = 0.5;
  pool.AllNotesOff();
  EXPECT_EQ(pool.HeldCount(), 0);
  for (int s = 0; s < 64; ++s) {
    EXPECT_FALSE(pool.voices[s].keyDown) << s;
    EXPECT_FALSE(pool.voices[s].sustained) << s;
  }
  EXPECT_TRUE(Released(0));
  EXPECT_TRUE(Released(1));
  EXPECT_TRUE(pool.voices[0].active);
  EXPECT_EQ(pool.voices[0].env[0].level, 0.5);
  // Later note-offs of the forgotten keys are harmless.
  Up(60);
  EXPECT_EQ(pool.HeldCount(), 0);
}

TEST_F(VoicePoolTest, VelocityZeroNoteOnIsANoteOff) {
  Mode(3, false);
  Down(60);
  pool.ApplyMessage(Msg(0, 0x93, 60, 0));
  EXPECT_FALSE(pool.voices[0].keyDown);
  EXPECT_TRUE(Released(0));
  EXPECT_FALSE(pool.IsHeld(60));
}

TEST_F(VoicePoolTest, ControllersAndPitchBend) {
  EXPECT_TRUE(pool.ApplyMessage(Msg(0, 0xE0, 0, 64)));
  EXPECT_EQ(shared.pitchBend, 0.0);
  EXPECT_EQ(shared.pitchBendUnipolar, 0.5);
  pool.ApplyMessage(Msg(0, 0xE5, 0, 0));
  EXPECT_EQ(shared.pitchBend, -1.0);
  EXPECT_EQ(shared.pitchBendUnipolar, 0.0);
  pool.ApplyMessage(Msg(0, 0xE0, 127, 127));
  EXPECT_EQ(shared.pitchBend, 8191.0 / 8192.0);
  pool.ApplyMessage(Msg(0, 0xB0, 1, 127));
  EXPECT_EQ(shared.modWheel, 1.0);
  pool.ApplyMessage(Msg(0, 0xB0, 1, 0));
  EXPECT_EQ(shared.modWheel, 0.0);
  EXPECT_FALSE(pool.ApplyMessage(Msg(0, 0xB0, 7, 100)));   // for the controller map
  EXPECT_FALSE(pool.ApplyMessage(Msg(0, 0xB0, 119, 100)));
  EXPECT_TRUE(pool.ApplyMessage(Msg(0, 0xB0, 120, 0)));   // never mapped
  EXPECT_TRUE(pool.ApplyMessage(Msg(0, 0xA0, 60, 10)));   // ignored kinds
  EXPECT_TRUE(pool.ApplyMessage(Msg(0, 0xD0, 60, 10)));
  EXPECT_FALSE(pool.voices[0].active);
}

TEST_F(VoicePoolTest, QueuedNoteOffAfterEarlierNoteOnEndsTheNote) {
  MidiQueue q;
  q.Add(Msg(10, 0x80, 60, 0));
  q.Add(Msg(5, 0x90, 60, 100));
  q.ApplyDue(44, [&](const MidiMessage& m) { pool.ApplyMessage(m); });
  EXPECT_TRUE(pool.voices[0].active);
  EXPECT_FALSE(pool.voices[0].keyDown);
  EXPECT_TRUE(Released(0));
}

TEST_F(VoicePoolTest, ResetSerialsKeepsTheAgeOrderOfSoundingVoices) {
  Mode(1, false);  // two lead voices
  Down(60);
  Down(62);
  pool.ResetSerials();
  EXPECT_EQ(pool.voices[0].serial, 1);
  EXPECT_EQ(pool.voices[1].serial, 2);
  EXPECT_EQ(pool.noteSerialCounter, 2);
  Down(64);  // steals 60, the oldest
  EXPECT_EQ(pool.voices[0].key, 64);
  Down(65);  // steals 62, now the oldest
  EXPECT_EQ(pool.voices[1].key, 65);
  EXPECT_EQ(pool.voices[0].key, 64);

  for (Voice& v : pool.voices) v.active = false;
  pool.ResetSerials();
  EXPECT_EQ(pool.noteSerialCounter, 0);
}
