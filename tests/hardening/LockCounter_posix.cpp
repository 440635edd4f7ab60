#include "LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

// ThreadSanitizer intercepts these functions itself; replacing them would
// hide every lock from it and make it report races that are not there.
#if defined(__SANITIZE_THREAD__)
#define QUARVI_COUNT_LOCKS 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUARVI_COUNT_LOCKS 0
#endif
#endif
#ifndef QUARVI_COUNT_LOCKS
#define QUARVI_COUNT_LOCKS 1
#endif

#if QUARVI_COUNT_LOCKS

namespace {

thread_local long tLocks = 0;

// The next definition of each function after this executable's (the C
// library's, or a sanitizer's wrapper of it), looked up on first use. No
// function-local statics here: their guards may take a mutex themselves.
template <class Fn>
Fn Next(Fn* cache, const char* name) {
  Fn f = __atomic_load_n(cache, __ATOMIC_ACQUIRE);
  if (!f) {
    f = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    __atomic_store_n(cache, f, __ATOMIC_RELEASE);
  }
  return f;
}

using MutexFn = int (*)(pthread_mutex_t*);
using RwlockFn = int (*)(pthread_rwlock_t*);
MutexFn gMutexLock, gMutexTrylock;
RwlockFn gRdlock, gWrlock, gTryRdlock, gTryWrlock;

}  // namespace

extern "C" {

int pthread_mutex_lock(pthread_mutex_t* m) {
  ++tLocks;
  return Next(&gMutexLock, "pthread_mutex_lock")(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
  ++tLocks;
  return Next(&gMutexTrylock, "pthread_mutex_trylock")(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
  ++tLocks;
  return Next(&gRdlock, "pthread_rwlock_rdlock")(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
  ++tLocks;
  return Next(&gWrlock, "pthread_rwlock_wrlock")(l);
}
int pthread_rwlock_tryrdlock(pthread_rwlock_t* l) {
  ++tLocks;
  return Next(&gTryRdlock, "pthread_rwlock_tryrdlock")(l);
}
int pthread_rwlock_trywrlock(pthread_rwlock_t* l) {
  ++tLocks;
  return Next(&gTryWrlock, "pthread_rwlock_trywrlock")(l);
}

}  // extern "C"

bool LockCountingAvailable() { return true; }
long LocksTakenOnThisThread() { return tLocks; }

#else

bool LockCountingAvailable() { return false; }
long LocksTakenOnThisThread() { return 0; }

#endif
