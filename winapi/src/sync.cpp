// Critical sections over a recursive host mutex. The mutex lives beside the
// structure (its address in LockSemaphore), so that a CRITICAL_SECTION may sit in
// any memory, as the page heap's sits in its first page; LockCount,
// RecursionCount and OwningThread are kept as NT keeps them.
#include <windows.h>

#include <pthread.h>

#include <cstdio>
#include <cstdlib>

namespace {

pthread_mutex_t *MutexOf(LPCRITICAL_SECTION section) {
  auto *mutex = static_cast<pthread_mutex_t *>(section->LockSemaphore);
  if (!mutex) {
    // Entering a section that was never initialised (or already deleted) is a
    // program error that NT does not survive either; say so rather than corrupt.
    std::fputs("winapi: critical section used without InitializeCriticalSection\n", stderr);
    std::abort();
  }
  return mutex;
}

HANDLE ThisThread() { return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(pthread_self())); }

} // namespace

extern "C" {

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  auto *mutex = new pthread_mutex_t;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  lpCriticalSection->DebugInfo = nullptr;
  lpCriticalSection->LockCount = -1;
  lpCriticalSection->RecursionCount = 0;
  lpCriticalSection->OwningThread = nullptr;
  lpCriticalSection->LockSemaphore = mutex;
  lpCriticalSection->SpinCount = 0;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutex_lock(MutexOf(lpCriticalSection));
  ++lpCriticalSection->LockCount;
  ++lpCriticalSection->RecursionCount;
  lpCriticalSection->OwningThread = ThisThread();
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (pthread_mutex_trylock(MutexOf(lpCriticalSection)) != 0) return FALSE;
  ++lpCriticalSection->LockCount;
  ++lpCriticalSection->RecursionCount;
  lpCriticalSection->OwningThread = ThisThread();
  return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  pthread_mutex_t *mutex = MutexOf(lpCriticalSection);
  if (lpCriticalSection->RecursionCount <= 0 || lpCriticalSection->OwningThread != ThisThread()) return;
  --lpCriticalSection->LockCount;
  if (--lpCriticalSection->RecursionCount == 0) lpCriticalSection->OwningThread = nullptr;
  pthread_mutex_unlock(mutex);
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  auto *mutex = static_cast<pthread_mutex_t *>(lpCriticalSection->LockSemaphore);
  if (!mutex) return;
  pthread_mutex_destroy(mutex);
  delete mutex;
  lpCriticalSection->LockSemaphore = nullptr;
  lpCriticalSection->LockCount = -1;
  lpCriticalSection->RecursionCount = 0;
  lpCriticalSection->OwningThread = nullptr;
}
}
