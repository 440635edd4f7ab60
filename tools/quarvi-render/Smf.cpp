#include "Smf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

std::string Hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof(buf), "0x%02X", v & 0xFFu);
  return buf;
}

// Reads one track chunk's bytes [p, end).
class TrackReader {
 public:
  TrackReader(const uint8_t* begin, const uint8_t* end, int track, size_t fileOffset)
      : mBegin(begin), mP(begin), mEnd(end), mTrack(track), mFileOffset(fileOffset) {}

  bool Read(Song* song, std::string* error) {
    uint64_t tick = 0;
    uint8_t running = 0;
    while (mP < mEnd) {
      uint32_t delta = 0;
      if (!ReadVarLen(&delta)) return Fail(error, "bad delta time");
      tick += delta;

      if (mP >= mEnd) return Fail(error, "event missing after delta time");
      uint8_t status = *mP;
      if (status & 0x80) {
        ++mP;
      } else if (running) {
        status = running;  // running status: this byte is the first data byte
      } else {
        return Fail(error, "data byte " + Hex(status) + " without a status byte");
      }

      if (status == 0xFF) {  // meta event
        running = 0;
        if (mP >= mEnd) return Fail(error, "meta event without a type");
        const uint8_t type = *mP++;
        uint32_t len = 0;
        if (!ReadVarLen(&len)) return Fail(error, "bad meta event length");
        if (len > static_cast<size_t>(mEnd - mP)) return Fail(error, "meta event runs past the end of the track");
        const uint8_t* d = mP;
        mP += len;
        if (type == 0x2F) {  // end of track: anything after it is ignored
          song->endTick = std::max(song->endTick, tick);
          return true;
        }
        if (type == 0x51 && len == 3) {
          const uint32_t us = (uint32_t(d[0]) << 16) | (uint32_t(d[1]) << 8) | d[2];
          if (us > 0) song->tempos.push_back({tick, us});
        } else if (type == 0x58 && len >= 2 && d[0] > 0 && d[1] <= 6) {
          song->timeSigs.push_back({tick, d[0], 1 << d[1]});
        }
        continue;
      }

      if (status == 0xF0 || status == 0xF7) {  // system exclusive (F7: escaped bytes, not forwarded)
        running = 0;
        uint32_t len = 0;
        if (!ReadVarLen(&len)) return Fail(error, "bad system-exclusive length");
        if (len > static_cast<size_t>(mEnd - mP)) {
          return Fail(error, "system-exclusive message runs past the end of the track");
        }
        if (status == 0xF0) {
          SmfEvent ev;
          ev.tick = tick;
          ev.track = mTrack;
          ev.status = 0xF0;
          ev.sysex.reserve(len + 1);
          ev.sysex.push_back(0xF0);
          ev.sysex.insert(ev.sysex.end(), mP, mP + len);
          song->events.push_back(std::move(ev));
        }
        mP += len;
        song->endTick = std::max(song->endTick, tick);
        continue;
      }

      if (status >= 0xF0) return Fail(error, "unexpected status byte " + Hex(status));

      running = status;
      const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
      if (static_cast<size_t>(mEnd - mP) < static_cast<size_t>(dataBytes)) {
        return Fail(error, "channel message runs past the end of the track");
      }
      SmfEvent ev;
      ev.tick = tick;
      ev.track = mTrack;
      ev.status = status;
      ev.data1 = *mP++;
      if (dataBytes == 2) ev.data2 = *mP++;
      if ((ev.data1 | ev.data2) & 0x80) return Fail(error, "data byte out of range in " + Hex(status) + " message");
      song->events.push_back(std::move(ev));
      song->endTick = std::max(song->endTick, tick);
    }
    // A track without an end-of-track mark is accepted as it is.
    song->endTick = std::max(song->endTick, tick);
    return true;
  }

 private:
  // Variable-length quantity: at most four bytes, seven bits each.
  bool ReadVarLen(uint32_t* out) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      if (mP >= mEnd) return false;
      const uint8_t b = *mP++;
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) {
        *out = v;
        return true;
      }
    }
    return false;
  }

  bool Fail(std::string* error, const std::string& what) {
    if (error) {
      *error = what + " in track " + std::to_string(mTrack + 1) + " (byte " +
               std::to_string(mFileOffset + static_cast<size_t>(mP - mBegin)) + ")";
    }
    return false;
  }

  const uint8_t* mBegin;
  const uint8_t* mP;
  const uint8_t* mEnd;
  int mTrack;
  size_t mFileOffset;
};

}  // namespace

