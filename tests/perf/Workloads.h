#pragma once
// The benchmark workloads: a voice scene rendered the way the instrument's
// render frame drives its voices (host blocks cut into control blocks, a
// control update of every voice at each boundary, then the voices rendered
// into the stereo sum). Used by the benchmarks (bench/) and by the test that
// holds the engine to the straightforward reference (tests/perf/).
//   (a) one voice, "Fixed"   (b) 64 voices, "Fixed"
//   (c) 64 voices, "Partial" (d) 64 voices, "Ring"
// Every voice sounds both oscillators with all three formants of one type.
#include <algorithm>

#include "EngineShared.h"
#include "FloatMode.h"
#include "ReferenceEngine.h"
#include "Voice.h"

namespace workload {

constexpr double kSampleRate = 48000.0;
constexpr int kHostBlock = 64;

enum class Engine { kOptimized, kReference };

struct Scene {
  EngineShared shared;
  Voice voices[64];
  int count = 0;
  int samplesLeftInBlock = 0;
  double left[kHostBlock] = {}, right[kHostBlock] = {};

  // count voices, both oscillators with all three formants of one type.
  Scene(int voiceCount, int formantType) : count(voiceCount) {
    shared.controlBlockLength = static_cast<int>(kSampleRate) / 1000;
    for (int i = 0; i < count; ++i) {
      Voice& v = voices[i];
      v.Attach(&shared);
      v.SetSampleRate(kSampleRate);
      for (int o = 0; o < 2; ++o) {
        Oscillator& osc = v.osc[o];
        osc.pitchOffset = o * 128 * 7 + 5;
        osc.fm1Source = v.SourceFor(kSrcLfo1);
        osc.fm1Amount = 20.0;
        for (int j = 0; j < 3; ++j) {
          Formant& f = osc.formant[j];
          f.enabled = true;
          f.type = formantType;
          f.bandwidth = 0.2 + 0.2 * j;
          f.fixedPitch = 9000 + 1500 * j;  // about 700 Hz, 1.7 kHz, 4.1 kHz
          f.partial = 1.0 + 2.5 * j + 0.37 * o;
          f.volume = 0.3;
          f.send = 0.5;
          f.fm1Source = v.SourceFor(kSrcLfo2);
          f.fm1Pitch = 200.0;
          f.fm1Ratio = 0.05;
          f.amSource = v.SourceFor(kSrcLfo3Plus);
          f.amAmount = 0.3;
        }
      }
      for (int b = 0; b < 2; ++b) {
        v.bus[b].level = 1.0;
        v.bus[b].pan = b ? 0.7 : 0.3;
      }
      for (int l = 0; l < 3; ++l) {
        v.lfo[l].SetRate(0.4 + 0.1 * l);
        v.lfo[l].wave = l;
      }
      v.env[0].SetAttack(0.1);
      v.env[0].SetDecay(0.5);
      v.env[0].SetSustain(0.8);
      v.env[1].SetSustain(1.0);
      v.env[2].SetSustain(1.0);
      v.NoteOn(36 + i % 48, 100, i + 1, (36 + i % 48) * 128);
    }
  }

  // One host block, as the render frame cuts it.
  void RenderHostBlock(Engine engine = Engine::kOptimized) {
    ScopedFlushDenormals flush;
    const int B = shared.controlBlockLength;
    std::fill(left, left + kHostBlock, 0.0);
    std::fill(right, right + kHostBlock, 0.0);
    int pos = 0, remaining = kHostBlock;
    while (remaining > 0) {
      int n;
      if (samplesLeftInBlock <= 0) {
        for (int v = 0; v < count; ++v) {
          if (engine == Engine::kOptimized)
            voices[v].ControlUpdate();
          else
            ReferenceEngine::VoiceControlUpdate(voices[v]);
        }
        n = B;
        if (remaining < B) {
          samplesLeftInBlock = B - remaining;
          n = remaining;
        }
      } else if (samplesLeftInBlock < remaining) {
        n = samplesLeftInBlock;
        samplesLeftInBlock = 0;
      } else {
        n = remaining;
        samplesLeftInBlock -= remaining;
      }
      if (engine == Engine::kOptimized)
        shared.tempoClock.Step(n);
      else
        ReferenceEngine::TempoClockStep(shared.tempoClock, n);
      if (engine == Engine::kOptimized) {
        RenderVoices(voices, count, left + pos, right + pos, n);
      } else {
        for (int v = 0; v < count; ++v) ReferenceEngine::VoiceRender(voices[v], left + pos, right + pos, n);
      }
      pos += n;
      remaining -= n;
    }
  }

  int FormantsSounding() const { return count * 6; }
};

}  // namespace workload
