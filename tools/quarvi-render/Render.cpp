#include "Render.h"

#include <algorithm>
#include <cmath>
#include <vector>

double RenderStats::Rms() const {
  if (frames <= 0) return 0.0;
  return std::sqrt((sumSquares[0] + sumSquares[1]) / (2.0 * static_cast<double>(frames)));
}

double ToDbfs(double level) { return level > 0.0 ? 20.0 * std::log10(level) : -INFINITY; }

namespace {

struct TimedEvent {
  int64_t frame;
  const SmfEvent* event;
};

}  // namespace

bool RenderSong(VstHost& host, const Song& song, const RenderOptions& options, const BlockSink& sink,
                const ProgressSink& progress, RenderStats* stats, std::string* error) {
  *stats = RenderStats();
  const double sr = options.sampleRate;
  const int block = options.blockSize;
  const TempoMap map(song);

  std::vector<TimedEvent> timeline;
  timeline.reserve(song.events.size());
  for (const SmfEvent& e : song.events) {
    timeline.push_back({static_cast<int64_t>(std::llround(map.SecondsAt(e.tick) * sr)), &e});
  }
  const double songSeconds = map.SecondsAt(song.endTick);
  if (!(songSeconds <= options.maxSeconds)) {
    *error = "the song lasts longer than " + std::to_string(static_cast<int>(options.maxSeconds)) + " seconds";
    return false;
  }
  int64_t total = static_cast<int64_t>(std::ceil((songSeconds + options.tailSeconds) * sr));
  if (!timeline.empty()) total = std::max(total, timeline.back().frame + 1);
  if (total < 1) total = 1;

  AEffect* effect = host.Effect();
  const int outs = std::max(1, effect->numOutputs);
  std::vector<std::vector<float>> buffers(static_cast<size_t>(outs), std::vector<float>(block, 0.0f));
  std::vector<float*> pointers(outs);
  for (int c = 0; c < outs; ++c) pointers[c] = buffers[c].data();
  std::vector<float> interleaved(static_cast<size_t>(block) * 2);
  std::vector<HostMidiEvent> blockEvents;

  VstTimeInfo& t = host.Time();
  size_t next = 0;
  for (int64_t pos = 0; pos < total;) {
    const int n = static_cast<int>(std::min<int64_t>(block, total - pos));

    blockEvents.clear();
    while (next < timeline.size() && timeline[next].frame < pos + n) {
      const SmfEvent& e = *timeline[next].event;
      HostMidiEvent h;
      h.deltaFrames = static_cast<int32_t>(std::max<int64_t>(0, timeline[next].frame - pos));
      h.status = e.status;
      h.data1 = e.data1;
      h.data2 = e.data2;
      if (e.status == 0xF0) h.sysex = e.sysex;
      blockEvents.push_back(std::move(h));
      ++next;
    }

    const double seconds = static_cast<double>(pos) / sr;
    const double quarters = map.QuartersAt(seconds);
    int num = 4, den = 4;
    t.samplePos = static_cast<double>(pos);
    t.sampleRate = sr;
    t.nanoSeconds = seconds * 1e9;
    t.ppqPos = quarters;
    t.tempo = map.TempoAt(seconds);
    t.barStartPos = map.BarStartAt(quarters, &num, &den);
    t.timeSigNumerator = num;
    t.timeSigDenominator = den;
    t.flags = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
              kVstTimeSigValid;
    if (pos == 0) t.flags |= kVstTransportChanged;

    host.SendEvents(blockEvents);
    stats->eventsSent += static_cast<int64_t>(blockEvents.size());
    for (int c = 0; c < outs; ++c) std::fill(buffers[c].begin(), buffers[c].begin() + n, 0.0f);
    host.ProcessReplacing(pointers.data(), n);

    const float* l = buffers[0].data();
    const float* r = outs > 1 ? buffers[1].data() : l;  // a mono plug-in plays on both sides
    for (int i = 0; i < n; ++i) {
      const float s[2] = {l[i], r[i]};
      for (int c = 0; c < 2; ++c) {
        const double a = std::fabs(static_cast<double>(s[c]));
        if (a > stats->peak[c] || std::isnan(a)) stats->peak[c] = std::isnan(a) ? INFINITY : a;
        stats->sumSquares[c] += a * a;
        if (a > 1.0) ++stats->samplesOverFullScale;
        interleaved[2 * i + c] = s[c];
      }
    }
    stats->frames += n;
    if (!sink(interleaved.data(), n)) {
      *error = "writing the audio file failed";
      return false;
    }
    pos += n;
    if (progress) progress(static_cast<double>(pos) / static_cast<double>(total));
  }
  return true;
}
