#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

bool DynamicLibrary::Open(const char* path) {
  Close();
  if (!path || !*path) return false;
  mHandle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  return mHandle != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!mHandle || !name) return nullptr;
  return dlsym(mHandle, name);
}

void DynamicLibrary::Close() {
  if (mHandle) dlclose(mHandle);
  mHandle = nullptr;
}

std::vector<std::string> DynamicLibrary::SystemLibraryPaths(const char*, const char* posixName) {
  std::vector<std::string> paths;
  if (!posixName || !*posixName) return paths;
  paths.push_back(std::string("/usr/local/lib/") + posixName);
  paths.push_back(std::string("/usr/lib/") + posixName);
  return paths;
}
