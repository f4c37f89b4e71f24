#pragma once

#include "foundation/locks/qv_crit_sec.h"

// Holds a QVCritSec for the lifetime of the scope. A null section makes the scope a no-op.
class QVCritLock {
 public:
  explicit QVCritLock(QVCritSec* section) : section_(section) {
    if (section_) section_->lock();
  }
  virtual ~QVCritLock() {
    if (section_) section_->unlock();
  }

  QVCritLock(const QVCritLock&) = delete;
  QVCritLock& operator=(const QVCritLock&) = delete;

 private:
  QVCritSec* section_;
};
