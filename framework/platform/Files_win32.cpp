#include "Files.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

// Narrow paths reach this file from two sides: UTF-8 from portable code and
// the ANSI code page from the system's own narrow functions (file dialogs,
// module path). Text that is valid UTF-8 is taken as UTF-8 (plain ASCII reads
// the same either way); anything else as the ANSI code page.
std::wstring Widen(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int size = static_cast<int>(s.size());
  UINT codePage = CP_UTF8;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), size, nullptr, 0);
  if (n <= 0) {
    codePage = CP_ACP;
    n = MultiByteToWideChar(CP_ACP, 0, s.data(), size, nullptr, 0);
  }
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), size, &w[0], n);
  return w;
}

}  // namespace

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  const std::wstring wpath = Widen(path);
  const std::wstring wmode = Widen(mode ? mode : "");
  if (wpath.empty() || wmode.empty()) return nullptr;
  return _wfopen(wpath.c_str(), wmode.c_str());
}
