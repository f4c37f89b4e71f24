#pragma once

#include <windows.h>

#include "foundation/locks/qv_mutex_lock.h"
#include "foundation/log/log.h"

// "TOVIN_DB_MUTEX", shared with the engine: every sequence of work on the installed-apps database
// runs while it is held. The wait has no limit, since giving up would mean writing unguarded.
class QVDatabaseMutexLock : public QVMutexLock {
 public:
  static constexpr const char* kName = "TOVIN_DB_MUTEX";

  // With `source`, a mutex that cannot be created or opened (a name taken by another kind of
  // object, one made at another integrity level) is a log line of that step, which must then
  // leave the database alone.
  explicit QVDatabaseMutexLock(const wchar_t* source = nullptr) : QVMutexLock(kName, INFINITE) {
    if (held() || !source) return;
    const DWORD error = GetLastError();  // the failed CreateMutexA: an endless wait cannot time out
    Log::Stream() << source << L": (err: " << error << L") could not open TOVIN_DB_MUTEX; "
                  << L"nothing written";
  }
};
