#pragma once
// Standard MIDI File reader (formats 0 and 1) and the tempo map that turns
// file ticks into seconds and quarter notes. Everything read from the file is
// bounds-checked; malformed input gives false and a one-line reason.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One MIDI event of the song: a channel message, or a system-exclusive
// message (status 0xF0, complete bytes in sysex starting with F0).
struct SmfEvent {
  uint64_t tick = 0;
  int track = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  std::vector<uint8_t> sysex;
};

struct SmfTempo {
  uint64_t tick = 0;
  uint32_t microsPerQuarter = 500000;  // 120 beats per minute
};

struct SmfTimeSig {
  uint64_t tick = 0;
  int numerator = 4;
  int denominator = 4;
};

struct Song {
  int format = 0;
  int trackCount = 0;
  // Metrical time: ticks per quarter note. Time-code files instead count
  // frames per second and ticks per frame.
  int ticksPerQuarter = 480;
  bool timecode = false;
  double framesPerSecond = 0.0;
  int ticksPerFrame = 0;

  std::vector<SmfEvent> events;    // every track merged, by tick (ties keep track then file order)
  std::vector<SmfTempo> tempos;    // by tick; none means 120 beats per minute throughout
  std::vector<SmfTimeSig> timeSigs;
  uint64_t endTick = 0;            // the last event or end-of-track mark
};

// Reads a whole file image. On failure *error holds one line (no file name).
bool ParseSmf(const uint8_t* data, size_t size, Song* song, std::string* error);

// Song time: seconds, quarter notes and tempo at any point of a song.
class TempoMap {
 public:
  explicit TempoMap(const Song& song);

  double SecondsAt(uint64_t tick) const;
  // Quarter notes since the start at a time in seconds (time-code files run
  // at a nominal 120 beats per minute).
  double QuartersAt(double seconds) const;
  double TempoAt(double seconds) const;  // beats per minute
  // Quarter-note position of the bar that contains the given position, and
  // the signature in force there. Signature changes are taken to fall on bar
  // lines.
  double BarStartAt(double quarters, int* numerator, int* denominator) const;

 private:
  struct Segment {
    uint64_t tick;
    double seconds;
    double quarters;
    double secondsPerTick;
  };
  struct SigSegment {
    double quarters;
    int numerator, denominator;
  };
  const Segment& SegmentAtTick(uint64_t tick) const;
  const Segment& SegmentAtSeconds(double seconds) const;

  bool mTimecode = false;
  double mTicksPerQuarter = 480.0;
  std::vector<Segment> mSegments;
  std::vector<SigSegment> mSigs;
};
