#pragma once

// Sets (value non-null) or removes (value null) an environment variable of
// this process, for tests that steer code which reads the environment.
void SetTestEnvironment(const char* name, const char* value);
