// Quarvi::ParamChanged: every parameter change becomes engine fields here.
//
// The render never reads a parameter object. A change is pushed through two
// steps: an instrument-level action (fields of the instrument itself, value
// transforms such as 15873 x for a formant pitch), then a voice-level action
// that every one of the 64 voices runs with the transformed value, sounding
// or not, so that an idle voice is always ready when a note claims it.
//
// The tables below are the whole mapping. Parameters that repeat per
// oscillator, formant, bus, LFO or envelope are written once per block layout
// and the block number is handed to the actions.

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>

#include "Formatters.h"
#include "ParamDispatch.h"
#include "ParamTable.h"
#include "Quarvi.h"
#include "VoiceModes.h"

namespace {

// Integer engine fields take the value truncated toward zero. Stored values
// are already clamped to their ranges; the bound only keeps a stray value
// (NaN, 1e300) from being converted, which C++ leaves undefined.
int Int(double x) { return TruncClamped(x, -1000000, 1000000); }
bool On(double x) { return x >= 0.5; }

std::atomic<bool> gStraightforward{false};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Rows whose voice action depends on more than the value (envelope delays
// shorten a running delay, LFO sync and rate rescale the running cycle) are
// never held back in a bank load. Pushing the same value again changes
// nothing for any row but an LFO at 0 Hz, whose counter it resets.
bool IsLfoTiming(int index) {
  return index >= ParamIndex::kLfoSync1 && index < ParamIndex::kLfoSync1 + 3 * ParamIndex::kLfoStride &&
         ((index - ParamIndex::kLfoSync1) % ParamIndex::kLfoStride == 0 ||
          (index - ParamIndex::kLfoRate1) % ParamIndex::kLfoStride == 0);
}
bool IsEnvelopeDelay(int index) { return index == ParamIndex::kEnvDelay2 || index == ParamIndex::kEnvDelay3; }

}  // namespace

void SetStraightforwardDispatch(bool on) { gStraightforward.store(on, std::memory_order_relaxed); }
bool StraightforwardDispatch() { return gStraightforward.load(std::memory_order_relaxed); }

struct ParamDispatch {
  // One change on its way through the tables.
  struct Change {
    Quarvi& q;
    int index;
    int block;  // 0-based oscillator, formant, bus, LFO or envelope of the row
    double x;   // plain value; the instrument action may replace it by x'
  };

  // Returns false when the change ends at instrument level.
  using InstrumentAction = bool (*)(Change&);
  using VoiceAction = void (*)(Voice&, int block, double x);

  struct Row {
    const char* name;  // of the first block, for reading against the parameter table
    InstrumentAction instrument;
    VoiceAction voice;
  };

  // A run of rows repeated count times, stride indices apart.
  struct Layout {
    int first;
    int count;
    const Row* rows;
    int rowCount;
  };

  // A control whose text changed with another parameter's value is pushed its
  // own value again, so that the editor draws the new text.
  static void RedrawControl(Quarvi& q, int index) {
    if (q.GetGUI()) q.EditorSetControlsFromParam(index, q.GetParam(index)->value, false);
  }

  // ---- instrument-level actions ---------------------------------------------

  static bool Nothing(Change&) { return true; }

  // Scalings on the way to the voices.
  static bool FmDepth(Change& c) { c.x *= 7681.0; return true; }      // +-1 = +-60 semitones
  static bool SendShare(Change& c) { c.x = 1.0 - c.x; return true; }  // share sent to bus 2

  static bool Voices(Change& c) {
    Quarvi& q = c.q;
    if (std::isnan(c.x)) return false;
    const int k = TruncClamped(c.x, -1, VoiceModes::kModeCount);
    if (k < 0 || k >= VoiceModes::kModeCount || k == q.mPool.voiceMode) return false;
    // Within a bank load nothing plays and nothing that releasing reads
    // changes between two of these: a second one would change nothing.
    DispatchMemory& d = q.mDispatch;
    if (!(d.bulkDepth > 0 && d.notesOffInBulk && !StraightforwardDispatch())) q.AllNotesOff();
    if (d.bulkDepth > 0) d.notesOffInBulk = true;
    q.mPool.voiceMode = k;
    q.mPool.ApplyVoiceMode();
    q.UpdateOutputGain();
    // Voice fields depend on the layout only through the voices in use, but
    // every parameter is pushed again so that all 64 voices are consistent.
    q.OnParamReset();
    return false;
  }

  static bool Volume(Change& c) {
    c.q.mVolume = 2.0 * c.x;  // the default 0.5 is unity gain
    c.q.UpdateOutputGain();
    return false;
  }

  static bool SoftClip(Change& c) {
    c.q.mSoftClip = On(c.x);
    return false;
  }

