// MIDI file reader and tempo map of quarvi-render.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "DemoSong.h"
#include "Smf.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes* b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}

Bytes Header(int format, int tracks, uint16_t division) {
  Bytes b = {'M', 'T', 'h', 'd'};
  Put32(&b, 6);
  b.push_back(0);
  b.push_back(static_cast<uint8_t>(format));
  b.push_back(0);
  b.push_back(static_cast<uint8_t>(tracks));
  b.push_back(static_cast<uint8_t>(division >> 8));
  b.push_back(static_cast<uint8_t>(division));
  return b;
}

void AddTrack(Bytes* file, const Bytes& body) {
  file->insert(file->end(), {'M', 'T', 'r', 'k'});
  Put32(file, static_cast<uint32_t>(body.size()));
  file->insert(file->end(), body.begin(), body.end());
}

bool Parse(const Bytes& b, Song* song, std::string* error) { return ParseSmf(b.data(), b.size(), song, error); }

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Smf, FormatZeroWithRunningStatus) {
  Bytes f = Header(0, 1, 480);
  AddTrack(&f, Cat({{0x00, 0x90, 60, 100},  // note on
                    {0x83, 0x60, 60, 0},     // 480 ticks later, running status: velocity 0
                    {0x00, 64, 90},          // running status again
                    {0x81, 0x70, 0xC3, 5},   // program change: one data byte
                    {0x10, 0xE0, 0x00, 0x40},
                    kEnd}));
  Song s;
  std::string err;
  ASSERT_TRUE(Parse(f, &s, &err)) << err;
  EXPECT_EQ(s.format, 0);
  EXPECT_EQ(s.trackCount, 1);
  EXPECT_EQ(s.ticksPerQuarter, 480);
  ASSERT_EQ(s.events.size(), 5u);
  EXPECT_EQ(s.events[0].tick, 0u);
  EXPECT_EQ(s.events[1].tick, 480u);
  EXPECT_EQ(s.events[1].status, 0x90);
  EXPECT_EQ(s.events[1].data2, 0);
  EXPECT_EQ(s.events[2].data1, 64);
  EXPECT_EQ(s.events[3].status, 0xC3);
  EXPECT_EQ(s.events[3].data1, 5);
  EXPECT_EQ(s.events[3].tick, 480u + 240u);
  EXPECT_EQ(s.events[4].data2, 0x40);
  EXPECT_EQ(s.endTick, 480u + 240u + 16u);
}

TEST(Smf, FormatOneMergesTracksAndFollowsTempoChanges) {
  Bytes f = Header(1, 2, 480);
  // Tempo track: 120 bpm, then 60 bpm from tick 960.
  AddTrack(&f, Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                    {0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40},
                    kEnd}));
  AddTrack(&f, Cat({{0x00, 0x91, 60, 100}, {0x8B, 0x20, 0x81, 60, 0}, kEnd}));  // off at 1440
  Song s;
  std::string err;
  ASSERT_TRUE(Parse(f, &s, &err)) << err;
  EXPECT_EQ(s.trackCount, 2);
  ASSERT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.events[0].track, 1);
  ASSERT_EQ(s.tempos.size(), 2u);

  TempoMap map(s);
  EXPECT_DOUBLE_EQ(map.SecondsAt(480), 0.5);
  EXPECT_DOUBLE_EQ(map.SecondsAt(960), 1.0);
  EXPECT_DOUBLE_EQ(map.SecondsAt(1440), 2.0);
  EXPECT_DOUBLE_EQ(map.QuartersAt(2.0), 3.0);
  EXPECT_DOUBLE_EQ(map.QuartersAt(0.25), 0.5);
  EXPECT_DOUBLE_EQ(map.TempoAt(0.5), 120.0);
  EXPECT_DOUBLE_EQ(map.TempoAt(1.5), 60.0);
}

