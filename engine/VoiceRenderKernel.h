#pragma once
// The voice group kernel, written once over a small vector interface V and
// compiled once per width: engine/VoiceRenderSse2.cpp (two lanes, the
// baseline every build ships for), engine/VoiceRenderAvx2.cpp (four lanes)
// and engine/VoiceRenderAvx512.cpp (eight lanes), the last two chosen at run
// time; the tests compile the eight-lane one over emulated instructions too
// (tests/engine/EmulatedAvx512.cpp). Include it only there: everything here
// has internal linkage, so the AVX copies can never be picked up by code that
// must run without AVX.
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
        if (f.kind == kOff) {
          f.fits = false;  // read alongside the kind when the slots are compared
          continue;
        }
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
            // high / incLow < 2^30, without the division (2^30 x is exact).
            ok = V::And(ok, V::And(V::CmpGt(incLow, zero), V::CmpLt(high, V::Mul(limit, incLow))));
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

  // ---- render -------------------------------------------------------------------

  // Per sample of the current oscillator, shared by its three formants.
  double stepd[kChunk * L];  // fundamental increment as a double
  int32_t phi[kChunk * L];   // fundamental phase before the sample's advance
  double pulse[kChunk * L];  // window table entry of the phase

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

  // Envelope 1 of every lane, stepped alongside the first oscillator so that
  // its chain of dependent steps overlaps the oscillator's work.
  struct EnvelopeRun {
    D level, target, coefficient, moving, rising, falling, ended;
    explicit EnvelopeRun(const Group& g)
        : level(V::Load(g.envLevel)),
          target(V::Load(g.envTarget)),
          coefficient(V::Load(g.envCoefficient)),
          moving(V::Load(g.envMoving)),
          rising(V::Load(g.envRising)),
          falling(V::Load(g.envFalling)),
          ended(V::Set(0.0)) {}
    void Step(Group& g, int i) {
      const D next = V::Add(level, V::Mul(V::Sub(target, level), coefficient));
      ended = V::Or(ended, V::Or(V::And(rising, V::CmpGe(next, V::Set(1.0))),
                                 V::And(falling, V::CmpLe(next, V::Set(0.0)))));
      level = V::Select(moving, next, level);
      V::Store(&g.envelope[i * L], level);
    }
  };

  // True when the rounded pitch stays the same over the whole run in every
  // lane; *index is then that pitch. The running sum of pitch + slope stays
  // within a tiny fraction of |pitch| + n |slope| of the exact line between
  // its first and last values (n roundings, each within 2^-53 of that), so
  // every sample's pitch lies in [low, high] below; and the rounding is
  // monotonic, so when both ends round alike, every sample does.
  static bool SteadyIndex(D pitch, D slope, int n, I* index) {
    const D count = V::Set(static_cast<double>(n));
    const D first = V::Add(pitch, slope), last = V::Add(pitch, V::Mul(count, slope));
    const D room = V::Mul(V::Set(1e-9), V::Add(Abs(pitch), V::Mul(count, Abs(slope))));
    const I low = PitchIndex(V::Sub(V::Min(first, last), room));
    const I high = PitchIndex(V::Add(V::Max(first, last), room));
    *index = low;
    return V::MoveMask(Finite(room)) == (1 << L) - 1 && V::SameI(low, high);
  }

  template <bool kPulse, bool kEnvelope>
  void OscillatorRun(Group& g, OscillatorLanes& o, EnvelopeRun* env) {
    I index;
    if (SteadyIndex(V::Load(o.pitch), V::Load(o.slope), g.n, &index))
      OscillatorSteps<kPulse, kEnvelope, true>(g, o, env, index);
    else
      OscillatorSteps<kPulse, kEnvelope, false>(g, o, env, index);
  }

  template <bool kPulse, bool kEnvelope, bool kSteady>
  void OscillatorSteps(Group& g, OscillatorLanes& o, EnvelopeRun* env, I steadyIndex) {
    const int n = g.n;
    D pitch = V::Load(o.pitch);
    const D slope = V::Load(o.slope);
    I ph = V::LoadI(o.phase);
    I step = kSteady ? V::GatherI(g.increments, steadyIndex) : V::LoadI(o.increment);
    const D steadyStep = V::ToDouble(step);
    const I mask = V::SetI(static_cast<int32_t>(kPhaseMask));
    const double* pulseTable = g.waves->pulse;
    // The pitch moves slowly: most samples look up the same table entries as
    // the one before.
    I lastIndex = V::SetI(-1);
    for (int i = 0; i < n; ++i) {
      if (kEnvelope) env->Step(g, i);
      pitch = V::Add(pitch, slope);
      if (kSteady) {
        V::Store(&stepd[i * L], steadyStep);
      } else {
        const I index = PitchIndex(pitch);
        if (!V::SameI(index, lastIndex)) {
          step = V::GatherI(g.increments, index);
          lastIndex = index;
        }
        V::Store(&stepd[i * L], V::ToDouble(step));
      }
      V::StoreI(&phi[i * L], ph);
      if (kPulse) V::Store(&pulse[i * L], V::Gather(pulseTable, V::Shift16(ph)));
      ph = V::AndI(V::AddI(ph, step), mask);
    }
    V::Store(o.pitch, pitch);
    V::StoreI(o.phase, ph);
    V::StoreI(o.increment, step);
  }

  // What every formant reads per sample from its oscillator and the tables.
  struct SampleInputs {
    const double* sine;
    const double* decay;
    D limit;
    I mask;
  };

  // "Fixed" (kIsFixed) and "Partial": one sample at a time, state in
  // registers.
  template <bool kIsFixed, bool kWindow, bool kFits>
  struct Harmonic {
    D v, slope, gain, bw, send;
    explicit Harmonic(const FormantLanes& f)
        : v(V::Load(f.value)),
          slope(V::Load(f.slope)),
          gain(V::Load(f.gain)),
          bw(V::Load(f.bandwidth)),
          send(V::Load(f.send)) {}
    D Sample(const SampleInputs& in, D inc, I p, const double* pulse) {
      v = V::Add(v, slope);
      const D r = kIsFixed ? V::Div(v, inc) : v;
      const I k = V::Trunc(r);  // floor: r is positive
      const D kd = V::ToDouble(k);
      // Upper harmonic share; none when the upper harmonic is above the limit,
      // and nothing at all when the lower one is.
      D h = V::Mul(V::Sub(r, kd), gain);
      D a;
      if (kFits) {
        a = V::Sub(gain, h);
      } else {
        const D fi = V::Mul(kd, inc);
        h = V::And(h, V::CmpLe(V::Add(fi, inc), in.limit));
        a = V::And(V::Sub(gain, h), V::CmpLe(fi, in.limit));
      }
      const I fp = V::AndI(V::MulLo(k, p), in.mask);
      D s = V::Add(V::Mul(a, V::Gather(in.sine, V::Shift16(fp))),
                   V::Mul(h, V::Gather(in.sine, V::Shift16(V::AndI(V::AddI(fp, p), in.mask)))));
      if (kWindow) s = V::Mul(s, V::Gather(in.decay, V::Trunc(V::Mul(V::Load(pulse), bw))));
      return s;
    }
    // The last sample's harmonic and its phase, computed again from the
    // last value rather than carried through the loop.
    void Finish(FormantLanes& f, const SampleInputs& in, D inc, I p) const {
      V::Store(f.value, v);
      const I k = V::Trunc(kIsFixed ? V::Div(v, inc) : v);
      V::StoreI(f.lastHarmonic, k);
      V::StoreI(f.lastPhase, V::AndI(V::MulLo(k, p), in.mask));
    }
  };

  // "Ring": its own phase.
  template <bool kWindow, bool kFits>
  struct Ring {
    D v, slope, gain, bw, send;
    I fp, fi;
    explicit Ring(const FormantLanes& f)
        : v(V::Load(f.value)),
          slope(V::Load(f.slope)),
          gain(V::Load(f.gain)),
          bw(V::Load(f.bandwidth)),
          send(V::Load(f.send)),
          fp(V::LoadI(f.phase)),
          fi(V::LoadI(f.increment)) {}
    D Sample(const SampleInputs& in, D inc, I, const double* pulse) {
      v = V::Add(v, slope);
      fi = V::Trunc(V::Mul(inc, v));
      const D a = kFits ? gain : V::And(gain, V::CmpLe(V::ToDouble(fi), in.limit));
      fp = V::AndI(V::AddI(fp, fi), in.mask);
      D s = V::Mul(a, V::Gather(in.sine, V::Shift16(fp)));
      if (kWindow) s = V::Mul(s, V::Gather(in.decay, V::Trunc(V::Mul(V::Load(pulse), bw))));
      return s;
    }
    void Finish(FormantLanes& f, const SampleInputs&, D, I) const {
      V::Store(f.value, v);
      V::StoreI(f.phase, fp);
      V::StoreI(f.increment, fi);
    }
  };

  SampleInputs Inputs(const Group& g) const {
    return {g.waves->sine, g.waves->decay, V::Set(static_cast<double>(g.maxIncrement)),
            V::SetI(static_cast<int32_t>(kPhaseMask))};
  }

  // One formant into the buses: bus 2 gets s * send, bus 1 the rest.
  template <class F>
  void One(Group& g, FormantLanes& f) {
    const SampleInputs in = Inputs(g);
    F x(f);
    for (int i = 0; i < g.n; ++i) {
      const D s = x.Sample(in, V::Load(&stepd[i * L]), V::LoadI(&phi[i * L]), &pulse[i * L]);
      const D toBus2 = V::Mul(s, x.send);
      V::Store(&g.bus2[i * L], V::Add(V::Load(&g.bus2[i * L]), toBus2));
      V::Store(&g.bus1[i * L], V::Add(V::Load(&g.bus1[i * L]), V::Sub(s, toBus2)));
    }
    const int last = (g.n - 1) * L;
    x.Finish(f, in, V::Load(&stepd[last]), V::LoadI(&phi[last]));
  }

  // The oscillator's three formants of one kind in one pass: the oscillator's
  // values and the buses are read and written once per sample. Each bus still
  // receives F1, F2, F3 in this order.
  template <class F>
  void Three(Group& g, FormantLanes* f) {
    const SampleInputs in = Inputs(g);
    F x0(f[0]), x1(f[1]), x2(f[2]);
    for (int i = 0; i < g.n; ++i) {
      const D inc = V::Load(&stepd[i * L]);
      const I p = V::LoadI(&phi[i * L]);
      D b1 = V::Load(&g.bus1[i * L]), b2 = V::Load(&g.bus2[i * L]);
      const D s0 = x0.Sample(in, inc, p, &pulse[i * L]);
      const D t0 = V::Mul(s0, x0.send);
      b2 = V::Add(b2, t0);
      b1 = V::Add(b1, V::Sub(s0, t0));
      const D s1 = x1.Sample(in, inc, p, &pulse[i * L]);
      const D t1 = V::Mul(s1, x1.send);
      b2 = V::Add(b2, t1);
      b1 = V::Add(b1, V::Sub(s1, t1));
      const D s2 = x2.Sample(in, inc, p, &pulse[i * L]);
      const D t2 = V::Mul(s2, x2.send);
      V::Store(&g.bus2[i * L], V::Add(b2, t2));
      V::Store(&g.bus1[i * L], V::Add(b1, V::Sub(s2, t2)));
    }
    const int last = (g.n - 1) * L;
    const D inc = V::Load(&stepd[last]);
    const I p = V::LoadI(&phi[last]);
    x0.Finish(f[0], in, inc, p);
    x1.Finish(f[1], in, inc, p);
    x2.Finish(f[2], in, inc, p);
  }

  // A formant kind as the type that renders it, handed to Use.
  template <class Use>
  static void WithKind(int kind, bool fits, Use use) {
    switch (kind) {
      case kFixed:
        fits ? use.template Go<Harmonic<true, true, true>>() : use.template Go<Harmonic<true, true, false>>();
        break;
      case kFixed | kPlain:
        fits ? use.template Go<Harmonic<true, false, true>>() : use.template Go<Harmonic<true, false, false>>();
        break;
      case kPartial:
        fits ? use.template Go<Harmonic<false, true, true>>() : use.template Go<Harmonic<false, true, false>>();
        break;
      case kPartial | kPlain:
        fits ? use.template Go<Harmonic<false, false, true>>() : use.template Go<Harmonic<false, false, false>>();
        break;
      case kRing:
        fits ? use.template Go<Ring<true, true>>() : use.template Go<Ring<true, false>>();
        break;
      case kRing | kPlain:
        fits ? use.template Go<Ring<false, true>>() : use.template Go<Ring<false, false>>();
        break;
      default:
        break;
    }
  }
  struct UseOne {
    Kernel* k;
    Group* g;
    FormantLanes* f;
    template <class F>
    void Go() const {
      k->template One<F>(*g, *f);
    }
  };
  struct UseThree {
    Kernel* k;
    Group* g;
    FormantLanes* f;
    template <class F>
    void Go() const {
      k->template Three<F>(*g, f);
    }
  };

  // Step 1: both oscillators with their formants into the buses, and the
  // envelope. Returns the lanes whose envelope stage may have ended.
  int Formants(Group& g) {
    const int n = g.n;
    const D zero = V::Set(0.0);
    for (int i = 0; i < n; ++i) {
      V::Store(&g.bus1[i * L], zero);
      V::Store(&g.bus2[i * L], zero);
    }
    EnvelopeRun env(g);
    for (int oi = 0; oi < 2; ++oi) {
      OscillatorLanes& o = g.osc[oi];
      bool windowed = false;
      for (const FormantLanes& f : o.formant) windowed = windowed || (f.kind != kOff && !(f.kind & kPlain));
      if (oi == 0) {
        if (windowed)
          OscillatorRun<true, true>(g, o, &env);
        else
          OscillatorRun<false, true>(g, o, &env);
      } else {
        if (windowed)
          OscillatorRun<true, false>(g, o, nullptr);
        else
          OscillatorRun<false, false>(g, o, nullptr);
      }
      FormantLanes* f = o.formant;
      if (f[0].kind != kOff && f[0].kind == f[1].kind && f[0].kind == f[2].kind && f[0].fits == f[1].fits &&
          f[0].fits == f[2].fits) {
        WithKind(f[0].kind, f[0].fits, UseThree{this, &g, f});
      } else {
        for (int j = 0; j < 3; ++j) WithKind(f[j].kind, f[j].fits, UseOne{this, &g, &f[j]});
      }
    }
    V::Store(g.envLevel, env.level);
    return V::MoveMask(env.ended);
  }

  // What the voices add at sample i, one lane per voice.
  static void At(const Group& g, int i, D l1, D r1, D l2, D r2, D* left, D* right) {
    const D e = V::Load(&g.envelope[i * L]);
    const D b1 = V::Load(&g.bus1[i * L]), b2 = V::Load(&g.bus2[i * L]);
    *left = V::Mul(V::Add(V::Mul(b2, l2), V::Mul(b1, l1)), e);
    *right = V::Mul(V::Add(V::Mul(b2, r2), V::Mul(b1, r1)), e);
  }

  // Step 2: the voices' shares added into the output one voice after the
  // other: L samples at a time, transposed so that a vector holds one voice's
  // samples.
  static void Mix(const Group& g, double* left, double* right) {
    const int n = g.n;
    const D l1 = V::Load(g.busGain[0]), r1 = V::Load(g.busGain[1]);
    const D l2 = V::Load(g.busGain[2]), r2 = V::Load(g.busGain[3]);
    const int count = g.count;
    int i = 0;
    for (; i + L <= n; i += L) {
      D cl[L], cr[L];
      for (int j = 0; j < L; ++j) At(g, i + j, l1, r1, l2, r2, &cl[j], &cr[j]);
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
      At(g, i, l1, r1, l2, r2, &cl, &cr);
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
