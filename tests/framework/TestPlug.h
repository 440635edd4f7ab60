#pragma once
// A small plug-in on top of IPlugBase for the framework tests: four
// parameters of different kinds and the base's default state (the plain
// parameter values).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>


#include "IPlugBase.h"

// Own namespace: other test folders have helpers of the same names.
namespace fwtest {

constexpr int kTestUniqueID = 0x33333135;  // "3315"
constexpr int kTestParams = 4;

class TestPlug : public IPlugBase {
 public:
  explicit TestPlug(const char* channels = "0-2")
      : IPlugBase(kTestParams, channels, 64, "Quarvi", "", "Kestrel Sound Music", 0x00020004,
                  kTestUniqueID, 0, true, true, true) {
    static const char* const kModes[] = {"Fixed", "Partial", "Ring"};
    GetParam(0)->SetupDouble("Level", 0.5, 0.0, 1.0, 0.01, 1.0);
    GetParam(1)->SetupInt("Semis", 0, -24, 24);
    GetParam(2)->SetupEnum("Mode", 0, 3, kModes);
    GetParam(3)->SetupBool("Glide", false);
  }

  void ParamChanged(int index) override { changed.push_back(index); }
  void NotifyHostParamChanged(int index, double normalized) override {
    notified.emplace_back(index, normalized);
  }
  void NotifyHostProgramChanged() override { ++programChanges; }
  void PresetsChangedByHost() override { ++presetChanges; }

  void SetValues(double a, double b, double c, double d) {
    GetParam(0)->value = a;
    GetParam(1)->value = b;
    GetParam(2)->value = c;
    GetParam(3)->value = d;
  }
  std::vector<double> Values() const {
    std::vector<double> v;
    for (int i = 0; i < NParams(); ++i) v.push_back(GetParam(i)->value);
    return v;
  }
  // A state as the default serializer writes it.
  static ChunkBuffer State(double a, double b, double c, double d) {
    ChunkBuffer s;
    s.Put(a);
    s.Put(b);
    s.Put(c);
    s.Put(d);
    return s;
  }
  // Gives every program a distinct name and state.
  void FillDistinct() {
    for (int i = 0; i < NPresets(); ++i) {
      IPlugPreset* p = GetPreset(i);
      p->initialized = true;
      std::snprintf(p->name, sizeof(p->name), "Program %d", i);
      p->chunk = State(i / 100.0, i % 49 - 24, i % 3, i % 2);
    }
  }

  std::vector<int> changed;
  std::vector<std::pair<int, double>> notified;
  int programChanges = 0;
  int presetChanges = 0;
};

// Everything a failed load must leave as it was.
struct PlugSnapshot {
  std::vector<double> values;
  std::vector<std::string> names;
  std::vector<bool> initialized;
  std::vector<ChunkBuffer> chunks;
  int current = 0;

  explicit PlugSnapshot(TestPlug& p) : values(p.Values()), current(p.GetCurrentPresetIdx()) {
    for (int i = 0; i < p.NPresets(); ++i) {
      names.push_back(p.GetPreset(i)->name);
      initialized.push_back(p.GetPreset(i)->initialized);
      chunks.push_back(p.GetPreset(i)->chunk);
    }
  }
  bool operator==(const PlugSnapshot& o) const {
    return values == o.values && names == o.names && initialized == o.initialized &&
           chunks == o.chunks && current == o.current;
  }
};

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::random_device rd;
    for (int attempt = 0; attempt < 100 && mPath.empty(); ++attempt) {
      const std::filesystem::path p = base / ("quarvi-fw-" + std::to_string(rd()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(p, ec)) mPath = p.generic_string();
    }
  }
  ~TempFolder() {
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  const std::string& Path() const { return mPath; }
  std::string File(const char* name) const { return mPath + "/" + name; }

 private:
  std::string mPath;
};

}  // namespace fwtest

using fwtest::PlugSnapshot;
using fwtest::TempFolder;
using fwtest::TestPlug;
using fwtest::kTestParams;
using fwtest::kTestUniqueID;
