#pragma once
#include <string>
#include <vector>

#include "Config.h"

// Helpers of the settings tests; a namespace of their own keeps them apart
// from other test helpers of the same names.
namespace cfgtest {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes. Paths are UTF-8 like the settings
// code's.
class TempFolder {
 public:
  explicit TempFolder(const char* tag = "quarvi-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Ok() const { return !mPath.empty(); }
  const std::string& Path() const { return mPath; }
  // A path inside the folder (the name may hold '/' on every system).
  std::string Sub(const std::string& name) const;

 private:
  std::string mPath;
};

bool WriteTextFile(const std::string& path, const std::string& bytes);
bool ReadTextFile(const std::string& path, std::string* bytes);
std::string ReadTextFile(const std::string& path);
bool MakeFolder(const std::string& path);
bool Exists(const std::string& path);

// Names of the entries of a folder, sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// The locations every instance built in the test process uses unless a test
// sets its own: empty folders under the temporary folder, never the user's.
const ConfigLocations& DefaultTestConfigLocations();

// Sets the locations for instances built while the object lives, then goes
// back to the test process's default.
class ScopedConfigLocations {
 public:
  explicit ScopedConfigLocations(const ConfigLocations& l) { OverrideConfigLocations(&l); }
  ~ScopedConfigLocations() { OverrideConfigLocations(&DefaultTestConfigLocations()); }
};

// Switches the C locale of the process for a test and restores it after.
class ScopedLocale {
 public:
  // Tries the names in order; Active() tells whether one was accepted.
  explicit ScopedLocale(const std::vector<const char*>& names);
  ~ScopedLocale();
  bool Active() const { return mActive; }
  const std::string& Name() const { return mName; }

 private:
  std::string mSaved;
  std::string mName;
  bool mActive = false;
};

// Names under which systems know a German locale (decimal comma) and a
// Turkish one (whose single-byte case mapping turns 'I' into a dotless i).
std::vector<const char*> GermanLocaleNames();
std::vector<const char*> TurkishLocaleNames();

}  // namespace cfgtest
