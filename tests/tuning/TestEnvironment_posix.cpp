#include "TestEnvironment.h"

#include <cstdlib>

void SetTestEnvironment(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}
