#pragma once

#include <windows.h>

// An owned Win32 critical section. Recursive on one thread, like the section it wraps.
class QVCritSec {
 public:
  QVCritSec();
  virtual ~QVCritSec();

  QVCritSec(const QVCritSec&) = delete;
  QVCritSec& operator=(const QVCritSec&) = delete;

  virtual void lock();
  // True exactly when the section was entered (TryEnterCriticalSection returned 1).
  virtual bool tryLock();
  virtual void unlock();

 private:
  CRITICAL_SECTION* section_;
};
