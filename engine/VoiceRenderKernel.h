#pragma once
// The voice group kernel, written once over a small vector interface V and
// compiled twice: engine/VoiceRenderSse2.cpp (two lanes, the baseline every
// build ships for) and engine/VoiceRenderAvx2.cpp (four lanes, chosen at run
// time). Include it only there: everything here has internal linkage, so the
// AVX2 copies can never be picked up by code that must run without AVX2.
//
// Per sample and lane this computes exactly what the per-sample algorithm
// computes, operation by operation in the same order, so the results are the
// same to the last bit (IEEE double arithmetic is the same in a vector lane;
// the build never contracts operations). The differences are in form only:
// - The oscillator's nearest-integer pitch is clamped to the table range
//   before the rounding; p < 0 and p > 17280 select the same end entries.
// - The formant sample skips the window for an exact zero; multiplying the
//   zero by the window (always positive) gives the same zero, sign included.
// - The increment limit tests run in double: k * inc is exact below 2^53, and
//   anything at or above 2^53 is far beyond the limit either way.
// - floor and the 64-bit truncations run in 32-bit lanes, and floor is a
//   truncation: Admit lets a group in only when every ratio is positive and
//   every ratio and ring increment stays below 2^30, where all of these agree.
// - The window index is not masked to the table: Admit asks for a bandwidth
//   within 0..1, which keeps it inside. At bandwidth 0 the window is the
//   table's first entry, exactly 1, and multiplying by it changes nothing:
//   such formants skip it.
#include "VoiceRender.h"

namespace voicerender {
namespace {

template <class V>
struct Kernel {
  using D = typename V::D;
  using I = typename V::I;
  static constexpr int L = V::kLanes;

  static D Abs(D x) { return V::AndNot(V::Set(-0.0), x); }
  static D Finite(D x) { return V::CmpEq(V::Sub(x, x), V::Set(0.0)); }

  // ---- admission ------------------------------------------------------------

  static I ClampedIndex(D pitch) {
    return V::Trunc(V::Min(V::Max(pitch, V::Set(0.0)), V::Set(static_cast<double>(kMaxPitch))));
  }

  static bool Admit(Group& g) {
    const D n = V::Set(static_cast<double>(g.n));
    const D limit = V::Set(1073741824.0);  // 2^30
    const D zero = V::Set(0.0);
    D ok = V::CmpEq(zero, zero);
    const D maxIncrement = V::Set(static_cast<double>(g.maxIncrement));
    const D margin = V::Set(1.0 + 1e-9);
    for (OscillatorLanes& o : g.osc) {
      const D pitch = V::Load(o.pitch), slope = V::Load(o.slope);
      ok = V::And(ok, V::And(Finite(pitch), Finite(slope)));
      // The pitch over the run, with room for the rounding to whole steps and
      // of the running sum; the table grows with the pitch.
      const D first = V::Add(pitch, slope), last = V::Add(pitch, V::Mul(n, slope));
      const D room = V::Add(V::Set(2.0), V::Mul(V::Set(1e-9), V::Add(Abs(pitch), V::Mul(n, Abs(slope)))));
      const D lowPitch = V::Sub(V::Min(first, last), room), highPitch = V::Add(V::Max(first, last), room);
      // NaN pitches are refused above; keep them out of the table lookup.
      const D safeLow = V::And(lowPitch, ok), safeHigh = V::And(highPitch, ok);
      const D incLow = V::ToDouble(V::GatherI(g.increments, ClampedIndex(safeLow)));
      const D incHigh = V::ToDouble(V::GatherI(g.increments, ClampedIndex(safeHigh)));
      for (FormantLanes& f : o.formant) {
        if (f.kind == kOff) continue;
        const D v = V::Load(f.value), s = V::Load(f.slope), bw = V::Load(f.bandwidth);
        ok = V::And(ok, V::And(Finite(v), Finite(s)));
        if (!(f.kind & kPlain)) ok = V::And(ok, V::And(V::CmpGe(bw, zero), V::CmpLe(bw, V::Set(1.0))));
        const D a = V::Add(v, s), b = V::Add(v, V::Mul(n, s));
        const D vRoom = V::Mul(V::Set(1e-9), V::Add(Abs(v), V::Mul(n, Abs(s))));
        const D low = V::Sub(V::Min(a, b), vRoom), high = V::Add(V::Max(a, b), vRoom);
        ok = V::And(ok, V::CmpGt(low, zero));
        // The largest increment a harmonic (or the ring sine) can reach in
        // the run: k <= r, and r * inc is the value for "Fixed".
        D top;
        switch (f.kind & ~kPlain) {
          case kFixed:
            ok = V::And(ok, V::And(V::CmpGt(incLow, zero), V::CmpLt(V::Div(high, incLow), limit)));
            top = V::Add(high, incHigh);
            break;
          case kPartial:
            ok = V::And(ok, V::CmpLt(high, limit));
            top = V::Mul(V::Add(high, V::Set(1.0)), incHigh);
            break;
          default:
            ok = V::And(ok, V::CmpLt(V::Mul(high, incHigh), limit));
            top = V::Mul(high, incHigh);
            break;
        }
        f.fits = V::MoveMask(V::CmpLt(V::Mul(top, margin), maxIncrement)) == (1 << L) - 1;
      }
    }
    return V::MoveMask(ok) == (1 << L) - 1;
  }

