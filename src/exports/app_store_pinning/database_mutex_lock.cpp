#include "exports/app_store_pinning/database_mutex_lock.h"

#include <windows.h>

#include "foundation/log/log.h"

QVDatabaseMutexLock::QVDatabaseMutexLock(const wchar_t* source, uint32_t waitMs,
                                         const wchar_t* consequence)
    : QVMutexLock(kName, waitMs) {
  if (held() || !source) return;
  if (timedOut()) {
    Log::Stream() << source << L": TOVIN_DB_MUTEX still held by another process after "
                  << (waitMs + 500) / 1000 << L" s; " << consequence;
    return;
  }
  const DWORD error = GetLastError();
  Log::Stream() << source << L": " << Log::OsError{error} << L"could not open TOVIN_DB_MUTEX; "
                << consequence;
}
