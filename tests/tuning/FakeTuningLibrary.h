#pragma once
#include "platform/DynamicLibrary.h"

// Test helper: makes one of the stand-in tuning libraries (built from
// tests/mts) the module's tuning library, and reaches its test controls.
// The paths come from the compile definitions QUARVI_FAKE_MTS_FULL,
// QUARVI_FAKE_MTS_PARTIAL and QUARVI_FAKE_MTS_NO_TABLE. Destroy every
// TuningClient before the helper goes away: the destructor loads the default
// (normally absent) library again.
class FakeTuningLibrary {
 public:
  FakeTuningLibrary() = default;
  ~FakeTuningLibrary();
  FakeTuningLibrary(const FakeTuningLibrary&) = delete;
  FakeTuningLibrary& operator=(const FakeTuningLibrary&) = delete;

  // Loads the library at path with every setting reset (no master, equal
  // temperament, nothing filtered). Null: points the module at a library
  // that does not exist. False when path cannot be opened.
  bool Use(const char* path);

  void SetMaster(bool connected);
  void SetNoteFrequency(int note, double hz);
  void SetFilter(int note, bool filtered);
  // One of the library's MTSTest_ counters, e.g. "MTSTest_RegisterCount".
  int Count(const char* name) const;

 private:
  DynamicLibrary mControl;
};
