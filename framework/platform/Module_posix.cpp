#include "Module.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <string>

void* ModuleHandle() { return nullptr; }

// dladdr on an address inside this library names the shared object it was
// loaded from (the executable when linked statically, as in the tests).
std::string ModuleFolder() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) || !info.dli_fname) return std::string();
  // The name is the one the loader was given, possibly relative: resolve it
  // now, before anyone changes the working folder.
  std::string path = info.dli_fname;
  if (char* real = realpath(info.dli_fname, nullptr)) {
    path = real;
    free(real);
  }
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}
