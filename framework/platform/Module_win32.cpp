#include "Module.h"

#include <windows.h>

#include <string>

namespace {
HMODULE gModule = nullptr;
}

// The system loader calls this on every attach and detach; each call records
// the handle of this library so that its resources and path can be found.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
  gModule = instance;
  return TRUE;
}

void* ModuleHandle() { return gModule; }

// In the system's narrow (ANSI) encoding, like the other folder services.
std::string ModuleFolder() {
  if (!gModule) return std::string();
  char buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(gModule, buf, static_cast<DWORD>(sizeof(buf)));
  if (n == 0 || n >= sizeof(buf)) return std::string();
  std::string path(buf, n);
  const size_t sep = path.find_last_of("\\/");
  if (sep == std::string::npos) return std::string();
  path.resize(sep);
  return path;
}
