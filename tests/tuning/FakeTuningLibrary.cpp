#include "FakeTuningLibrary.h"

#include "TuningClient.h"

FakeTuningLibrary::~FakeTuningLibrary() {
  ReloadTuningLibraryForTesting(nullptr);
  mControl.Close();
}

bool FakeTuningLibrary::Use(const char* path) {
  if (!path) {
    mControl.Close();
    ReloadTuningLibraryForTesting("/nonexistent/quarvi-no-such-libMTS");
    return true;
  }
  // Opened here first, so the test controls and the module share one loaded
  // copy, and reset before the module reads the tables at load.
  if (!mControl.Open(path)) return false;
  if (auto reset = SymbolAs<void (*)()>(mControl, "MTSTest_Reset")) reset();
  ReloadTuningLibraryForTesting(path);
  return true;
}

void FakeTuningLibrary::SetMaster(bool connected) {
  if (auto f = SymbolAs<void (*)(int)>(mControl, "MTSTest_SetMaster")) f(connected ? 1 : 0);
}

void FakeTuningLibrary::SetNoteFrequency(int note, double hz) {
  if (auto f = SymbolAs<void (*)(int, double)>(mControl, "MTSTest_SetNoteFrequency")) f(note, hz);
}

void FakeTuningLibrary::SetFilter(int note, bool filtered) {
  if (auto f = SymbolAs<void (*)(int, int)>(mControl, "MTSTest_SetFilter")) f(note, filtered);
}

int FakeTuningLibrary::Count(const char* name) const {
  auto f = SymbolAs<int (*)()>(mControl, name);
  return f ? f() : -1;
}
