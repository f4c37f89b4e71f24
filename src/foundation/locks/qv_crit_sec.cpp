#include "foundation/locks/qv_crit_sec.h"

QVCritSec::QVCritSec() : section_(new CRITICAL_SECTION()) { InitializeCriticalSection(section_); }

QVCritSec::~QVCritSec() {
  DeleteCriticalSection(section_);
  delete section_;
}

void QVCritSec::lock() { EnterCriticalSection(section_); }

bool QVCritSec::tryLock() { return TryEnterCriticalSection(section_) == 1; }

void QVCritSec::unlock() { LeaveCriticalSection(section_); }
