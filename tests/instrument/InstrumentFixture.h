#pragma once
// A Quarvi instance for the instrument-layer tests, with helpers to set
// parameters the way the host does and to reach voice fields.
#include <cstring>
#include <memory>
#include <vector>

#include "ParamTable.h"
#include "Quarvi.h"

namespace instrument_test {

struct Instrument {
  std::unique_ptr<Quarvi> q{new Quarvi(nullptr)};

  static int Index(const char* name) { return FindParamIndex(name); }

  IPlugParam& Param(const char* name) { return *q->GetParam(Index(name)); }

  // Every parameter at its default, pushed into the engine.
  void Defaults() {
    for (int i = 0; i < q->NParams(); ++i) q->GetParam(i)->value = q->GetParam(i)->defaultValue;
    q->OnParamReset();
  }

  // Sets a plain value as host text entry does (clamped), then dispatches.
  void Set(const char* name, double plain) {
    const int i = Index(name);
    q->GetParam(i)->SetPlain(plain);
    q->ParamChanged(i);
  }

  // Stores a value without any clamping: what a corrupt source could leave.
  void SetRaw(const char* name, double value) {
    const int i = Index(name);
    q->GetParam(i)->value = value;
    q->ParamChanged(i);
  }

  std::string Display(const char* name) {
    char out[IPlugParam::kTextSize];
    Param(name).FormatValue(Param(name).value, false, out);
    return out;
  }

  Voice& V(int i) { return q->Pool().voices[i]; }

  std::vector<double> Values() {
    std::vector<double> v;
    for (int i = 0; i < q->NParams(); ++i) v.push_back(q->GetParam(i)->value);
    return v;
  }
};

inline MidiMessage Midi(int status, int d1, int d2, int offset = 0) {
  MidiMessage m;
  m.offset = offset;
  m.status = static_cast<uint8_t>(status);
  m.data1 = static_cast<uint8_t>(d1);
  m.data2 = static_cast<uint8_t>(d2);
  return m;
}

}  // namespace instrument_test

using instrument_test::Instrument;
using instrument_test::Midi;
