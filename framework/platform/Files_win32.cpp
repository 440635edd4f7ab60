#include "Files.h"

#include "platform/WideText_win32.h"

#include <windows.h>

#include <string>
#include <vector>

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  const std::wstring wpath = WidenUtf8OrAnsi(path);
  const std::wstring wmode = WidenUtf8OrAnsi(mode ? mode : "");
  if (wpath.empty() || wmode.empty()) return nullptr;
  return _wfopen(wpath.c_str(), wmode.c_str());
}
