#include "platform/Profile.h"

#include <cstring>
#include <mutex>

#include "platform/Folders.h"
#include "platform/ProfileDoc.h"

namespace {

// Serializes the read-modify-write cycles of all instances in the process, so
// that two writers never drop each other's keys.
std::mutex& WriteMutex() {
  static std::mutex m;
  return m;
}

// Loads the file for a change. A missing file is an empty document; a file
// that exists but cannot be read must not be overwritten.
bool LoadForChange(const std::string& file, ProfileDoc* doc, bool* existed) {
  *existed = PathExists(file);
  if (!*existed) {
    *doc = ProfileDoc();
    return true;
  }
  std::string text;
  if (!ReadWholeFile(file, &text)) return false;
  ParseProfile(text, doc);
  return true;
}

}  // namespace

int ReadProfileValue(const std::string& file, const char* section, const char* key,
                     const char* def, char* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  std::string value = def ? def : "";
  std::string text;
  if (section && key && ReadWholeFile(file, &text)) {
    ProfileDoc doc;
    ParseProfile(text, &doc);
    doc.Lookup(section, key, &value);
  }
  size_t n = value.size() < static_cast<size_t>(capacity - 1) ? value.size()
                                                              : static_cast<size_t>(capacity - 1);
  memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

bool WriteProfileValue(const std::string& file, const char* section, const char* key,
                       const char* value) {
  if (!section || !key) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  ProfileDoc doc;
  bool existed = false;
  if (!LoadForChange(file, &doc, &existed)) return false;
  if (value) {
    if (!doc.Set(section, key, value)) return false;
  } else {
    if (!existed) return true;
    doc.RemoveKey(section, key);
  }
  return ReplaceFileAtomically(file, doc.Serialize());
}

bool EraseProfileSection(const std::string& file, const char* section) {
  if (!section) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  ProfileDoc doc;
  bool existed = false;
  if (!LoadForChange(file, &doc, &existed)) return false;
  if (!existed) return true;
  doc.EraseSection(section);
  return ReplaceFileAtomically(file, doc.Serialize());
}

bool ReplaceProfileSection(const std::string& file, const char* section,
                           const std::vector<std::pair<std::string, std::string>>& entries) {
  if (!section) return false;
  std::lock_guard<std::mutex> lock(WriteMutex());
  ProfileDoc doc;
  bool existed = false;
  if (!LoadForChange(file, &doc, &existed)) return false;
  doc.EraseSection(section);
  for (const auto& e : entries) {
    if (!doc.Set(section, e.first, e.second)) return false;
  }
  if (!existed && entries.empty()) return true;
  return ReplaceFileAtomically(file, doc.Serialize());
}
