#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Data carried inside the plug-in module (factory bank, editor images).

// Resources with a numeric identifier are named "#<number>" (e.g. "#3"), as the
// Windows resource functions accept them.
// Copies the resource of the given type and name into out; false when the
// module has no such resource (or it is empty).
bool LoadModuleResource(const char* type, const char* name, std::vector<uint8_t>* out);

// Where resources are not part of the module format, generated code registers
// its embedded blobs from static initializers. The data must stay valid for
// the life of the module. A later registration of the same type and name
// replaces the earlier one. (Does nothing where the system keeps resources.)
void RegisterEmbeddedResource(const char* type, const char* name, const uint8_t* data, size_t size);