  static bool Unison(Change& c) {
    Quarvi& q = c.q;
    const bool on = On(c.x);
    q.mPool.unisonOn = on;
    q.mPool.ApplyVoiceMode();
    q.UpdateOutputGain();
    q.GetParam(ParamIndex::kVoices)->formatter = on ? FormatUnison : FormatVoices;
    // The voice display's value ("Voices") stays the same, but its digits
    // now show (or drop) the unison count.
    q.RedrawVoiceDisplay();
    return false;
  }

  static bool UnisonLfoPhase(Change& c) {
    // 0..360 degrees is 0..2, two being one whole LFO cycle.
    c.q.mPool.SetUnisonPhaseSpread(2.0 * c.q.GetParam(c.index)->ToNormalized(c.x));
    return false;
  }

  // The editor shows the formant settings; its idle hook redraws on this flag.
  static bool Dirty(Change& c) {
    c.q.mDisplayDirty.store(true, std::memory_order_relaxed);
    return true;
  }

  static bool FormantType(Change& c) {
    c.q.mDisplayFormantType[c.block].store(Int(c.x), std::memory_order_relaxed);
    return Dirty(c);
  }

  static bool FormantPitch(Change& c) {
    c.x *= 15873.0;  // position 0..1 to pitch steps
    return Dirty(c);
  }

  static bool LfoSync(Change& c) {
    const bool on = On(c.x);
    c.q.mLfoSync[c.block] = on;
    const int rate = ParamIndex::kLfoRate1 + ParamIndex::kLfoStride * c.block;
    // Only a display that changed needs its control redrawn (a bank load
    // passes here for every program).
    IPlugParam* p = c.q.GetParam(rate);
    const ParamFormatter display = on ? FormatLfoSync : nullptr;
    if (p->formatter != display) {
      p->formatter = display;
      RedrawControl(c.q, rate);
    }
    return true;
  }

  static bool LfoRate(Change& c) {
    c.x = c.q.GetParam(c.index)->ToNormalized(c.x);  // (Hz / 100)^(1/4)
    return true;
  }

  // ---- the tables -----------------------------------------------------------

  static const Row kGlobal[6];
  static const Row kOscillator[6];
  static const Row kFormant[15];
  static const Row kBus[8];
  static const Row kLfo[6];
  static const Row kEnvelope1[4];
  static const Row kEnvelope23[5];
  static const Row kAddedLast[5];
  static const Layout kLayouts[8];

  struct Entry {
    const Row* row = nullptr;
    int block = 0;
  };
  struct Map {
    Entry entries[kParamTableSize];
    Map() {
      for (const Layout& l : kLayouts) {
        for (int b = 0; b < l.count; ++b) {
          for (int r = 0; r < l.rowCount; ++r) {
            const int index = l.first + b * l.rowCount + r;
            entries[index].row = &l.rows[r];
            entries[index].block = l.first == 101 ? b + 1 : b;  // envelopes 2 and 3
          }
        }
      }
    }
  };

  static const Map& TheMap() {
    static const Map map;
    return map;
  }

  static void Changed(Quarvi& q, int index) {
    {
      std::lock_guard<std::recursive_mutex> g(q.Mutex());
      if (q.mConfig.learnActive) q.CaptureParameter(index);
    }
    const IPlugParam* p = q.GetParam(index);
    if (!p || index >= kParamTableSize) return;
    const Entry& e = TheMap().entries[index];
    Change c{q, index, e.block, p->value};
    if (!e.row->instrument(c) || !e.row->voice) return;
    DispatchMemory& d = q.mDispatch;
    if (!StraightforwardDispatch()) {
      // The voices hold this value already: pushing it again changes nothing
      // (the instrument-level action above still ran).
      if (d.known[index] && SameBits(d.pushed[index], p->value) && !(IsLfoTiming(index) && AtZeroHertz(q, e.block))) {
        d.hasPending[index] = false;
        return;
      }
      // In a bank load only the last program's value reaches the voices.
      if (d.bulkDepth > 0 && !IsLfoTiming(index) && !IsEnvelopeDelay(index)) {
        d.pending[index] = c.x;
        d.pendingPlain[index] = p->value;
        d.hasPending[index] = true;
        return;
      }
    }
    Push(q, index, c.x, p->value);
  }

  static void Push(Quarvi& q, int index, double x, double plain) {
    DispatchMemory& d = q.mDispatch;
    const Entry& e = TheMap().entries[index];
    for (Voice& v : q.mPool.voices) e.row->voice(v, e.block, x);
    d.pushed[index] = plain;
    d.known[index] = true;
    d.hasPending[index] = false;
    if (!IsLfoTiming(index)) d.notesOffInBulk = false;
  }

  // The LFO of this block holds a rate of 0 Hz (or its rate was never pushed).
  static bool AtZeroHertz(Quarvi& q, int lfo) {
    const int rate = ParamIndex::kLfoRate1 + ParamIndex::kLfoStride * lfo;
    const DispatchMemory& d = q.mDispatch;
    return !d.known[rate] || !(d.pushed[rate] > 0);
  }

