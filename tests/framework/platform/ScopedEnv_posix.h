#pragma once
// Sets (or, with a null value, removes) an environment variable for a
// test's duration and puts back what was there.
#include <stdlib.h>

#include <string>

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : mName(name) {
    const char* old = getenv(name);
    mHad = old != nullptr;
    if (old) mOld = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (mHad) {
      setenv(mName.c_str(), mOld.c_str(), 1);
    } else {
      unsetenv(mName.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string mName, mOld;
  bool mHad = false;
};
