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

std::string ModuleFolder() {
  if (!gModule) return std::string();
  wchar_t buf[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(gModule, buf, static_cast<DWORD>(sizeof(buf) / sizeof(buf[0])));
  if (n == 0 || n >= sizeof(buf) / sizeof(buf[0])) return std::string();
  std::wstring path(buf, n);
  const size_t sep = path.find_last_of(L"\\/");
  if (sep == std::wstring::npos) return std::string();
  path.resize(sep);
  const int len = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0,
                                      nullptr, nullptr);
  if (len <= 0) return std::string();
  std::string out(static_cast<size_t>(len), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), &out[0], len, nullptr,
                      nullptr);
  return out;
}
