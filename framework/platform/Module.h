#pragma once
#include <string>

// The plug-in module itself (the library the host loaded).

// The module handle recorded by the library's entry routine (Windows); null
// when unknown and on systems without one.
void* ModuleHandle();

// The folder that contains the module file, without a trailing separator;
// empty when it cannot be determined. On Windows in the ANSI code page (the
// encoding of the other folder services), elsewhere the file system's bytes.
std::string ModuleFolder();