  // ---- envelope 1 -------------------------------------------------------------

  static int Envelopes(Group& g) {
    D level = V::Load(g.envLevel);
    const D target = V::Load(g.envTarget), coefficient = V::Load(g.envCoefficient);
    const D moving = V::Load(g.envMoving), rising = V::Load(g.envRising), falling = V::Load(g.envFalling);
    const D one = V::Set(1.0), zero = V::Set(0.0);
    D ended = V::Set(0.0);
    for (int i = 0; i < g.n; ++i) {
      const D next = V::Add(level, V::Mul(V::Sub(target, level), coefficient));
      ended = V::Or(ended, V::Or(V::And(rising, V::CmpGe(next, one)), V::And(falling, V::CmpLe(next, zero))));
      level = V::Select(moving, next, level);
      V::Store(&g.envelope[i * L], level);
    }
    V::Store(g.envLevel, level);
    return V::MoveMask(ended);
  }

  // ---- render -------------------------------------------------------------------

  // Per sample of the current oscillator, shared by its three formants.
  double stepd[kChunk * L];  // fundamental increment as a double
  int32_t phi[kChunk * L];   // fundamental phase before the sample's advance
  double pulse[kChunk * L];  // window table entry of the phase
  double bus1[kChunk * L];
  double bus2[kChunk * L];

  static I PitchIndex(D pitch) {
    // The pitch rounded to the nearest integer (halves away from zero) and
    // clamped to 0..17280. Inside -1..17281 the fraction is exact.
    const D x = V::Min(V::Max(pitch, V::Set(-1.0)), V::Set(17281.0));
    const D t = V::ToDouble(V::Trunc(x));
    const D d = V::Sub(x, t);
    const D one = V::Set(1.0);
    const D r = V::Add(t, V::Sub(V::And(V::CmpGe(d, V::Set(0.5)), one), V::And(V::CmpLe(d, V::Set(-0.5)), one)));
    return V::Trunc(V::Min(V::Max(r, V::Set(0.0)), V::Set(static_cast<double>(kMaxPitch))));
  }

  template <bool kPulse>
  void OscillatorRun(const Group& g, OscillatorLanes& o) {
    const int n = g.n;
    D pitch = V::Load(o.pitch);
    const D slope = V::Load(o.slope);
    I ph = V::LoadI(o.phase);
    I step = V::LoadI(o.increment);
    const I mask = V::SetI(static_cast<int32_t>(kPhaseMask));
    const double* pulseTable = g.waves->pulse;
    // The pitch moves slowly: most samples look up the same table entries as
    // the one before.
    I lastIndex = V::SetI(-1);
    for (int i = 0; i < n; ++i) {
      pitch = V::Add(pitch, slope);
      const I index = PitchIndex(pitch);
      if (!V::SameI(index, lastIndex)) {
        step = V::GatherI(g.increments, index);
        lastIndex = index;
      }
      V::Store(&stepd[i * L], V::ToDouble(step));
      V::StoreI(&phi[i * L], ph);
      if (kPulse) V::Store(&pulse[i * L], V::Gather(pulseTable, V::Shift16(ph)));
      ph = V::AndI(V::AddI(ph, step), mask);
    }
    V::Store(o.pitch, pitch);
    V::StoreI(o.phase, ph);
    V::StoreI(o.increment, step);
  }

