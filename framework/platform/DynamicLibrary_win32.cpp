#include "platform/DynamicLibrary.h"

#include <windows.h>

bool DynamicLibrary::Open(const char* path) {
  Close();
  if (!path || !*path) return false;
  mHandle = reinterpret_cast<void*>(LoadLibraryA(path));
  return mHandle != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!mHandle || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}

void DynamicLibrary::Close() {
  if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
  mHandle = nullptr;
}

std::vector<std::string> DynamicLibrary::SystemLibraryPaths(const char* windowsName, const char*) {
  std::vector<std::string> paths;
  if (!windowsName || !*windowsName) return paths;
  char dir[MAX_PATH];
  const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return paths;  // no directory, or it did not fit
  paths.push_back(std::string(dir) + "\\" + windowsName);
  return paths;
}
