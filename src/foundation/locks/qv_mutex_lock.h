#pragma once

#include <windows.h>

#include <cstdint>

// Holds a named mutex shared with every process of the session that opens the same name.
// A time-out holds nothing; a mutex abandoned by a dead process is taken over.
class QVMutexLock {
 public:
  QVMutexLock(const char* name, uint32_t timeoutMs);
  // Releases a mutex still held, so an early return or an exception cannot leave other
  // processes waiting on it.
  ~QVMutexLock();

  QVMutexLock(const QVMutexLock&) = delete;
  QVMutexLock& operator=(const QVMutexLock&) = delete;

  bool held() const { return mutex_ != nullptr; }
  // Not held because another holder kept it for the whole wait (as opposed to a mutex that
  // could not be created or opened, or a wait that failed: the thread's last error says why).
  bool timedOut() const { return timedOut_; }

  // Releases and closes the mutex. Returns CloseHandle's result, or 0 when nothing was held.
  int release();

 private:
  HANDLE mutex_ = nullptr;
  bool timedOut_ = false;
};
