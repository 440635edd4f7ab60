// One libFuzzer target per loader: the build compiles this file once for
// each, with QUARVI_FUZZ_TARGET naming the loader ("state", "fxb", ...).
// Each input goes through the same steps as the regression test that
// replays saved inputs (tests/hardening/LoaderChecks.h); a failed check
// aborts, so libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "Config.h"
#include "LoaderChecks.h"

#ifndef QUARVI_FUZZ_TARGET
#error "QUARVI_FUZZ_TARGET must name a loader"
#endif

namespace {

LoaderTarget gTarget;
std::string gScratch;

void RemoveScratch() {
  std::error_code ec;
  if (!gScratch.empty()) std::filesystem::remove_all(gScratch, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!LoaderTargetFromName(QUARVI_FUZZ_TARGET, &gTarget)) {
    std::fprintf(stderr, "unknown loader %s\n", QUARVI_FUZZ_TARGET);
    std::abort();
  }
  // Instances must never read or write the user's settings, and must not
  // read the settings text the profile target writes either: no settings
  // folder at all for them, a scratch folder of its own for the reader.
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  char name[64];
  std::snprintf(name, sizeof(name), "quarvi-fuzz-%s-%ld", QUARVI_FUZZ_TARGET, static_cast<long>(getpid()));
  std::filesystem::path scratch = base / name;
  std::filesystem::create_directories(scratch, ec);
  gScratch = scratch.string();
  std::atexit(RemoveScratch);

  static ConfigLocations none;
  none.settingsFolder.clear();
  none.documentsFolder = gScratch;
  none.pluginFolder.clear();
  OverrideConfigLocations(&none);
  SetLoaderScratchFolder(gScratch);
  // QUARVI_FUZZ_FRESH=1: a new instance for every input, as the replay test
  // does (slower; for checking that a saved input fails on its own).
  const char* fresh = std::getenv("QUARVI_FUZZ_FRESH");
  SetLoaderInstanceReuse(!(fresh && *fresh == '1'));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!RunLoaderInput(gTarget, data, size, &failure)) {
    std::fprintf(stderr, "quarvi-fuzz-%s: %s\n", QUARVI_FUZZ_TARGET, failure.c_str());
    std::abort();
  }
  return 0;
}