  // A bank load holds back value changes until its end: each program's
  // values are overwritten by the next one's before anything reads them.
  // Rows held back never depend on the voices' running state, except the
  // envelope stage values, whose running stage reads them only when notes or
  // the render move it on; neither happens under the lock of a bank load.
  static void BeginBulk(Quarvi& q) { ++q.mDispatch.bulkDepth; }
  static void EndBulk(Quarvi& q) {
    DispatchMemory& d = q.mDispatch;
    if (--d.bulkDepth > 0) return;
    d.notesOffInBulk = false;
    for (int i = 0; i < kParamTableSize; ++i)
      if (d.hasPending[i]) Push(q, i, d.pending[i], d.pendingPlain[i]);
  }
};

using D = ParamDispatch;
using Row = ParamDispatch::Row;

// Indices 0..5.
const Row D::kGlobal[6] = {
    {"Voices", D::Voices, nullptr},
    {"Free Run", D::Nothing, [](Voice& v, int, double x) { v.freeRun = On(x); }},
    {"Portamnt", D::Nothing, [](Voice& v, int, double x) { v.portamentoTime = x; }},  // seconds
    {"PB Range", D::Nothing,
     [](Voice& v, int, double x) {
       for (Oscillator& o : v.osc) o.pitchBendRange = Int(x) * 128.0;
     }},
    {"Volume", D::Volume, nullptr},
    {"SoftClip", D::SoftClip, nullptr},
};

// Oscillator 1 at 6..11, oscillator 2 at 12..17; only that oscillator is set.
const Row D::kOscillator[6] = {
    {"Pitch 1", D::Nothing,
     [](Voice& v, int b, double x) {
       Oscillator& o = v.osc[b];
       o.pitchSemitones = Int(x);
       o.pitchOffset = o.pitchSemitones * 128.0 + o.tuneSteps;
     }},
    {"Tune 1", D::Nothing,
     [](Voice& v, int b, double x) {
       Oscillator& o = v.osc[b];
       o.tuneSteps = Int(x);
       o.pitchOffset = o.pitchSemitones * 128.0 + o.tuneSteps;
     }},
    {"FM1Amt 1", D::FmDepth, [](Voice& v, int b, double x) { v.osc[b].fm1Amount = x; }},
    {"FM1Src 1", D::Nothing, [](Voice& v, int b, double x) { v.osc[b].fm1Source = v.SourceFor(Int(x)); }},
    {"FM2Amt 1", D::FmDepth, [](Voice& v, int b, double x) { v.osc[b].fm2Amount = x; }},
    {"FM2Src 1", D::Nothing, [](Voice& v, int b, double x) { v.osc[b].fm2Source = v.SourceFor(Int(x)); }},
};

// F1 at 18..32, F2 at 33..47, F3 at 48..62. Unless a row names one
// oscillator, formant Fj of both oscillators is set.
#define BOTH(field, value)                                                                   \
  [](Voice& v, int j, double x) {                                                            \
    for (Oscillator& o : v.osc) o.formant[j].field = value;                                  \
  }
const Row D::kFormant[15] = {
    {"Type F1", D::FormantType, BOTH(type, Int(x))},
    {"Bw F1", D::Dirty, BOTH(bandwidth, x)},
    {"Freq F1", D::FormantPitch, BOTH(fixedPitch, x)},
    {"Part F1", D::Dirty, BOTH(partial, x)},
    {"Vol F1", D::Nothing, BOTH(volume, x)},
    {"Osc1 F1", D::Dirty, [](Voice& v, int j, double x) { v.osc[0].formant[j].enabled = On(x); }},
    {"Send1 F1", D::SendShare, [](Voice& v, int j, double x) { v.osc[0].formant[j].send = x; }},
    {"Osc2 F1", D::Dirty, [](Voice& v, int j, double x) { v.osc[1].formant[j].enabled = On(x); }},
    {"Send2 F1", D::SendShare, [](Voice& v, int j, double x) { v.osc[1].formant[j].send = x; }},
    {"FM1Am F1", D::Nothing,
     [](Voice& v, int j, double x) {
       for (Oscillator& o : v.osc) {
         o.formant[j].fm1Pitch = 7681.0 * x;  // "Fixed": pitch steps
         o.formant[j].fm1Ratio = x;           // "Partial", "Ring": exponent of 50
       }
     }},
    {"FM1Sc F1", D::Nothing, BOTH(fm1Source, v.SourceFor(Int(x)))},
    {"FM2Am F1", D::Nothing,
     [](Voice& v, int j, double x) {
       for (Oscillator& o : v.osc) {
         o.formant[j].fm2Pitch = x;  // unscaled
         o.formant[j].fm2Ratio = x;
       }
     }},
    {"FM2Sc F1", D::Nothing, BOTH(fm2Source, v.SourceFor(Int(x)))},
    {"AMAmt F1", D::Nothing, BOTH(amAmount, x)},
    {"AMSrc F1", D::Nothing, BOTH(amSource, v.SourceFor(Int(x)))},
};
#undef BOTH

// Bus 1 at 63..70, bus 2 at 71..78.
const Row D::kBus[8] = {
    {"Level 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].level = 2.0 * x; }},
    {"AM1Amt 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].am1Amount = x; }},
    {"AM1Src 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].am1Source = v.SourceFor(Int(x)); }},
    {"AM2Amt 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].am2Amount = x; }},
    {"AM2Src 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].am2Source = v.SourceFor(Int(x)); }},
    {"Pan 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].pan = x; }},
    {"PanAmt 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].panAmount = x; }},
    {"PanSrc 1", D::Nothing, [](Voice& v, int b, double x) { v.bus[b].panSource = v.SourceFor(Int(x)); }},
};

// LFO 1 at 79..84, LFO 2 at 85..90, LFO 3 at 91..96.
const Row D::kLfo[6] = {
    {"LFOWav 1", D::Nothing, [](Voice& v, int n, double x) { v.lfo[n].wave = Int(x); }},
    {"LFOSyn 1", D::LfoSync, [](Voice& v, int n, double x) { v.lfo[n].SetSync(On(x)); }},
    {"LFORtg 1", D::Nothing, [](Voice& v, int n, double x) { v.lfo[n].retrigger = On(x); }},
    {"LFOFrq 1", D::LfoRate, [](Voice& v, int n, double x) { v.lfo[n].SetRate(x); }},
    {"LFOMod 1", D::Nothing, [](Voice& v, int n, double x) { v.lfo[n].depth = x; }},
    {"LFOSrc 1", D::Nothing, [](Voice& v, int n, double x) { v.lfo[n].depthSource = v.SourceFor(Int(x)); }},
};

// Envelope 1 at 97..100 (no delay); envelopes 2 and 3 at 101..105 and
// 106..110. The setters also adjust a stage that is running.
const Row D::kEnvelope1[4] = {
    {"Env 1 A", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetAttack(x); }},
    {"Env 1 D", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetDecay(x); }},
    {"Env 1 S", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetSustain(x); }},
    {"Env 1 R", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetRelease(x); }},
};
const Row D::kEnvelope23[5] = {
    {"Env 2 Dly", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetDelay(x); }},  // x^4 * 10000 blocks
    {"Env 2 A", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetAttack(x); }},
    {"Env 2 D", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetDecay(x); }},
    {"Env 2 S", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetSustain(x); }},
    {"Env 2 R", D::Nothing, [](Voice& v, int e, double x) { v.env[e].SetRelease(x); }},
};

