#include <gtest/gtest.h>

#include <cmath>

#include "TempoClock.h"

TEST(TempoClock, ConstructedState) {
  TempoClock c;
  EXPECT_EQ(c.sampleClock, 0.0);
  EXPECT_EQ(c.lastPpq, -1.0);
  for (const TempoPulse& p : c.pulse) EXPECT_EQ(p.countdown, 0);
}

TEST(TempoClock, NoteValuesAndNames) {
  EXPECT_STREQ(kSyncNames[0], "8/1");
  EXPECT_STREQ(kSyncNames[9], "1/4.");
  EXPECT_STREQ(kSyncNames[10], "1/2T");
  EXPECT_STREQ(kSyncNames[11], "1/4");
  EXPECT_STREQ(kSyncNames[19], "1/32");
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  c.Update(t, 48000.0);
  EXPECT_EQ(c.samplesPerBeat, 24000.0);
  EXPECT_EQ(c.pulse[0].reload, 32 * 24000);
  EXPECT_EQ(c.pulse[11].reload, 24000);
  EXPECT_EQ(c.pulse[10].reload, 32000);  // half-note triplet
  EXPECT_EQ(c.pulse[13].reload, 16000);
  EXPECT_EQ(c.pulse[16].reload, 8000);
  EXPECT_EQ(c.pulse[19].reload, 3000);
  EXPECT_EQ(c.pulse[18].reload, 4500);
}

TEST(TempoClock, ReloadRoundsTheNoteValue) {
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  c.Update(t, 44100.0);  // 22050 samples per beat
  EXPECT_EQ(c.pulse[13].period, 2.0 / 3.0 * 22050.0);
  EXPECT_EQ(c.pulse[13].reload, 14700);
  EXPECT_EQ(c.pulse[16].reload, 7350);
  EXPECT_EQ(c.pulse[19].reload, 2756);  // 2756.25
  EXPECT_EQ(c.pulse[18].reload, 4134);  // 4134.375
}

TEST(TempoClock, UnusableTempoMeans120) {
  for (double tempo : {0.0, -30.0, 0.0004}) {
    TempoClock c;
    HostTimeInfo t;
    t.tempo = tempo;
    c.Update(t, 48000.0);
    EXPECT_EQ(c.samplesPerBeat, 24000.0) << tempo;
  }
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0004;  // rounded to a thousandth of a beat per minute
  c.Update(t, 48000.0);
  EXPECT_NEAR(c.samplesPerBeat, 24000.0, 1e-9);
  t.tempo = 120.0006;
  c.Update(t, 48000.0);
  EXPECT_NEAR(c.samplesPerBeat, 60.0 / 120.001 * 48000.0, 1e-9);
}

TEST(TempoClock, PulsesFireOnTheirGrid) {
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  t.ppqPos = 0.0;  // differs from lastPpq: align the grid
  c.Update(t, 48000.0);
  EXPECT_EQ(c.pulse[19].nextTime, 0.0);
  c.Restart();
  EXPECT_EQ(c.pulse[19].countdown, 3000);
  c.Step(1);  // clock 1: fires
  EXPECT_EQ(c.pulse[19].nextTime, 3001.0);
  EXPECT_EQ(c.pulse[19].countdown, 3000);
  c.Step(2999);
  EXPECT_EQ(c.pulse[19].countdown, 1);
  c.Step(1);
  EXPECT_EQ(c.sampleClock, 3001.0);
  EXPECT_EQ(c.pulse[19].countdown, 3000);
  EXPECT_EQ(c.pulse[19].nextTime, 6001.0);
}

TEST(TempoClock, CountdownNeverGoesBelowZero) {
  TempoClock c;
  for (TempoPulse& p : c.pulse) p.nextTime = 1e12;
  c.pulse[3].countdown = 2;
  c.Step(10);
  EXPECT_EQ(c.pulse[3].countdown, 0);
  EXPECT_EQ(c.sampleClock, 10.0);
}

TEST(TempoClock, RunningTransportPlacesTheClock) {
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  t.transportIsRunning = true;
  t.samplePos = 100.0;
  t.ppqPos = 2.5;
  c.Update(t, 48000.0);
  EXPECT_EQ(c.sampleClock, 60000.0);
  // First pulse at or after the clock on each grid.
  EXPECT_EQ(c.pulse[11].nextTime, 72000.0);
  EXPECT_EQ(c.pulse[14].nextTime, 60000.0);
  EXPECT_EQ(c.pulse[0].nextTime, 768000.0);
  EXPECT_EQ(c.lastPpq, 2.5);

  t.samplePos = -5.0;  // pre-roll
  t.ppqPos = 3.0;
  c.Update(t, 48000.0);
  EXPECT_EQ(c.sampleClock, -5.0);
}

TEST(TempoClock, SongPositionJumpingBackRestarts) {
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  t.ppqPos = 8.0;
  c.Update(t, 48000.0);
  c.Step(500);
  t.ppqPos = 4.0;  // stopped transport: the clock is not taken from the host
  c.Update(t, 48000.0);
  EXPECT_EQ(c.sampleClock, 0.0);
  for (const TempoPulse& p : c.pulse) {
    EXPECT_EQ(p.countdown, p.reload);
    EXPECT_EQ(p.nextTime, 0.0);
  }
}

TEST(TempoClock, UnchangedPositionKeepsTheGrid) {
  TempoClock c;
  HostTimeInfo t;
  t.tempo = 120.0;
  t.ppqPos = 1.0;
  c.Update(t, 48000.0);
  c.Step(100);
  const double next = c.pulse[19].nextTime;
  c.Update(t, 48000.0);  // same ppqPos: free-running
  EXPECT_EQ(c.pulse[19].nextTime, next);
  EXPECT_EQ(c.sampleClock, 100.0);
}
