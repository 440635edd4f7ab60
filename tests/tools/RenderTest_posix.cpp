// quarvi-render's host core against a probe instrument loaded like any
// plug-in: event timing, transport, settings, level statistics, errors.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ProbeInstrument.h"
#include "Render.h"
#include "VstHost.h"
#include "platform/DynamicLibrary.h"

#ifdef QUARVI_PROBE_INSTRUMENT

namespace {

class HostRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(probe.Open(QUARVI_PROBE_INSTRUMENT));
    std::string error;
    ASSERT_TRUE(host.Load(QUARVI_PROBE_INSTRUMENT, &error)) << error;
    log = SymbolAs<QuarviProbeLogProc>(probe, "QuarviProbeLog")();
  }

  DynamicLibrary probe;  // keeps the library (and its log) while the host reloads
  VstHost host;
  ProbeLog* log = nullptr;
};

SmfEvent Event(uint64_t tick, uint8_t status, uint8_t d1, uint8_t d2) {
  SmfEvent e;
  e.tick = tick;
  e.status = status;
  e.data1 = d1;
  e.data2 = d2;
  return e;
}

TEST_F(HostRender, EventsLandOnTheirFramesWithTheTransport) {
  ASSERT_TRUE(host.IsInstrument());
  host.Start(48000.0, 100);
  EXPECT_EQ(log->opened, 1);
  EXPECT_EQ(log->sampleRate, 48000.0);
  EXPECT_EQ(log->blockSize, 100);

  Song song;
  song.ticksPerQuarter = 480;
  song.tempos.push_back({0, 500000});
  song.events.push_back(Event(0, 0x90, 60, 100));
  song.events.push_back(Event(7, 0x90, 64, 90));  // 350 frames: block 3, offset 50
  SmfEvent sysex;
  sysex.tick = 96;  // 0.1 s: frame 4800, block 48
  sysex.status = 0xF0;
  sysex.sysex = {0xF0, 0x7D, 0x01, 0xF7};
  song.events.push_back(sysex);
  song.events.push_back(Event(960, 0x80, 60, 0));  // 1 s
  song.endTick = 960;

  RenderOptions options;
  options.sampleRate = 48000.0;
  options.blockSize = 100;
  options.tailSeconds = 0.5;
  RenderStats stats;
  std::string error;
  std::vector<float> audio;
  ASSERT_TRUE(RenderSong(
      host, song, options,
      [&](const float* frames, int n) {
        audio.insert(audio.end(), frames, frames + 2 * n);
        return true;
      },
      nullptr, &stats, &error))
      << error;

  EXPECT_EQ(stats.frames, 72000);
  EXPECT_EQ(audio.size(), 144000u);
  EXPECT_EQ(log->blockCount, 720);
  EXPECT_EQ(stats.eventsSent, 4);
  ASSERT_EQ(log->eventCount, 4);
  EXPECT_EQ(log->events[0].block, 0);
  EXPECT_EQ(log->events[0].deltaFrames, 0);
  EXPECT_EQ(log->events[1].block, 3);
  EXPECT_EQ(log->events[1].deltaFrames, 50);
  EXPECT_EQ(log->events[1].bytes[0], 0x90);
  EXPECT_EQ(log->events[1].bytes[1], 64);
  EXPECT_EQ(log->events[1].bytes[2], 90);
  EXPECT_EQ(log->events[2].type, kVstSysExType);
  EXPECT_EQ(log->events[2].block, 48);
  EXPECT_EQ(log->events[2].size, 4);
  EXPECT_EQ(log->events[2].bytes[1], 0x7D);
  EXPECT_EQ(log->events[3].block, 480);
  EXPECT_EQ(log->events[3].bytes[0], 0x80);

  for (int k : {0, 1, 300, 600, 719}) {
    const ProbeBlock& b = log->blocks[k];
    EXPECT_EQ(b.frames, 100);
    EXPECT_EQ(b.samplePos, 100.0 * k);
    EXPECT_NEAR(b.ppqPos, 100.0 * k / 48000.0 * 2.0, 1e-9);
    EXPECT_EQ(b.tempo, 120.0);
    EXPECT_EQ(b.barStartPos, std::floor(b.ppqPos / 4.0) * 4.0);
    EXPECT_EQ(b.timeSigNumerator, 4);
    EXPECT_EQ(b.timeSigDenominator, 4);
    const VstInt32 want = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    EXPECT_EQ(b.flags & want, want);
  }

  // The probe plays 0.5 and -2.0: a peak beyond full scale on the right.
  EXPECT_EQ(stats.peak[0], 0.5);
  EXPECT_EQ(stats.peak[1], 2.0);
  EXPECT_EQ(stats.samplesOverFullScale, 72000);
  EXPECT_NEAR(stats.Rms(), std::sqrt((0.25 + 4.0) / 2.0), 1e-12);
  EXPECT_NEAR(ToDbfs(stats.Peak()), 6.0206, 1e-4);
  EXPECT_EQ(audio[0], 0.5f);
  EXPECT_EQ(audio[1], -2.0f);

  host.Close();
  EXPECT_EQ(log->closed, 1);
}

TEST_F(HostRender, ProgramsAndParametersByName) {
  EXPECT_EQ(host.FindProgram("Second Probe"), 1);
  EXPECT_EQ(host.FindProgram("second probe"), 1);
  EXPECT_EQ(host.FindProgram("Third Probe"), -1);
  host.SetProgram(1);
  EXPECT_EQ(log->program, 1);
  EXPECT_EQ(host.CurrentProgram(), 1);
  EXPECT_EQ(host.FindParam("Level"), 0);
  EXPECT_EQ(host.FindParam("LEVEL"), 0);
  EXPECT_EQ(host.FindParam("Missing"), -1);
  EXPECT_TRUE(host.SetParamFromText(0, "0.25"));
  EXPECT_EQ(log->lastParamValue, 0.25f);
  EXPECT_FALSE(host.SetParamFromText(0, "bad"));
}

TEST_F(HostRender, FailuresAreReported) {
  host.Start(44100.0, 64);
  Song song;
  song.events.push_back(Event(0, 0x90, 60, 100));
  song.endTick = 480;
  RenderOptions options;
  options.blockSize = 64;
  RenderStats stats;
  std::string error;
  EXPECT_FALSE(RenderSong(host, song, options, [](const float*, int) { return false; }, nullptr, &stats, &error));
  EXPECT_NE(error.find("writing"), std::string::npos) << error;

  song.endTick = uint64_t(480) * 2 * 60 * 61;  // 61 minutes at 120 bpm
  error.clear();
  EXPECT_FALSE(RenderSong(host, song, options, [](const float*, int) { return true; }, nullptr, &stats, &error));
  EXPECT_NE(error.find("longer than"), std::string::npos) << error;

  VstHost other;
  EXPECT_FALSE(other.Load("/nonexistent/Quarvi.so", &error));
  EXPECT_NE(error.find("not found"), std::string::npos) << error;
  EXPECT_EQ(other.Effect(), nullptr);
}

}  // namespace

#endif  // QUARVI_PROBE_INSTRUMENT
