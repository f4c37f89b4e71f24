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

  // Releases and closes the mutex. Returns CloseHandle's result, or 0 when nothing was held.
  int release();

 private:
  HANDLE mutex_ = nullptr;
};
