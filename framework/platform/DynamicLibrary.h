#pragma once
#include <string>
#include <vector>

// Run-time loading of a shared library and lookup of its exported functions.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at path (closing any library held before). False when
  // it cannot be loaded; nothing is reported to the user.
  bool Open(const char* path);
  // Address of an exported symbol, or null when absent or nothing is open.
  void* Symbol(const char* name) const;
  // Releases the library; symbols obtained from it become invalid.
  void Close();
  bool IsOpen() const { return mHandle != nullptr; }

  // Full paths, in search order, where a library installed in the system's
  // shared-library folders would be found: windowsName in the Windows system
  // directory, posixName in /usr/local/lib and then /usr/lib.
  static std::vector<std::string> SystemLibraryPaths(const char* windowsName,
                                                     const char* posixName);

 private:
  void* mHandle = nullptr;
};

// Converts a symbol address to a function pointer type.
template <class Fn>
Fn SymbolAs(const DynamicLibrary& lib, const char* name) {
  return reinterpret_cast<Fn>(lib.Symbol(name));
}
