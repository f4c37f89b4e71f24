#pragma once

#include <windows.h>

#include "foundation/locks/qv_mutex_lock.h"

// "TOVIN_DB_MUTEX", shared with the engine: every sequence of work on the installed-apps database
// runs while it is held. The wait has no limit, since giving up would mean writing unguarded.
class QVDatabaseMutexLock : public QVMutexLock {
 public:
  static constexpr const char* kName = "TOVIN_DB_MUTEX";
  QVDatabaseMutexLock() : QVMutexLock(kName, INFINITE) {}
};
