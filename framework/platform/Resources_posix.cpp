#include "Resources.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::string type, name;
  const uint8_t* data;
  size_t size;
};

// Function-local statics: registrations run from other translation units'
// static initializers, in no defined order relative to this file.
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

void RegisterEmbeddedResource(const char* type, const char* name, const uint8_t* data, size_t size) {
  if (!type || !name) return;
  std::lock_guard<std::mutex> g(RegistryLock());
  for (Entry& e : Registry()) {
    if (e.type == type && e.name == name) {
      e.data = data;
      e.size = size;
      return;
    }
  }
  Registry().push_back(Entry{type, name, data, size});
}

bool LoadModuleResource(const char* type, const char* name, std::vector<uint8_t>* out) {
  if (!type || !name || !out) return false;
  std::lock_guard<std::mutex> g(RegistryLock());
  for (const Entry& e : Registry()) {
    if (e.type == type && e.name == name) {
      if (!e.data || e.size == 0) return false;
      out->assign(e.data, e.data + e.size);
      return true;
    }
  }
  return false;
}
