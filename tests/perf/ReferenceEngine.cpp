#include "ReferenceEngine.h"

#include <algorithm>
#include <cmath>

#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>

#include "ChunkBuffer.h"
#include "FloatMode.h"
#include "ParamDispatch.h"
#include "Quarvi.h"
#include "VoiceState.h"

namespace {

constexpr double kLn50 = 3.912023005428146;

double Depth(double d, double s) { return d < 0 ? 1.0 + d * s : 1.0 + d * (s - 1.0); }

double SoftClipSample(double x) {
  if (x < -3.0) return -1.0;
  if (x > 3.0) return 1.0;
  return x * (27.0 + x * x) / (27.0 + 9.0 * x * x);
}

void BusGains(const BusStage& b, double* l, double* r) {
  *l = 0.0;
  *r = 0.0;
  if (b.level <= 0) return;
  const double a = b.level * Depth(b.am1Amount, *b.am1Source) * Depth(b.am2Amount, *b.am2Source);
  if (a <= 0) return;
  const double p = *b.panSource * b.panAmount + b.pan;
  if (p < 0) {
    *l = a;
  } else if (p > 1) {
    *r = a;
  } else {
    *l = a * (1.0 - p);
    *r = a * p;
  }
}

}  // namespace

void ReferenceEngine::FormantControlUpdate(Formant& f, const PhaseIncrementTable& table, double msPerSample) {
  f.gain = f.volume * Depth(f.amAmount, *f.amSource);
  double target;
  if (f.type == Formant::kFixed) {
    const double p = std::round(*f.fm1Source * f.fm1Pitch + f.fixedPitch + *f.fm2Source * f.fm2Pitch);
    if (p < 0)
      target = table.inc[0];
    else if (p >= 15873)
      target = table.inc[15872];
    else
      target = table.inc[static_cast<int>(p)];
  } else {
    target = f.partial * std::exp(kLn50 * (*f.fm1Source * f.fm1Ratio + *f.fm2Source * f.fm2Ratio));
  }
  f.valueSlope = (target - f.value) * msPerSample;
}

void ReferenceEngine::FormantSample(Formant& f, uint32_t phi, int32_t inc, int32_t maxIncrement, double& bus1,
                                    double& bus2) {
  const WaveTables& w = GetWaveTables();
  f.value += f.valueSlope;
  double s;
  if (f.type == Formant::kRing) {
    // Saturating: an absurd ratio must only compare above the limit.
    const double product = inc * f.value;
    f.formantIncrement = product >= 9.2e18 ? INT64_MAX : product <= -9.2e18 ? INT64_MIN : static_cast<int64_t>(product);
    const double a = f.formantIncrement <= maxIncrement ? f.gain : 0.0;
    f.formantPhase = static_cast<uint32_t>((f.formantPhase + static_cast<uint64_t>(f.formantIncrement)) % 268435456u);
    s = a * w.sine[f.formantPhase >> 16];
  } else {
    const double r = f.type == Formant::kFixed ? f.value / inc : f.value;
    f.harmonic = static_cast<int64_t>(std::floor(r));
    // Wrapping product: a near-zero fundamental makes the harmonic number huge;
    // such an increment only has to compare above the limit.
    f.formantIncrement = static_cast<int64_t>(static_cast<uint64_t>(f.harmonic) * static_cast<uint64_t>(static_cast<int64_t>(inc)));
    double a = 0.0, h = 0.0;
    if (f.formantIncrement <= maxIncrement) {
      a = f.gain;
      if (f.formantIncrement + inc <= maxIncrement) {
        h = (r - static_cast<double>(f.harmonic)) * f.gain;
        a = f.gain - h;
      }
    }
    f.formantPhase = static_cast<uint32_t>((static_cast<uint64_t>(f.harmonic) * phi) % 268435456u);
    s = a * w.sine[f.formantPhase >> 16] + h * w.sine[((f.formantPhase + phi) % 268435456u) >> 16];
  }
  if (s != 0) s = s * w.decay[static_cast<int>(w.pulse[phi >> 16] * f.bandwidth) & 4095];
  bus2 += s * f.send;
  bus1 += s - s * f.send;
}

