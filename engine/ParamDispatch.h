#pragma once

// Quarvi::ParamChanged (engine/ParamDispatch.cpp) maps each parameter index
// through a table row. The name of the row that handles index (the row is
// written once for the first oscillator, formant, bus, LFO or envelope of a
// block), or nullptr outside 0..115: lets tests check the dispatch tables
// against the parameter table.
const char* DispatchRowName(int index);

// What the 64 voices were last given, per parameter, so that the dispatch can
// leave out work that changes nothing: pushing a value the voices already
// hold, and, while a bank loads, pushing values that the next program
// overwrites before anything reads them. One per instrument.
struct DispatchMemory {
  static constexpr int kParams = 116;
  double pushed[kParams];     // plain value the voices hold
  bool known[kParams] = {};   // pushed[] is valid
  double pending[kParams];    // value for the voices, held back during a bank load
  double pendingPlain[kParams];
  bool hasPending[kParams] = {};
  int bulkDepth = 0;          // bank loads in progress
  bool notesOffInBulk = false;  // all notes were released since the last voice push of the bank load
};

// Forces the straightforward dispatch: every change pushed to every voice at
// once, as if nothing were known about the voices (process-wide; for the
// tests and the benchmark that compare both).
void SetStraightforwardDispatch(bool on);
bool StraightforwardDispatch();
