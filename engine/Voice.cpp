#include "Voice.h"

#include <algorithm>
#include <cmath>

#include "Random.h"

void BusStage::Compute(double* l, double* r) const {
  *l = *r = 0.0;
  if (level <= 0) return;
  const double a = level * DepthFactor(am1Amount, *am1Source) * DepthFactor(am2Amount, *am2Source);
  if (a <= 0) return;
  const double p = *panSource * panAmount + pan;
  if (p < 0) {
    *l = a;
  } else if (p > 1) {
    *r = a;
  } else {
    *l = a * (1.0 - p);
    *r = a * p;
  }
}

Voice::Voice() : pitchBendSource(&zero), pitchBendUnipolarSource(&zero), modWheelSource(&zero) {
  // Every modulation input starts on this voice's own constant zero.
  for (Oscillator& o : osc) {
    o.pitchBendSource = pitchBendSource;
    o.fm1Source = o.fm2Source = &zero;
    for (Formant& f : o.formant) f.fm1Source = f.fm2Source = f.amSource = &zero;
  }
  for (BusStage& b : bus) b.am1Source = b.am2Source = b.panSource = &zero;
  for (Lfo& l : lfo) l.depthSource = &zero;
  SetSampleRate(44100.0);
}

void Voice::Attach(EngineShared* shared) {
  pitchBendSource = &shared->pitchBend;
  pitchBendUnipolarSource = &shared->pitchBendUnipolar;
  modWheelSource = &shared->modWheel;
  for (Oscillator& o : osc) o.pitchBendSource = pitchBendSource;
  for (Lfo& l : lfo) l.Attach(shared);
}

void Voice::SetSampleRate(double sr) {
  if (sr != sampleRate) {
    sampleRate = sr;
    blockLength = static_cast<int>(sr) / 1000;
    const int length = std::max(blockLength, 0);
    bus1Buffer.reset(new double[length]());
    bus2Buffer.reset(new double[length]());
  }
  keyDown = sustained = false;
  active = false;
  glidePitch = Oscillator::kStartPitch;
  glideStep = 0.0;
  glideTicksLeft = 0;
  key = kStartKey;
  noteVelocity = 0;
  serial = 0;
  zero = 0.0;
  one = 1.0;
  notePlus = noteBipolar = velocity = rndPlus = rnd = 0.0;
  bus1Left = bus1Right = bus2Left = bus2Right = 0.0;
  for (Oscillator& o : osc) {
    o.SetSampleRate(sr);
    o.pitchBendSource = pitchBendSource;
  }
  for (Lfo& l : lfo) l.Zero();
  env[0].timeScale = std::log(10.0) / sr;
  for (Envelope& e : env) {
    e.level = 0.0;
    e.stage = Envelope::kIdle;
  }
}

void Voice::ControlUpdate() {
  if (!active) {
    // Free-running LFOs keep moving while the voice is silent.
    for (Lfo& l : lfo)
      if (!l.retrigger) l.Step();
    return;
  }
  env[1].Step();
  env[2].Step();
  if (glideTicksLeft > 0) {
    --glideTicksLeft;
    glidePitch += glideStep;
    if (glideTicksLeft == 0) glidePitch = targetPitch;
  }
  for (Lfo& l : lfo) l.Step();
  osc[0].ControlUpdate(glidePitch);
  osc[1].ControlUpdate(glidePitch);
  bus[0].Compute(&bus1Left, &bus1Right);
  bus[1].Compute(&bus2Left, &bus2Right);
  active = env[0].stage != Envelope::kIdle;
}

void Voice::Render(double* left, double* right, int n) { RenderVoices(this, 1, left, right, n); }

void Voice::RenderSingle(double* left, double* right, int n) {
  if (!active) {
    if (freeRun) {
      osc[0].IdleAdvance(n);
      osc[1].IdleAdvance(n);
    }
    return;
  }
  if (blockLength <= 0) return;
  double* b1 = bus1Buffer.get();
  double* b2 = bus2Buffer.get();
  // The render frame passes at most one control block; a longer request is
  // cut into pieces so the buffers never overrun (envelope 1 still steps once
  // per sample).
  while (n > 0) {
    const int m = n < blockLength ? n : blockLength;
    std::fill(b1, b1 + blockLength, 0.0);
    std::fill(b2, b2 + blockLength, 0.0);
    Envelope& e1 = env[0];
    e1.Step();
    osc[0].Render(b1, b2, m);
    osc[1].Render(b1, b2, m);
    for (int i = 0; i < m; ++i) {
      if (i > 0) e1.Step();
      const double e = e1.level;
      left[i] += (b2[i] * bus2Left + b1[i] * bus1Left) * e;
      right[i] += (b2[i] * bus2Right + b1[i] * bus1Right) * e;
    }
    left += m;
    right += m;
    n -= m;
  }
}

void Voice::NoteOn(int noteKey, int noteVel, int noteSerial, int tunedPitch) {
  targetPitch = tunedPitch + detune;
  if (portamentoTime > 0) {
    const double t = portamentoTime * 1000.0;
    const double ticks = std::floor(t);
    glideTicksLeft = ticks < 1e9 ? static_cast<int>(ticks) : 1000000000;
    if (glideTicksLeft > 0) {
      glideStep = (targetPitch - glidePitch) / t;
    } else {
      glidePitch = targetPitch;
      glideStep = 0.0;
    }
  } else {
    glideTicksLeft = 0;
    glidePitch = targetPitch;
    glideStep = 0.0;
  }
  for (Lfo& l : lfo) {
    l.heldRandom = DrawLfoRandom();
    if (l.retrigger) l.Retrigger();
  }
  active = true;
  keyDown = true;
  key = noteKey;
  noteVelocity = noteVel;
  serial = noteSerial;
  for (Envelope& e : env) e.Trigger();
  if (!freeRun) {
    osc[0].ResetPhases();
    osc[1].ResetPhases();
  }
  notePlus = noteKey / 60.0;
  noteBipolar = (noteKey - 48) / 60.0;
  velocity = noteVel / 127.0;
  rnd = DrawNoteRandom();
  rndPlus = (rnd + 1.0) * 0.5;
}

void Voice::Release() {
  for (Envelope& e : env) e.Release();
}

void Voice::Pedal(bool down) {
  sustained = down;
  if (!keyDown && !down) Release();
}

void Voice::ZeroLfos() {
  for (Lfo& l : lfo) l.Zero();
}

const double* Voice::SourceFor(int index) const {
  switch (index) {
    case kSrcOn:
      return &one;
    case kSrcLfo1Plus:
      return &lfo[0].outputPlus;
    case kSrcLfo2Plus:
      return &lfo[1].outputPlus;
    case kSrcLfo3Plus:
      return &lfo[2].outputPlus;
    case kSrcEnv1:
      return &env[0].level;
    case kSrcEnv2:
      return &env[1].level;
    case kSrcEnv3:
      return &env[2].level;
    case kSrcVelocity:
      return &velocity;
    case kSrcNotePlus:
      return &notePlus;
    case kSrcRndPlus:
      return &rndPlus;
    case kSrcPitchBendPlus:
      return pitchBendUnipolarSource;
    case kSrcWheel:
      return modWheelSource;
    case kSrcLfo1:
      return &lfo[0].output;
    case kSrcLfo2:
      return &lfo[1].output;
    case kSrcLfo3:
      return &lfo[2].output;
    case kSrcNote:
      return &noteBipolar;
    case kSrcRnd:
      return &rnd;
    case kSrcPitchBend:
      return pitchBendSource;
    default:
      return &zero;
  }
}