TEST(Smf, EventsAtTheSameTickKeepTrackOrder) {
  Bytes f = Header(1, 2, 96);
  AddTrack(&f, Cat({{0x00, 0x90, 40, 1}, kEnd}));
  AddTrack(&f, Cat({{0x00, 0x90, 41, 1}, kEnd}));
  Song s;
  ASSERT_TRUE(Parse(f, &s, nullptr));
  ASSERT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.events[0].data1, 40);
  EXPECT_EQ(s.events[1].data1, 41);
}

TEST(Smf, SysexIsForwardedWholeAndEscapesAreNot) {
  Bytes f = Header(0, 1, 480);
  AddTrack(&f, Cat({{0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7},
                    {0x00, 0xF7, 0x02, 0x12, 0x34},
                    {0x00, 0xB0, 7, 100},
                    kEnd}));
  Song s;
  std::string err;
  ASSERT_TRUE(Parse(f, &s, &err)) << err;
  ASSERT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.events[0].status, 0xF0);
  EXPECT_EQ(s.events[0].sysex, (Bytes{0xF0, 0x7E, 0x01, 0xF7}));
  EXPECT_EQ(s.events[1].status, 0xB0);
}

TEST(Smf, TimeCodeDivision) {
  Bytes f = Header(0, 1, 0xE728);  // 25 frames per second, 40 ticks per frame
  AddTrack(&f, Cat({{0x00, 0x90, 60, 100}, {0x87, 0x68, 0x80, 60, 0}, kEnd}));  // 1000 ticks
  Song s;
  ASSERT_TRUE(Parse(f, &s, nullptr));
  EXPECT_TRUE(s.timecode);
  TempoMap map(s);
  EXPECT_DOUBLE_EQ(map.SecondsAt(1000), 1.0);
  EXPECT_DOUBLE_EQ(map.TempoAt(3.0), 120.0);
}

TEST(Smf, BarStartsFollowTimeSignatures) {
  Bytes f = Header(0, 1, 480);
  // 3/4 from the start, 4/4 from quarter 6 (tick 2880).
  AddTrack(&f, Cat({{0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8},
                    {0x96, 0x40, 0xFF, 0x58, 0x04, 4, 2, 24, 8},
                    kEnd}));
  Song s;
  ASSERT_TRUE(Parse(f, &s, nullptr));
  TempoMap map(s);
  int num = 0, den = 0;
  EXPECT_DOUBLE_EQ(map.BarStartAt(2.5, &num, &den), 0.0);
  EXPECT_EQ(num, 3);
  EXPECT_DOUBLE_EQ(map.BarStartAt(5.0, &num, &den), 3.0);
  EXPECT_DOUBLE_EQ(map.BarStartAt(11.0, &num, &den), 10.0);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(den, 4);
}

TEST(Smf, MalformedFilesAreRefusedWithAReason) {
  std::string err;
  Song s;
  const std::map<std::string, Bytes> cases = {
      {"MThd", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0}},
      {"format 2", Header(2, 1, 480)},
      {"zero ticks", Header(0, 1, 0)},
      {"time-code", Header(0, 1, 0xEA28)},  // 22 frames per second
      {"no tracks", Header(0, 1, 480)},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Parse(c.second, &s, &err)) << c.first;
    EXPECT_NE(err.find(c.first), std::string::npos) << c.first << ": " << err;
  }

  auto track = [](const Bytes& body) {
    Bytes f = Header(0, 1, 480);
    AddTrack(&f, body);
    return f;
  };
  EXPECT_FALSE(Parse(track({0x00, 60, 100}), &s, &err));
  EXPECT_NE(err.find("without a status"), std::string::npos) << err;
  // Running status does not survive a meta event.
  EXPECT_FALSE(Parse(track(Cat({{0x00, 0x90, 60, 1}, {0x00, 0xFF, 0x01, 0x00}, {0x00, 61, 1}})), &s, &err));
  EXPECT_FALSE(Parse(track({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}), &s, &err));  // five-byte delta
  EXPECT_NE(err.find("delta"), std::string::npos) << err;
  EXPECT_FALSE(Parse(track({0x00, 0x90, 60, 0xF5}), &s, &err));
  EXPECT_FALSE(Parse(track({0x00, 0xF3, 0x01}), &s, &err));
  EXPECT_NE(err.find("0xF3"), std::string::npos) << err;
  EXPECT_FALSE(Parse(track({0x00, 0xFF, 0x51, 0x7F, 0x00}), &s, &err));
  EXPECT_NE(err.find("past the end"), std::string::npos) << err;
  EXPECT_FALSE(Parse(track({0x00, 0xF0, 0x10, 0x01}), &s, &err));
  EXPECT_FALSE(Parse(track({0x00, 0x90, 60}), &s, &err));
  // A track whose length field overshoots the file.
  Bytes f = track(Cat({{0x00, 0x90, 60, 1}, kEnd}));
  f[21] += 10;
  EXPECT_FALSE(Parse(f, &s, &err));
  EXPECT_NE(err.find("runs past the end of the file"), std::string::npos) << err;
}