void ReferenceEngine::OscillatorControlUpdate(Oscillator& o, double basePitch) {
  const double target = basePitch + o.pitchOffset + (*o.pitchBendSource * o.pitchBendRange) +
                        (*o.fm1Source * o.fm1Amount) + (*o.fm2Source * o.fm2Amount);
  o.pitchSlope = (target - o.currentPitch) * o.msPerSample;
  if (!o.table) return;
  for (Formant& f : o.formant)
    if (f.enabled) FormantControlUpdate(f, *o.table, o.msPerSample);
}

void ReferenceEngine::OscillatorRender(Oscillator& o, double* bus1, double* bus2, int n) {
  if (!o.table) return;
  for (int i = 0; i < n; ++i) {
    o.currentPitch += o.pitchSlope;
    const double p = std::round(o.currentPitch);
    if (p < 0)
      o.increment = o.table->inc[0];
    else if (p > 17280)
      o.increment = o.table->inc[17280];
    else
      o.increment = o.table->inc[static_cast<int>(p)];
    for (Formant& f : o.formant)
      if (f.enabled) FormantSample(f, o.phase, o.increment, o.table->maxIncrement, bus1[i], bus2[i]);
    o.phase = (o.phase + static_cast<uint32_t>(o.increment)) % 268435456u;
  }
}

void ReferenceEngine::OscillatorIdleAdvance(Oscillator& o, int n) {
  o.phase = (o.phase + static_cast<uint32_t>(n) * static_cast<uint32_t>(o.increment)) % 268435456u;
  for (Formant& f : o.formant) {
    if (f.enabled && f.type == Formant::kRing)
      f.formantPhase = static_cast<uint32_t>(
          (f.formantPhase + static_cast<uint64_t>(n) * static_cast<uint64_t>(f.formantIncrement)) % 268435456u);
  }
}

void ReferenceEngine::VoiceControlUpdate(Voice& v) {
  if (!v.active) {
    for (Lfo& l : v.lfo)
      if (!l.retrigger) l.Step();
    return;
  }
  v.env[1].Step();
  v.env[2].Step();
  if (v.glideTicksLeft > 0) {
    --v.glideTicksLeft;
    v.glidePitch += v.glideStep;
    if (v.glideTicksLeft == 0) v.glidePitch = v.targetPitch;
  }
  for (Lfo& l : v.lfo) l.Step();
  OscillatorControlUpdate(v.osc[0], v.glidePitch);
  OscillatorControlUpdate(v.osc[1], v.glidePitch);
  BusGains(v.bus[0], &v.bus1Left, &v.bus1Right);
  BusGains(v.bus[1], &v.bus2Left, &v.bus2Right);
  v.active = v.env[0].stage != Envelope::kIdle;
}

void ReferenceEngine::VoiceRender(Voice& v, double* left, double* right, int n) {
  if (!v.active) {
    if (v.freeRun) {
      OscillatorIdleAdvance(v.osc[0], n);
      OscillatorIdleAdvance(v.osc[1], n);
    }
    return;
  }
  if (v.blockLength <= 0) return;
  double* b1 = v.bus1Buffer.get();
  double* b2 = v.bus2Buffer.get();
  while (n > 0) {
    const int m = std::min(n, v.blockLength);
    for (int i = 0; i < v.blockLength; ++i) b1[i] = b2[i] = 0.0;
    v.env[0].Step();
    OscillatorRender(v.osc[0], b1, b2, m);
    OscillatorRender(v.osc[1], b1, b2, m);
    for (int i = 0; i < m; ++i) {
      if (i > 0) v.env[0].Step();
      const double e = v.env[0].level;
      left[i] += (b2[i] * v.bus2Left + b1[i] * v.bus1Left) * e;
      right[i] += (b2[i] * v.bus2Right + b1[i] * v.bus1Right) * e;
    }
    left += m;
    right += m;
    n -= m;
  }
}

