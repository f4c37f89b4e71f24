#pragma once

#include <cstdint>

#include "foundation/locks/qv_mutex_lock.h"

// "TOVIN_DB_MUTEX", shared with the engine: every sequence of work on the installed-apps database
// runs while it is held. The engine holds it for one short piece of work at a time, so the wait
// is long but bounded: an engine that hangs while holding it must not hang the installer too.
class QVDatabaseMutexLock : public QVMutexLock {
 public:
  static constexpr const char* kName = "TOVIN_DB_MUTEX";
  // What one export call waits for it in all.
  static constexpr uint32_t kWaitMs = 120000;

  // With `source`, a mutex that cannot be had (held by another process for the whole wait, a
  // name taken by another kind of object, one made at another integrity level) is a log line of
  // that step, ending in `consequence`.
  explicit QVDatabaseMutexLock(const wchar_t* source = nullptr, uint32_t waitMs = kWaitMs,
                               const wchar_t* consequence = L"nothing written");
};
