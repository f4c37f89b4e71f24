#include "foundation/locks/qv_mutex_lock.h"

QVMutexLock::QVMutexLock(const char* name, uint32_t timeoutMs) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  if (!mutex) return;
  if (WaitForSingleObject(mutex, timeoutMs) == WAIT_TIMEOUT) {
    CloseHandle(mutex);
    return;
  }
  // WAIT_ABANDONED counts as held: the owner died and the mutex is ours now.
  mutex_ = mutex;
}

QVMutexLock::~QVMutexLock() { release(); }

int QVMutexLock::release() {
  if (!mutex_) return 0;
  ReleaseMutex(mutex_);
  const int closed = CloseHandle(mutex_);
  mutex_ = nullptr;
  return closed;
}
