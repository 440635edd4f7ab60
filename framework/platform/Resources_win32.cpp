#include "Resources.h"

#include <windows.h>

#include "Module.h"

// Resources live in the module image; nothing to register.
void RegisterEmbeddedResource(const char*, const char*, const uint8_t*, size_t) {}

namespace {

// The module whose resources are searched: the library the host loaded,
// whose entry routine recorded its handle, or, where this code is linked
// straight into a program (the test program), that program itself.
HMODULE ResourceModule() {
  if (void* recorded = ModuleHandle()) return static_cast<HMODULE>(recorded);
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ResourceModule), &self)) {
    return nullptr;
  }
  return self;
}

}  // namespace

bool LoadModuleResource(const char* type, const char* name, std::vector<uint8_t>* out) {
  if (!type || !name || !out) return false;
  HMODULE module = ResourceModule();
  if (!module) return false;
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return false;
  HGLOBAL handle = LoadResource(module, info);
  if (!handle) return false;
  const DWORD size = SizeofResource(module, info);
  const void* data = size ? LockResource(handle) : nullptr;
  if (data) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out->assign(p, p + size);
  }
  // Resources of a loaded module need no unlocking; FreeResource is a no-op
  // kept for symmetry with the load.
  FreeResource(handle);
  return data != nullptr;
}