bool ParseSmf(const uint8_t* data, size_t size, Song* song, std::string* error) {
  std::string localError;
  if (!error) error = &localError;
  *song = Song();
  if (!data || size < 14 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd') {
    *error = "not a Standard MIDI File (no MThd header)";
    return false;
  }
  const uint32_t headerLen = Be32(data + 4);
  if (headerLen < 6 || headerLen > size - 8) {
    *error = "damaged MIDI file header";
    return false;
  }
  const int format = Be16(data + 8);
  const uint16_t division = Be16(data + 12);
  if (format > 1) {
    *error = format == 2 ? "MIDI file format 2 (independent sequences) is not supported"
                         : "unknown MIDI file format " + std::to_string(format);
    return false;
  }
  song->format = format;
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const int tpf = division & 0xFF;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || tpf == 0) {
      *error = "bad time-code division in MIDI file header";
      return false;
    }
    song->timecode = true;
    song->framesPerSecond = fps == 29 ? 30000.0 / 1001.0 : fps;
    song->ticksPerFrame = tpf;
  } else {
    if (division == 0) {
      *error = "zero ticks per quarter note in MIDI file header";
      return false;
    }
    song->ticksPerQuarter = division;
  }

  size_t pos = 8 + static_cast<size_t>(headerLen);
  int track = 0;
  while (size - pos >= 8) {
    const uint8_t* chunk = data + pos;
    const uint32_t len = Be32(chunk + 4);
    const bool isTrack = chunk[0] == 'M' && chunk[1] == 'T' && chunk[2] == 'r' && chunk[3] == 'k';
    if (len > size - pos - 8) {
      if (isTrack) {
        *error = "track " + std::to_string(track + 1) + " runs past the end of the file";
        return false;
      }
      break;  // trailing bytes that are no chunk
    }
    if (isTrack) {
      TrackReader reader(chunk + 8, chunk + 8 + len, track, pos + 8);
      if (!reader.Read(song, error)) return false;
      ++track;
    }
    pos += 8 + static_cast<size_t>(len);
  }
  if (track == 0) {
    *error = "MIDI file has no tracks";
    return false;
  }
  song->trackCount = track;

  // Tracks were read one after the other; merge them by time. Stable, so
  // events at the same tick keep their track and file order.
  std::stable_sort(song->events.begin(), song->events.end(),
                   [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
  std::stable_sort(song->tempos.begin(), song->tempos.end(),
                   [](const SmfTempo& a, const SmfTempo& b) { return a.tick < b.tick; });
  std::stable_sort(song->timeSigs.begin(), song->timeSigs.end(),
                   [](const SmfTimeSig& a, const SmfTimeSig& b) { return a.tick < b.tick; });
  return true;
}

// ---- tempo map ------------------------------------------------------------------

TempoMap::TempoMap(const Song& song) : mTimecode(song.timecode), mTicksPerQuarter(song.ticksPerQuarter) {
  if (mTimecode) {
    const double spt = 1.0 / (song.framesPerSecond * song.ticksPerFrame);
    mSegments.push_back({0, 0.0, 0.0, spt});
  } else {
    double spt = 0.5 / mTicksPerQuarter;  // 120 beats per minute until the first change
    mSegments.push_back({0, 0.0, 0.0, spt});
    for (const SmfTempo& t : song.tempos) {
      const Segment& last = mSegments.back();
      const double seconds = last.seconds + static_cast<double>(t.tick - last.tick) * last.secondsPerTick;
      const double quarters = static_cast<double>(t.tick) / mTicksPerQuarter;
      spt = t.microsPerQuarter * 1e-6 / mTicksPerQuarter;
      if (t.tick == last.tick) {
        mSegments.back().secondsPerTick = spt;  // a later change at the same tick wins
      } else {
        mSegments.push_back({t.tick, seconds, quarters, spt});
      }
    }
  }
  mSigs.push_back({0.0, 4, 4});
  for (const SmfTimeSig& s : song.timeSigs) {
    const double q = mTimecode ? SecondsAt(s.tick) * 2.0 : static_cast<double>(s.tick) / mTicksPerQuarter;
    if (q == mSigs.back().quarters) {
      mSigs.back().numerator = s.numerator;
      mSigs.back().denominator = s.denominator;
    } else {
      mSigs.push_back({q, s.numerator, s.denominator});
    }
  }
}

const TempoMap::Segment& TempoMap::SegmentAtTick(uint64_t tick) const {
  auto it = std::upper_bound(mSegments.begin(), mSegments.end(), tick,
                             [](uint64_t t, const Segment& s) { return t < s.tick; });
  return *(it - 1);
}

const TempoMap::Segment& TempoMap::SegmentAtSeconds(double seconds) const {
  auto it = std::upper_bound(mSegments.begin(), mSegments.end(), seconds,
                             [](double t, const Segment& s) { return t < s.seconds; });
  return it == mSegments.begin() ? mSegments.front() : *(it - 1);
}

double TempoMap::SecondsAt(uint64_t tick) const {
  const Segment& s = SegmentAtTick(tick);
  return s.seconds + static_cast<double>(tick - s.tick) * s.secondsPerTick;
}

double TempoMap::QuartersAt(double seconds) const {
  if (seconds < 0.0) seconds = 0.0;
  if (mTimecode) return seconds * 2.0;
  const Segment& s = SegmentAtSeconds(seconds);
  return s.quarters + (seconds - s.seconds) / s.secondsPerTick / mTicksPerQuarter;
}

double TempoMap::TempoAt(double seconds) const {
  if (mTimecode) return 120.0;
  const Segment& s = SegmentAtSeconds(seconds);
  return 60.0 / (s.secondsPerTick * mTicksPerQuarter);
}

double TempoMap::BarStartAt(double quarters, int* numerator, int* denominator) const {
  auto it = std::upper_bound(mSigs.begin(), mSigs.end(), quarters,
                             [](double q, const SigSegment& s) { return q < s.quarters; });
  const SigSegment& s = it == mSigs.begin() ? mSigs.front() : *(it - 1);
  if (numerator) *numerator = s.numerator;
  if (denominator) *denominator = s.denominator;
  const double barLength = s.numerator * 4.0 / s.denominator;
  const double into = quarters - s.quarters;
  if (into <= 0.0) return s.quarters;
  return s.quarters + std::floor(into / barLength) * barLength;
}
