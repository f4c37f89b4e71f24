#include "exports/app_store_pinning/app_features.h"
#include "exports/app_store_pinning/database_mutex_lock.h"
#include "exports/app_store_pinning/installed_apps_schema.h"
#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/settings/platform_paths.h"
#include "store/database/qv_object_database.h"

namespace {

const char kPinnedFeature[] = "pinned";
const char kAppStoreId[] = "6cad4a268d116ece1738f7d93d9c172411e20b8f";

// The installer's one connection to the installed-apps database; closed after every call so
// the engine finds the file free, and at unload.
QVObjectDatabase& InstalledAppsDatabase() {
  static QVObjectDatabase db;
  return db;
}

// What is left of one call's wait for the database mutex.
class MutexBudget {
 public:
  uint32_t remainingMs() const {
    const DWORD spent = GetTickCount() - start_;
    return spent >= QVDatabaseMutexLock::kWaitMs ? 0 : QVDatabaseMutexLock::kWaitMs - spent;
  }

 private:
  const DWORD start_ = GetTickCount();
};

}  // namespace

// Each step takes the database mutex by itself, so the engine may use the database between them;
// together they wait for it at most QVDatabaseMutexLock::kWaitMs. 1 when the app store is pinned
// in the database afterwards (it was already, or now is); 0 when nothing could be written, which
// the log explains.
QVNSIS_EXPORT int QVNSIS_PinAppStore() {
  QVObjectDatabase& db = InstalledAppsDatabase();
  const int pinned = GuardedExport(__func__, -1, [&](const wchar_t* name) {
    Log::Stream() << name << L": pinning app store to the taskbar";
    const MutexBudget budget;
    bool done = false;
    if (QVPaths::getPath(PathKind::InstalledAppsDb, Expansion::kExpanded).empty()) {
      // No installation: SQLite would take the empty name for a private temporary database.
      Log::Stream() << name << L": installation directory not found";
    } else {
      done =
          QVPrepareInstalledAppsSchema(
              db, [] { return QVPaths::getPath(PathKind::InstalledAppsDb, Expansion::kExpanded); },
              budget.remainingMs()) &&
          QVSetAppFeature(db, kPinnedFeature, kAppStoreId, budget.remainingMs());
    }
    if (db.isOpen()) {
      // The connection never outlives the call, mutex or not: closing writes nothing that
      // SQLite's own file locks do not guard.
      QVDatabaseMutexLock lock(name, budget.remainingMs(), L"closing the database without it");
      db.close();
    }
    return done ? 1 : 0;
  });
  if (pinned >= 0) return pinned;
  // Out of memory part way: still leave the file closed, so the next call starts afresh.
  GuardedExport(__func__, [&] { db.close(); });
  return 0;
}
