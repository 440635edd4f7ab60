#pragma once
#include <cstdio>
#include <string>

// File services that differ between systems. Paths are UTF-8; on Windows a
// path that is not valid UTF-8 is read in the ANSI code page, so paths from
// the system's narrow functions (file dialogs, ModuleFolder) work as well.

// fopen with a UTF-8 path; null when the file cannot be opened.
FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Writing goes through ReplaceFileAtomically (platform/Folders.h).
