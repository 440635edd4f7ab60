#include "Files.h"

#include <cstdio>

FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

// rename() replaces the target atomically on the same file system.
bool ReplaceFileUtf8(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

bool RemoveFileUtf8(const std::string& path) { return std::remove(path.c_str()) == 0; }
