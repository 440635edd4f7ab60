// Replays, for every loader, the seed corpus of its fuzz target
// (fuzz/corpus/<target>/) and every saved input that once broke it
// (tests/data/fuzz/<target>/) through the same steps the fuzz target runs:
// the loader on a fresh instance, then the checks of CheckInstance. Part of
// quarvi_tests, so the inputs also run under the sanitizers and under wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../instrument/ConfigTestSupport.h"
#include "LoaderChecks.h"

namespace {

class FuzzReplay : public ::testing::TestWithParam<LoaderTarget> {};

std::vector<std::string> InputsOf(LoaderTarget t) {
  std::vector<std::string> files;
  for (const char* root : {"/fuzz/corpus/", "/tests/data/fuzz/"}) {
    for (const std::string& f : FilesInFolder(std::string(QUARVI_SOURCE_DIR) + root + LoaderTargetName(t))) {
      files.push_back(f);
    }
  }
  return files;
}

TEST_P(FuzzReplay, EveryInputLeavesAWorkingInstance) {
  cfgtest::TempFolder scratch("quarvi-fuzz-replay");
  ASSERT_TRUE(scratch.Ok());
  SetLoaderScratchFolder(scratch.Path());
  const std::vector<std::string> files = InputsOf(GetParam());
  // Every loader has seeds; an empty list means the folders were not found.
  ASSERT_FALSE(files.empty()) << "no inputs for " << LoaderTargetName(GetParam());
  for (const std::string& f : files) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFileBytes(f, &bytes)) << f;
    std::string failure;
    EXPECT_TRUE(RunLoaderInput(GetParam(), bytes.data(), bytes.size(), &failure)) << f << ": " << failure;
  }
  SetLoaderScratchFolder("");
}

INSTANTIATE_TEST_SUITE_P(Loaders, FuzzReplay,
                         ::testing::Values(LoaderTarget::State, LoaderTarget::Presets, LoaderTarget::ProgramFile,
                                           LoaderTarget::BankFile, LoaderTarget::BankChunk,
                                           LoaderTarget::ProgramChunk, LoaderTarget::Profile,
                                           LoaderTarget::MidiFile, LoaderTarget::Png),
                         [](const ::testing::TestParamInfo<LoaderTarget>& info) {
                           std::string name = LoaderTargetName(info.param);
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
