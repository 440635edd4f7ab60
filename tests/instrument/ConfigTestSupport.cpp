#include "ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace cfgtest {

TempFolder::TempFolder(const char* tag) {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  unsigned salt = rd() ^ static_cast<unsigned>(
                              std::chrono::steady_clock::now().time_since_epoch().count());
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = base / (std::string(tag) + "-" + std::to_string(salt) + "-" +
                         std::to_string(counter.fetch_add(1)));
    if (fs::create_directory(p, ec)) {
      mPath = p.u8string();
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!mPath.empty()) fs::remove_all(fs::u8path(mPath), ec);
}

std::string TempFolder::Sub(const std::string& name) const {
  return (fs::u8path(mPath) / fs::u8path(name)).make_preferred().u8string();
}

bool WriteTextFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool ReadTextFile(const std::string& path, std::string* bytes) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return true;
}

std::string ReadTextFile(const std::string& path) {
  std::string s;
  ReadTextFile(path, &s);
  return s;
}

bool MakeFolder(const std::string& path) {
  std::error_code ec;
  return fs::create_directories(fs::u8path(path), ec);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::u8path(path), ec);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::u8path(folder), ec)) {
    names.push_back(e.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ScopedLocale::ScopedLocale(const std::vector<const char*>& names) {
  const char* current = std::setlocale(LC_ALL, nullptr);
  mSaved = current ? current : "C";
  for (const char* n : names) {
    if (std::setlocale(LC_ALL, n)) {
      mName = n;
      mActive = true;
      return;
    }
  }
}

ScopedLocale::~ScopedLocale() { std::setlocale(LC_ALL, mSaved.c_str()); }

std::vector<const char*> GermanLocaleNames() {
  return {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE.ISO-8859-1", "German_Germany.1252", "German",
          "fr_FR.UTF-8", "fr_FR.utf8", "fr_FR"};
}

std::vector<const char*> TurkishLocaleNames() {
  return {"tr_TR.ISO-8859-9", "tr_TR.iso88599", "tr_TR", "Turkish_Turkey.1254", "Turkish"};
}

namespace {

// Every instance the test process builds reads its settings from here: no
// test, whoever wrote it, creates a settings file in the user's folders.
class TestSettingsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { OverrideConfigLocations(&DefaultTestConfigLocations()); }
  void TearDown() override {
    OverrideConfigLocations(nullptr);
    std::error_code ec;
    fs::remove_all(fs::u8path(Root().Path()), ec);
  }
  static TempFolder& Root() {
    static TempFolder folder("quarvi-settings");
    return folder;
  }
};

::testing::Environment* const gSettingsEnvironment =
    ::testing::AddGlobalTestEnvironment(new TestSettingsEnvironment);

}  // namespace

const ConfigLocations& DefaultTestConfigLocations() {
  static ConfigLocations locations = [] {
    ConfigLocations l;
    TempFolder& root = TestSettingsEnvironment::Root();
    l.settingsFolder = root.Sub("KestrelSoundMusic");
    l.documentsFolder = root.Sub("Documents");
    l.pluginFolder = root.Sub("plugin");
    MakeFolder(l.documentsFolder);
    MakeFolder(l.pluginFolder);
    return l;
  }();
  return locations;
}

}  // namespace cfgtest
