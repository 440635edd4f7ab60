#pragma once
// A Quarvi instance driven the way a host drives it, for engine tests.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "Quarvi.h"

inline MidiMessage Msg(int status, int d1, int d2, int offset) {
  MidiMessage m;
  m.offset = offset;
  m.status = static_cast<uint8_t>(status);
  m.data1 = static_cast<uint8_t>(d1);
  m.data2 = static_cast<uint8_t>(d2);
  return m;
}
inline MidiMessage NoteOn(int key, int vel, int offset) { return Msg(0x90, key, vel, offset); }
inline MidiMessage NoteOff(int key, int offset) { return Msg(0x80, key, 0, offset); }
inline MidiMessage ControlChange(int cc, int value, int offset) { return Msg(0xB0, cc, value, offset); }
inline MidiMessage PitchBend(int value14, int offset) {
  return Msg(0xE0, value14 & 0x7F, (value14 >> 7) & 0x7F, offset);
}

struct Rendered {
  std::vector<double> left, right;
  double Peak() const {
    double p = 0;
    for (double s : left) p = std::max(p, std::fabs(s));
    for (double s : right) p = std::max(p, std::fabs(s));
    return p;
  }
};

struct TestInstrument {
  std::unique_ptr<Quarvi> q;

  explicit TestInstrument(bool reset = true, double rate = 44100, int block = 512) {
    q.reset(new Quarvi(nullptr));
    // Start from the parameter defaults rather than factory program 0.
    for (int i = 0; i < q->NParams(); ++i) q->GetParam(i)->SetPlain(q->GetParam(i)->defaultValue);
    q->OnParamReset();
    if (reset) {
      Reset(rate, block);
      q->SetActive(true);
    }
  }

  void Reset(double rate, int block) {
    q->SetSampleRate(rate);
    q->SetBlockSize(block);
    q->ResetProcessing();
  }

  int Index(const char* name) const {
    for (int i = 0; i < q->NParams(); ++i)
      if (std::strcmp(q->GetParam(i)->name, name) == 0) return i;
    return -1;
  }

  // Sets a plain value the way the host's text entry does.
  void SetParam(const char* name, double plain) {
    int i = Index(name);
    q->GetParam(i)->SetPlain(plain);
    q->ParamChanged(i);
  }

  Rendered Render(int n) {
    Rendered r;
    r.left.assign(n, 0.0);
    r.right.assign(n, 0.0);
    double* out[2] = {r.left.data(), r.right.data()};
    q->ProcessBlock(nullptr, out, n);
    return r;
  }
};
