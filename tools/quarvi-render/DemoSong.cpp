#include "DemoSong.h"

#include <algorithm>

namespace {

constexpr int kTpq = 480;
constexpr int kBar = 4 * kTpq;

void AddNote(Song* song, int startTick, int lengthTicks, int key, int velocity) {
  SmfEvent on;
  on.tick = static_cast<uint64_t>(startTick);
  on.status = 0x90;
  on.data1 = static_cast<uint8_t>(key);
  on.data2 = static_cast<uint8_t>(velocity);
  SmfEvent off = on;
  off.tick = static_cast<uint64_t>(startTick + lengthTicks);
  off.status = 0x80;
  off.data2 = 64;
  song->events.push_back(on);
  song->events.push_back(off);
}

}  // namespace

Song DemoSong() {
  Song song;
  song.format = 0;
  song.trackCount = 1;
  song.ticksPerQuarter = kTpq;
  song.tempos.push_back({0, 60000000u / 144u});
  song.timeSigs.push_back({0, 4, 4});

  // Chords: one per bar, held a little short of the bar line.
  static const int kChords[5][5] = {
      {48, 55, 59, 64, 0},   // Cmaj7
      {45, 52, 55, 60, 0},   // Am7
      {41, 48, 52, 57, 0},   // Fmaj7
      {43, 50, 53, 59, 0},   // G7
      {36, 48, 55, 62, 64},  // Cadd9
  };
  for (int bar = 0; bar < 5; ++bar) {
    const int length = bar == 4 ? kBar + kTpq : kBar - kTpq / 8;
    for (int key : kChords[bar]) {
      if (key) AddNote(&song, bar * kBar, length, key, 68);
    }
  }

  // Melody: (key, length in eighths) per bar.
  struct Step {
    int key, eighths;
  };
  static const Step kMelody[5][6] = {
      {{67, 2}, {72, 2}, {76, 2}, {74, 1}, {72, 1}, {0, 0}},
      {{76, 4}, {79, 2}, {76, 2}, {0, 0}, {0, 0}, {0, 0}},
      {{77, 2}, {76, 2}, {72, 2}, {69, 2}, {0, 0}, {0, 0}},
      {{71, 2}, {74, 2}, {79, 4}, {0, 0}, {0, 0}, {0, 0}},
      {{76, 2}, {74, 2}, {72, 6}, {0, 0}, {0, 0}, {0, 0}},
  };
  for (int bar = 0; bar < 5; ++bar) {
    int tick = bar * kBar;
    for (const Step& s : kMelody[bar]) {
      if (!s.key) break;
      const int length = s.eighths * kTpq / 2;
      AddNote(&song, tick, length * 9 / 10, s.key, 96);
      tick += length;
    }
  }

  std::stable_sort(song.events.begin(), song.events.end(),
                   [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
  song.endTick = song.events.back().tick;
  return song;
}