TEST(Smf, OddButReadableFiles) {
  Song s;
  std::string err;
  // Unknown chunks are skipped, trailing bytes ignored, a missing end mark
  // and bytes after the end mark are fine.
  Bytes f = Header(1, 3, 480);
  f.insert(f.end(), {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2});
  AddTrack(&f, {0x00, 0x90, 60, 1, 0x10, 0x80, 60, 0});
  AddTrack(&f, Cat({kEnd, {0x00, 0x90, 1, 2}}));
  f.insert(f.end(), {0x00, 0x01, 0x02});
  ASSERT_TRUE(Parse(f, &s, &err)) << err;
  EXPECT_EQ(s.trackCount, 2);
  EXPECT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.endTick, 16u);
}

TEST(Smf, EveryTruncationIsHandled) {
  Bytes f = Header(1, 2, 480);
  AddTrack(&f, Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8}, kEnd}));
  AddTrack(&f, Cat({{0x00, 0xC0, 3, 0x00, 0x90, 60, 100, 0x60, 62, 90},
                    {0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7},
                    {0x83, 0x60, 0x80, 60, 0, 0x00, 62, 0},
                    kEnd}));
  Song s;
  ASSERT_TRUE(Parse(f, &s, nullptr));
  for (size_t n = 0; n < f.size(); ++n) {
    Bytes cut(f.begin(), f.begin() + static_cast<long>(n));
    std::string err;
    if (!Parse(cut, &s, &err)) EXPECT_FALSE(err.empty());
  }
  // Random damage inside the tracks never reads outside the data.
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    Bytes damaged = f;
    const int hits = 1 + static_cast<int>(rng() % 4);
    for (int h = 0; h < hits; ++h) damaged[14 + rng() % (damaged.size() - 14)] = static_cast<uint8_t>(rng());
    std::string err;
    Parse(damaged, &s, &err);
  }
}

TEST(DemoSong, NotesArePairedAndTheSongIsShort) {
  const Song song = DemoSong();
  ASSERT_FALSE(song.events.empty());
  std::map<int, int> held;
  uint64_t last = 0;
  for (const SmfEvent& e : song.events) {
    EXPECT_GE(e.tick, last);
    last = e.tick;
    ASSERT_LT(e.data1, 128);
    ASSERT_LT(e.data2, 128);
    if ((e.status & 0xF0) == 0x90 && e.data2 > 0) ++held[e.data1];
    if ((e.status & 0xF0) == 0x80) --held[e.data1];
  }
  for (const auto& k : held) EXPECT_EQ(k.second, 0) << "key " << k.first;
  const TempoMap map(song);
  const double seconds = map.SecondsAt(song.endTick);
  EXPECT_GT(seconds, 4.0);
  EXPECT_LT(seconds, 12.0);
  EXPECT_NEAR(map.TempoAt(1.0), 144.0, 1e-3);  // whole microseconds per quarter
}

}  // namespace