  template <bool kIsFixed, bool kWindow, bool kFits>
  void Harmonic(const Group& g, FormantLanes& f) {
    const int n = g.n;
    const double* sine = g.waves->sine;
    const double* decay = g.waves->decay;
    D v = V::Load(f.value);
    const D slope = V::Load(f.slope), gain = V::Load(f.gain), bw = V::Load(f.bandwidth), send = V::Load(f.send);
    const D limit = V::Set(static_cast<double>(g.maxIncrement));
    const I mask = V::SetI(static_cast<int32_t>(kPhaseMask));
    I k = V::SetI(0), fp = V::SetI(0);
    for (int i = 0; i < n; ++i) {
      v = V::Add(v, slope);
      const D inc = V::Load(&stepd[i * L]);
      const D r = kIsFixed ? V::Div(v, inc) : v;
      k = V::Trunc(r);  // floor: r is positive
      const D kd = V::ToDouble(k);
      // Upper harmonic share; none when the upper harmonic is above the limit,
      // and nothing at all when the lower one is.
      D h = V::Mul(V::Sub(r, kd), gain);
      D a;
      if (kFits) {
        a = V::Sub(gain, h);
      } else {
        const D fi = V::Mul(kd, inc);
        h = V::And(h, V::CmpLe(V::Add(fi, inc), limit));
        a = V::And(V::Sub(gain, h), V::CmpLe(fi, limit));
      }
      const I p = V::LoadI(&phi[i * L]);
      fp = V::AndI(V::MulLo(k, p), mask);
      D s = V::Add(V::Mul(a, V::Gather(sine, V::Shift16(fp))),
                   V::Mul(h, V::Gather(sine, V::Shift16(V::AndI(V::AddI(fp, p), mask)))));
      if (kWindow) s = V::Mul(s, V::Gather(decay, V::Trunc(V::Mul(V::Load(&pulse[i * L]), bw))));
      const D toBus2 = V::Mul(s, send);
      V::Store(&bus2[i * L], V::Add(V::Load(&bus2[i * L]), toBus2));
      V::Store(&bus1[i * L], V::Add(V::Load(&bus1[i * L]), V::Sub(s, toBus2)));
    }
    V::Store(f.value, v);
    V::StoreI(f.lastHarmonic, k);
    V::StoreI(f.lastPhase, fp);
  }

  template <bool kWindow, bool kFits>
  void Ring(const Group& g, FormantLanes& f) {
    const int n = g.n;
    const double* sine = g.waves->sine;
    const double* decay = g.waves->decay;
    D v = V::Load(f.value);
    const D slope = V::Load(f.slope), gain = V::Load(f.gain), bw = V::Load(f.bandwidth), send = V::Load(f.send);
    const D limit = V::Set(static_cast<double>(g.maxIncrement));
    const I mask = V::SetI(static_cast<int32_t>(kPhaseMask));
    I fp = V::LoadI(f.phase);
    I fi = V::LoadI(f.increment);
    for (int i = 0; i < n; ++i) {
      v = V::Add(v, slope);
      fi = V::Trunc(V::Mul(V::Load(&stepd[i * L]), v));
      const D a = kFits ? gain : V::And(gain, V::CmpLe(V::ToDouble(fi), limit));
      fp = V::AndI(V::AddI(fp, fi), mask);
      D s = V::Mul(a, V::Gather(sine, V::Shift16(fp)));
      if (kWindow) s = V::Mul(s, V::Gather(decay, V::Trunc(V::Mul(V::Load(&pulse[i * L]), bw))));
      const D toBus2 = V::Mul(s, send);
      V::Store(&bus2[i * L], V::Add(V::Load(&bus2[i * L]), toBus2));
      V::Store(&bus1[i * L], V::Add(V::Load(&bus1[i * L]), V::Sub(s, toBus2)));
    }
    V::Store(f.value, v);
    V::StoreI(f.phase, fp);
    V::StoreI(f.increment, fi);
  }

