#include "platform/WideText_win32.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

std::wstring Widen(const char* s, int len) {
  if (!s || len <= 0) return std::wstring();
  UINT codePage = CP_UTF8;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s, len, nullptr, 0);
  if (n <= 0) {
    codePage = CP_ACP;
    n = MultiByteToWideChar(CP_ACP, 0, s, len, nullptr, 0);
  }
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s, len, &w[0], n);
  return w;
}

}  // namespace

std::wstring WidenUtf8OrAnsi(const char* text) {
  return text ? Widen(text, static_cast<int>(std::strlen(text))) : std::wstring();
}

std::wstring WidenUtf8OrAnsi(const std::string& text) {
  return Widen(text.data(), static_cast<int>(text.size()));
}

std::string NarrowToUtf8(const wchar_t* text, int len) {
  if (!text) return std::string();
  if (len < 0) len = static_cast<int>(std::wcslen(text));
  if (len == 0) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, len, &s[0], n, nullptr, nullptr);
  return s;
}

std::string NarrowToUtf8(const std::wstring& text) {
  return NarrowToUtf8(text.data(), static_cast<int>(text.size()));
}