void ReferenceEngine::TempoClockStep(TempoClock& c, int n) {
  for (int i = 0; i < n; ++i) {
    c.sampleClock += 1.0;
    for (TempoPulse& p : c.pulse) {
      if (p.countdown > 0) --p.countdown;
      if (c.sampleClock >= p.nextTime) {
        p.nextTime = c.sampleClock + p.period;
        p.countdown = p.reload;
      }
    }
  }
}

void ReferenceEngine::ProcessBlock(Quarvi& q, double** outputs, int nFrames) {
  ScopedFlushDenormals flushDenormals;
  double* left = outputs[0];
  double* right = outputs[1];
  if (nFrames <= 0) return;
  for (int i = 0; i < nFrames; ++i) left[i] = right[i] = 0.0;
  const int B = q.mShared.controlBlockLength;
  if (B <= 0) return;

  TempoClock& clock = q.mShared.tempoClock;
  if (q.mLfoSync[0] || q.mLfoSync[1] || q.mLfoSync[2]) {
    q.GetTime(&q.mTransport);
    clock.Update(q.mTransport, q.GetSampleRate());
    if (q.mTransport.transportIsRunning != clock.wasPlaying) {
      clock.wasPlaying = q.mTransport.transportIsRunning;
      if (clock.wasPlaying) clock.Restart();
    }
  }

  bool clipped = false;
  int pos = 0;
  int remaining = nFrames;
  while (remaining > 0) {
    int n;
    if (q.mSamplesLeftInBlock <= 0) {
      q.RunEventStep(B);
      for (int v = 0; v < q.mPool.activeVoiceCount; ++v) VoiceControlUpdate(q.mPool.voices[v]);
      n = B;
      if (remaining < B) {
        q.mSamplesLeftInBlock = B - remaining;
        n = remaining;
      }
    } else if (q.mSamplesLeftInBlock < remaining) {
      n = q.mSamplesLeftInBlock;
      q.mSamplesLeftInBlock = 0;
    } else {
      n = remaining;
      q.mSamplesLeftInBlock -= remaining;
    }
    TempoClockStep(clock, n);
    for (int v = 0; v < q.mPool.activeVoiceCount; ++v) VoiceRender(q.mPool.voices[v], left + pos, right + pos, n);
    // Output stage, one sample at a time.
    const double g = q.mOutputGain;
    for (int i = pos; i < pos + n; ++i) {
      double l = left[i], r = right[i];
      if (std::fabs(g * l) > 1.0 || std::fabs(g * r) > 1.0) clipped = true;
      if (q.mSoftClip) {
        l = SoftClipSample(l);
        r = SoftClipSample(r);
      }
      left[i] = g * l;
      right[i] = g * r;
    }
    pos += n;
    remaining -= n;
  }
  if (clipped) q.mClipIndicator.store(true, std::memory_order_relaxed);
}