// Indices 111..115.
const Row D::kAddedLast[5] = {
    {"Unison", D::Unison, nullptr},
    {"Env1 Trg", D::Nothing, [](Voice& v, int, double x) { v.env[0].single = On(x); }},
    {"Env2 Trg", D::Nothing, [](Voice& v, int, double x) { v.env[1].single = On(x); }},
    {"Env3 Trg", D::Nothing, [](Voice& v, int, double x) { v.env[2].single = On(x); }},
    {"Unison LFO Phase", D::UnisonLfoPhase, nullptr},
};

// Where each table sits in the index space: first index, number of blocks.
const D::Layout D::kLayouts[8] = {
    {0, 1, kGlobal, 6},        //   0..5
    {6, 2, kOscillator, 6},    //   6..17
    {18, 3, kFormant, 15},     //  18..62
    {63, 2, kBus, 8},          //  63..78
    {79, 3, kLfo, 6},          //  79..96
    {97, 1, kEnvelope1, 4},    //  97..100
    {101, 2, kEnvelope23, 5},  // 101..110, blocks are envelopes 2 and 3
    {111, 1, kAddedLast, 5},   // 111..115
};

void Quarvi::ParamChanged(int index) { ParamDispatch::Changed(*this, index); }

int Quarvi::UnserializePresets(const ChunkBuffer& chunk, int pos) {
  std::lock_guard<std::recursive_mutex> lock(Mutex());
  ParamDispatch::BeginBulk(*this);
  const int end = Synth::UnserializePresets(chunk, pos);
  ParamDispatch::EndBulk(*this);
  return end;
}

// The dispatch row that handles index, for checking the tables against the
// parameter table; nullptr outside 0..115.
const char* DispatchRowName(int index) {
  if (index < 0 || index >= kParamTableSize) return nullptr;
  const ParamDispatch::Row* row = ParamDispatch::TheMap().entries[index].row;
  return row ? row->name : nullptr;
}
