// The library's entry points: a host finds VSTPluginMain (or, in older hosts,
// main) by name and calls it once per plug-in instance.
//
// Only these symbols leave the library. On Linux the link gives main as a
// second name of VSTPluginMain and a version script hides everything else; on
// Windows a module-definition file exports both names.

#include <mutex>

#include "IPlugVST.h"

#if defined(__GNUC__)
#define QUARVI_ENTRY_EXPORT __attribute__((visibility("default")))
#else
#define QUARVI_ENTRY_EXPORT
#endif

namespace {

constexpr int kProgramSlots = 64;

// Serializes instance creation across the whole process: constructing an
// instance touches process-wide state (configuration, locale, tuning).
// Created on first use, released at process exit.
std::mutex& EntryLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

extern "C" QUARVI_ENTRY_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
  std::lock_guard<std::mutex> guard(EntryLock());
  IPlugVST* plug = nullptr;
  // Nothing may unwind into the host: a creation that runs out of memory is
  // a failed creation.
  try {
    plug = CreateInstrument(host);
  } catch (...) {
    plug = nullptr;
  }
  if (!plug) return nullptr;
  plug->FillEmptyPrograms(kProgramSlots);
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms <= 0) effect->numPrograms = 1;
  return effect;
}
