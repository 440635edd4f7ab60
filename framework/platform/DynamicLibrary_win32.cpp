#include "platform/DynamicLibrary.h"

#include <windows.h>

bool DynamicLibrary::Open(const char* path) {
  Close();
  if (!path || !*path) return false;
  // A library that is missing or broken must not make Windows put up an
  // error box in the host: the caller just goes on without it.
  DWORD previousMode = 0;
  const BOOL modeSet =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  mHandle = reinterpret_cast<void*>(LoadLibraryA(path));
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
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
