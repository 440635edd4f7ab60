#include "TestEnvironment.h"

#include <cstdlib>

void SetTestEnvironment(const char* name, const char* value) {
  // An empty value removes the variable on Windows.
  _putenv_s(name, value ? value : "");
}
