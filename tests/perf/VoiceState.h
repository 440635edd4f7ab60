#pragma once
// Field-by-field comparison of two voices, bit for bit, for the tests that
// hold an optimised path to the straightforward one. Source references are
// compared by what they refer to (a field of the voice itself, one of the
// shared values, the silent constant), so voices of two instances compare.
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "Voice.h"

namespace voice_state {

inline std::string Bits(double x) {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  std::ostringstream s;
  s.precision(17);
  s << x << " (0x" << std::hex << u << ")";
  return s.str();
}

// Where a source reference points, as a number that does not depend on the
// address of the voice: the byte offset inside the voice, or a tag.
inline long SourceTag(const Voice& v, const double* p) {
  const char* base = reinterpret_cast<const char*>(&v);
  const char* q = reinterpret_cast<const char*>(p);
  if (q >= base && q < base + sizeof(Voice)) return static_cast<long>(q - base);
  if (p == v.pitchBendSource) return -1;
  if (p == v.pitchBendUnipolarSource) return -2;
  if (p == v.modWheelSource) return -3;
  if (p == &kSilentSource) return -4;
  return -100;
}

class Comparer {
 public:
  Comparer(const Voice& a, const Voice& b) : mA(a), mB(b) {}

  void Num(const char* name, double x, double y) {
    if (!mDiff.empty()) return;
    if (std::memcmp(&x, &y, sizeof x) != 0) mDiff = std::string(name) + ": " + Bits(x) + " vs " + Bits(y);
  }
  void Int(const char* name, int64_t x, int64_t y) {
    if (mDiff.empty() && x != y)
      mDiff = std::string(name) + ": " + std::to_string(x) + " vs " + std::to_string(y);
  }
  void Src(const char* name, const double* x, const double* y) {
    Int(name, SourceTag(mA, x), SourceTag(mB, y));
  }
  const std::string& Diff() const { return mDiff; }

 private:
  const Voice& mA;
  const Voice& mB;
  std::string mDiff;
};

// Empty when every field agrees; otherwise the first field that differs.
inline std::string Difference(const Voice& a, const Voice& b) {
  Comparer c(a, b);
#define NUM(f) c.Num(#f, a.f, b.f)
#define INT(f) c.Int(#f, a.f, b.f)
#define SRC(f) c.Src(#f, a.f, b.f)
  for (int o = 0; o < 2; ++o) {
    SRC(osc[o].pitchBendSource);
    NUM(osc[o].pitchBendRange);
    INT(osc[o].pitchSemitones);
    INT(osc[o].tuneSteps);
    NUM(osc[o].pitchOffset);
    NUM(osc[o].fm1Amount);
    NUM(osc[o].fm2Amount);
    SRC(osc[o].fm1Source);
    SRC(osc[o].fm2Source);
    NUM(osc[o].msPerSample);
    NUM(osc[o].currentPitch);
    NUM(osc[o].pitchSlope);
    INT(osc[o].phase);
    INT(osc[o].increment);
    c.Int("osc.table", a.osc[o].table == b.osc[o].table, 1);
    c.Int("osc.waves", a.osc[o].waves == b.osc[o].waves, 1);
    for (int j = 0; j < 3; ++j) {
      INT(osc[o].formant[j].enabled);
      INT(osc[o].formant[j].type);
      NUM(osc[o].formant[j].bandwidth);
      NUM(osc[o].formant[j].fixedPitch);
      NUM(osc[o].formant[j].partial);
      NUM(osc[o].formant[j].volume);
      NUM(osc[o].formant[j].send);
      NUM(osc[o].formant[j].fm1Pitch);
      NUM(osc[o].formant[j].fm1Ratio);
      SRC(osc[o].formant[j].fm1Source);
      NUM(osc[o].formant[j].fm2Pitch);
      NUM(osc[o].formant[j].fm2Ratio);
      SRC(osc[o].formant[j].fm2Source);
      NUM(osc[o].formant[j].amAmount);
      SRC(osc[o].formant[j].amSource);
      NUM(osc[o].formant[j].gain);
      NUM(osc[o].formant[j].value);
      NUM(osc[o].formant[j].valueSlope);
      INT(osc[o].formant[j].harmonic);
      INT(osc[o].formant[j].formantPhase);
      INT(osc[o].formant[j].formantIncrement);
    }
  }
  for (int b2 = 0; b2 < 2; ++b2) {
    NUM(bus[b2].level);
    NUM(bus[b2].am1Amount);
    SRC(bus[b2].am1Source);
    NUM(bus[b2].am2Amount);
    SRC(bus[b2].am2Source);
    NUM(bus[b2].pan);
    NUM(bus[b2].panAmount);
    SRC(bus[b2].panSource);
  }
  for (int l = 0; l < 3; ++l) {
    NUM(lfo[l].output);
    NUM(lfo[l].outputPlus);
    INT(lfo[l].wave);
    INT(lfo[l].period);
    INT(lfo[l].freePeriod);
    INT(lfo[l].syncIndex);
    INT(lfo[l].counter);
    NUM(lfo[l].phaseStep);
    NUM(lfo[l].heldRandom);
    NUM(lfo[l].lastPhase);
    INT(lfo[l].sync);
    INT(lfo[l].retrigger);
    NUM(lfo[l].depth);
    SRC(lfo[l].depthSource);
    NUM(lfo[l].phaseOffset);
  }
  for (int e = 0; e < 3; ++e) {
    NUM(env[e].level);
    INT(env[e].single);
    INT(env[e].delayTicks);
    NUM(env[e].attack);
    NUM(env[e].decay);
    NUM(env[e].sustain);
    NUM(env[e].release);
    INT(env[e].stage);
    INT(env[e].delayLeft);
    NUM(env[e].timeScale);
    NUM(env[e].target);
    NUM(env[e].coefficient);
  }
  NUM(zero);
  NUM(one);
  NUM(notePlus);
  NUM(noteBipolar);
  NUM(velocity);
  NUM(rndPlus);
  NUM(rnd);
  INT(blockLength);
  NUM(sampleRate);
  INT(freeRun);
  NUM(portamentoTime);
  INT(active);
  INT(keyDown);
  INT(sustained);
  NUM(bus1Left);
  NUM(bus1Right);
  NUM(bus2Left);
  NUM(bus2Right);
  NUM(glidePitch);
  NUM(glideStep);
  INT(targetPitch);
  INT(detune);
  INT(glideTicksLeft);
  INT(key);
  INT(noteVelocity);
  INT(serial);
#undef NUM
#undef INT
#undef SRC
  return c.Diff();
}

}  // namespace voice_state