std::string ReferenceEngine::InstrumentDifference(Quarvi& a, Quarvi& b) {
  std::ostringstream why;
  auto num = [&](const char* name, double x, double y) {
    if (why.tellp() == 0 && std::memcmp(&x, &y, sizeof x) != 0)
      why << name << ": " << voice_state::Bits(x) << " vs " << voice_state::Bits(y);
  };
  auto integer = [&](const char* name, long x, long y) {
    if (why.tellp() == 0 && x != y) why << name << ": " << x << " vs " << y;
  };
  for (int i = 0; i < a.NParams(); ++i) {
    const std::string n = "parameter " + std::to_string(i);
    num(n.c_str(), a.GetParam(i)->value, b.GetParam(i)->value);
    integer((n + " formatter").c_str(), a.GetParam(i)->formatter == b.GetParam(i)->formatter, 1);
  }
  ChunkBuffer pa, pb;
  a.SerializePresets(&pa);
  b.SerializePresets(&pb);
  integer("programs (size)", pa.Size(), pb.Size());
  integer("programs (bytes)", pa.Size() == pb.Size() && std::memcmp(pa.Bytes(), pb.Bytes(), pa.Size()) == 0, 1);
  integer("current program", a.mCurrentPreset, b.mCurrentPreset);
  num("engine sample rate", a.mEngineSampleRate, b.mEngineSampleRate);
  num("volume", a.mVolume, b.mVolume);
  num("output gain", a.mOutputGain, b.mOutputGain);
  integer("soft clip", a.mSoftClip, b.mSoftClip);
  for (int j = 0; j < 3; ++j) {
    integer("LFO sync", a.mLfoSync[j], b.mLfoSync[j]);
    integer("display formant type", a.mDisplayFormantType[j].load(), b.mDisplayFormantType[j].load());
  }
  integer("clip indicator", a.mClipIndicator.load(), b.mClipIndicator.load());
  integer("display dirty", a.mDisplayDirty.load(), b.mDisplayDirty.load());
  integer("control block", a.mShared.controlBlockLength, b.mShared.controlBlockLength);
  num("pitch bend", a.mShared.pitchBend, b.mShared.pitchBend);
  num("pitch bend unipolar", a.mShared.pitchBendUnipolar, b.mShared.pitchBendUnipolar);
  num("mod wheel", a.mShared.modWheel, b.mShared.modWheel);
  num("sample clock", a.mShared.tempoClock.sampleClock, b.mShared.tempoClock.sampleClock);
  integer("samples left in block", a.mSamplesLeftInBlock, b.mSamplesLeftInBlock);
  const VoicePool &pa2 = a.mPool, &pb2 = b.mPool;
  integer("voice mode", pa2.voiceMode, pb2.voiceMode);
  integer("unison", pa2.unisonOn, pb2.unisonOn);
  integer("poly count", pa2.polyCount, pb2.polyCount);
  integer("unison count", pa2.unisonCount, pb2.unisonCount);
  integer("active voices", pa2.activeVoiceCount, pb2.activeVoiceCount);
  num("unison compensation", pa2.unisonCompensation, pb2.unisonCompensation);
  num("unison phase spread", pa2.unisonPhaseSpread, pb2.unisonPhaseSpread);
  integer("note serial", pa2.noteSerialCounter, pb2.noteSerialCounter);
  integer("held keys", pa2.HeldCount(), pb2.HeldCount());
  for (int k = 0; k < VoicePool::kKeys; ++k) integer("held velocity", pa2.HeldVelocity(k), pb2.HeldVelocity(k));
  if (why.tellp() != 0) return why.str();
  for (int v = 0; v < VoicePool::kSlots; ++v) {
    const std::string d = voice_state::Difference(pa2.voices[v], pb2.voices[v]);
    if (!d.empty()) return "voice " + std::to_string(v) + ": " + d;
  }
  return "";
}

std::string ReferenceEngine::EngineOutOfStep(Quarvi& q) {
  std::lock_guard<std::recursive_mutex> lock(q.Mutex());
  std::unique_ptr<Quarvi> fresh(new Quarvi(nullptr));
  fresh->SetSampleRate(q.GetSampleRate());
  fresh->SetBlockSize(q.GetBlockSize());
  fresh->ResetProcessing();
  const bool straightforward = StraightforwardDispatch();
  SetStraightforwardDispatch(true);
  for (int i = 0; i < q.NParams(); ++i) fresh->GetParam(i)->value = q.GetParam(i)->value;
  fresh->OnParamReset();
  SetStraightforwardDispatch(straightforward);
  fresh->mPresets = q.mPresets;
  fresh->mCurrentPreset = q.mCurrentPreset;
  fresh->mDisplayDirty.store(q.mDisplayDirty.load());
  fresh->mClipIndicator.store(q.mClipIndicator.load());
  fresh->mShared.tempoClock.sampleClock = q.mShared.tempoClock.sampleClock;
  // A synced LFO's period is set from the tempo clock by its next step; until
  // then it holds whatever came before.
  for (int v = 0; v < VoicePool::kSlots; ++v) {
    for (int l = 0; l < 3; ++l) {
      const Lfo& from = q.mPool.voices[v].lfo[l];
      Lfo& to = fresh->mPool.voices[v].lfo[l];
      if (from.sync && to.sync) {
        to.period = from.period;
        to.phaseStep = from.phaseStep;
      }
    }
  }
  return InstrumentDifference(q, *fresh);
}

