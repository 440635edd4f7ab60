#include "platform/Profile.h"
#include "platform/WideText_win32.h"

#include <windows.h>

#include <cstring>
#include <vector>

// Our text is UTF-8; the wide profile functions take it as UTF-16 and keep a
// file that has no Unicode signature in the system's ANSI code page, so the
// file is the same as with the ANSI functions while the settings path itself
// may hold any character.
//
// A value the ANSI code page cannot hold (a bank path with "Ω" on a Western
// system) would be written with question marks and lost. Such a value is
// kept as its UTF-8 bytes instead, and a value read back whose bytes are
// UTF-8 beyond ASCII is taken as UTF-8. Values the code page can hold are
// written as before, so older files and other readers see no change.

namespace {

// The text in the ANSI code page, when every character has a place there.
bool ToAnsi(const std::wstring& w, std::string* out) {
  out->clear();
  if (w.empty()) return true;
  BOOL lossy = FALSE;
  const int len = static_cast<int>(w.size());
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), len, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  out->assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), len, &(*out)[0], n, nullptr, &lossy);
  return !lossy;
}

std::wstring FromAnsi(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int len = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, &w[0], n);
  return w;
}

bool IsUtf8BeyondAscii(const std::string& bytes) {
  bool beyond = false;
  for (unsigned char c : bytes) beyond = beyond || c >= 0x80;
  return beyond && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                       static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

// What the wide function is given so that the file receives the value: the
// text itself when the code page holds it, otherwise the UTF-8 bytes spelt
// as code page characters (which the function turns back into those bytes).
std::wstring ValueForFile(const char* value) {
  const std::wstring w = WidenUtf8OrAnsi(value);
  std::string ansi;
  if (ToAnsi(w, &ansi)) return w;
  const std::string utf8 = NarrowToUtf8(w.data(), static_cast<int>(w.size()));
  return FromAnsi(utf8);
}

// The value as read: UTF-8 bytes kept by ValueForFile come back as they
// were; anything else is the text the file holds.
std::string ValueFromFile(const wchar_t* w, int len) {
  std::string bytes;
  if (ToAnsi(std::wstring(w, static_cast<size_t>(len)), &bytes) && IsUtf8BeyondAscii(bytes)) return bytes;
  return NarrowToUtf8(w, len);
}

// Line breaks would split a value into lines of their own, and '=' in a key
// would move the split; the system writes such text as it is.
bool Storable(const char* key, const char* value) {
  if (key && (!*key || strpbrk(key, "\r\n="))) return false;
  return !(value && strpbrk(value, "\r\n"));
}

// Copies at most capacity - 1 bytes of text, never cutting a UTF-8 sequence.
int CopyOut(const std::string& text, char* out, int capacity) {
  size_t n = text.size();
  if (n > static_cast<size_t>(capacity - 1)) {
    n = static_cast<size_t>(capacity - 1);
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

}  // namespace

int ReadProfileValue(const std::string& file, const char* section, const char* key,
                     const char* def, char* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  if (!section || !key) return CopyOut(def ? def : "", out, capacity);  // null names list names
  std::wstring wdef = WidenUtf8OrAnsi(def);
  // Room for a value of capacity - 1 characters, which is at least as many
  // as the same text has bytes.
  std::vector<wchar_t> buffer(static_cast<size_t>(capacity) + 1);
  DWORD n = GetPrivateProfileStringW(WidenUtf8OrAnsi(section).c_str(), WidenUtf8OrAnsi(key).c_str(), wdef.c_str(),
                                     buffer.data(), static_cast<DWORD>(capacity),
                                     WidenUtf8OrAnsi(file.c_str()).c_str());
  return CopyOut(ValueFromFile(buffer.data(), static_cast<int>(n)), out, capacity);
}

bool WriteProfileValue(const std::string& file, const char* section, const char* key,
                       const char* value) {
  if (!section || !key || !Storable(key, value)) return false;
  std::wstring wvalue = ValueForFile(value);
  return WritePrivateProfileStringW(WidenUtf8OrAnsi(section).c_str(), WidenUtf8OrAnsi(key).c_str(),
                                    value ? wvalue.c_str() : nullptr,
                                    WidenUtf8OrAnsi(file.c_str()).c_str()) != 0;
}

bool EraseProfileSection(const std::string& file, const char* section) {
  if (!section) return false;
  return WritePrivateProfileStringW(WidenUtf8OrAnsi(section).c_str(), nullptr, nullptr,
                                    WidenUtf8OrAnsi(file.c_str()).c_str()) != 0;
}

bool ReplaceProfileSection(const std::string& file, const char* section,
                           const std::vector<std::pair<std::string, std::string>>& entries) {
  if (!section) return false;
  bool ok = EraseProfileSection(file, section);
  for (const auto& e : entries) {
    if (!WriteProfileValue(file, section, e.first.c_str(), e.second.c_str())) ok = false;
  }
  return ok;
}
