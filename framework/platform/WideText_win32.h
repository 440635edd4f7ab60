#pragma once
#include <string>

// Our text is UTF-8; the system's wide functions take UTF-16. These are the
// conversions every Windows seam uses.

// UTF-8, or, for text that is not valid UTF-8 (a path from one of the
// system's narrow functions), the ANSI code page. Empty for null or "".
std::wstring WidenUtf8OrAnsi(const char* text);
std::wstring WidenUtf8OrAnsi(const std::string& text);

// UTF-16 to UTF-8; len < 0 reads up to the terminator.
std::string NarrowToUtf8(const wchar_t* text, int len = -1);
std::string NarrowToUtf8(const std::wstring& text);