  // What the voices add at sample i, one lane per voice.
  struct Mix {
    D l1, r1, l2, r2;
    void At(const Kernel& k, const Group& g, int i, D* left, D* right) const {
      const D e = V::Load(&g.envelope[i * L]);
      const D b1 = V::Load(&k.bus1[i * L]), b2 = V::Load(&k.bus2[i * L]);
      *left = V::Mul(V::Add(V::Mul(b2, l2), V::Mul(b1, l1)), e);
      *right = V::Mul(V::Add(V::Mul(b2, r2), V::Mul(b1, r1)), e);
    }
  };

  template <bool kIsFixed, bool kWindow>
  void Harmonic(const Group& g, FormantLanes& f) {
    if (f.fits)
      Harmonic<kIsFixed, kWindow, true>(g, f);
    else
      Harmonic<kIsFixed, kWindow, false>(g, f);
  }

  template <bool kWindow>
  void Ring(const Group& g, FormantLanes& f) {
    if (f.fits)
      Ring<kWindow, true>(g, f);
    else
      Ring<kWindow, false>(g, f);
  }

  void Render(Group& g, double* left, double* right) {
    const int n = g.n;
    const D zero = V::Set(0.0);
    for (int i = 0; i < n; ++i) {
      V::Store(&bus1[i * L], zero);
      V::Store(&bus2[i * L], zero);
    }
    for (OscillatorLanes& o : g.osc) {
      bool windowed = false;
      for (const FormantLanes& f : o.formant) windowed = windowed || (f.kind != kOff && !(f.kind & kPlain));
      if (windowed)
        OscillatorRun<true>(g, o);
      else
        OscillatorRun<false>(g, o);
      for (FormantLanes& f : o.formant) {
        switch (f.kind) {
          case kFixed:
            Harmonic<true, true>(g, f);
            break;
          case kFixed | kPlain:
            Harmonic<true, false>(g, f);
            break;
          case kPartial:
            Harmonic<false, true>(g, f);
            break;
          case kPartial | kPlain:
            Harmonic<false, false>(g, f);
            break;
          case kRing:
            Ring<true>(g, f);
            break;
          case kRing | kPlain:
            Ring<false>(g, f);
            break;
          default:
            break;
        }
      }
    }
    // The voices' shares are added into the output one voice after the other:
    // L samples at a time, transposed so that a vector holds one voice's
    // samples.
    const Mix mix{V::Load(g.busGain[0]), V::Load(g.busGain[1]), V::Load(g.busGain[2]), V::Load(g.busGain[3])};
    const int count = g.count;
    int i = 0;
    for (; i + L <= n; i += L) {
      D cl[L], cr[L];
      for (int j = 0; j < L; ++j) mix.At(*this, g, i + j, &cl[j], &cr[j]);
      V::Transpose(cl);
      V::Transpose(cr);
      D l = V::Load(left + i), r = V::Load(right + i);
      for (int lane = 0; lane < count; ++lane) {
        l = V::Add(l, cl[lane]);
        r = V::Add(r, cr[lane]);
      }
      V::Store(left + i, l);
      V::Store(right + i, r);
    }
    for (; i < n; ++i) {
      D cl, cr;
      mix.At(*this, g, i, &cl, &cr);
      double sl[L], sr[L];
      V::Store(sl, cl);
      V::Store(sr, cr);
      for (int lane = 0; lane < count; ++lane) {
        left[i] += sl[lane];
        right[i] += sr[lane];
      }
    }
  }
};

}  // namespace
}  // namespace voicerender
