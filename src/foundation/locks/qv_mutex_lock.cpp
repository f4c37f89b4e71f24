#include "foundation/locks/qv_mutex_lock.h"

QVMutexLock::QVMutexLock(const char* name, uint32_t timeoutMs) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  if (!mutex) return;
  switch (WaitForSingleObject(mutex, timeoutMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // the owner died and the mutex is ours now
      mutex_ = mutex;
      return;
    case WAIT_TIMEOUT:
      timedOut_ = true;
      break;
    default:
      break;
  }
  const DWORD error = GetLastError();
  CloseHandle(mutex);
  SetLastError(error);
}

QVMutexLock::~QVMutexLock() { release(); }

int QVMutexLock::release() {
  if (!mutex_) return 0;
  ReleaseMutex(mutex_);
  const int closed = CloseHandle(mutex_);
  mutex_ = nullptr;
  return closed;
}
