#pragma once

// Counts the locks the calling thread takes: every pthread mutex lock or
// try-lock and every read or write lock of a pthread rwlock (std::mutex,
// std::recursive_mutex, std::shared_mutex and anything else built on them).
// The test executable replaces those functions with counting versions that
// forward to the C library, where the platform allows it.
//
//   long before = LocksTakenOnThisThread();
//   plug->ProcessBlock(...);
//   EXPECT_EQ(LocksTakenOnThisThread() - before, 0);

// False where locks cannot be counted (Windows; a ThreadSanitizer build,
// whose own interceptors must see every lock).
bool LockCountingAvailable();
long LocksTakenOnThisThread();
