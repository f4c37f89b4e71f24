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

}  // namespace

// Each step takes the database mutex by itself, so the engine may use the database between them.
QVNSIS_EXPORT int QVNSIS_PinAppStore() {
  QVObjectDatabase& db = InstalledAppsDatabase();
  const int pinned = GuardedExport(-1, [&] {
    Log::Stream() << L"QVNSIS_PinAppStore: pinning app store to the taskbar";
    if (QVPaths::getPath(PathKind::InstalledAppsDb, false).empty()) {
      // No installation: SQLite would take the empty name for a private temporary database.
      Log::Stream() << L"QVNSIS_PinAppStore: installation directory not found";
    } else {
      QVPrepareInstalledAppsSchema(db, [] { return QVPaths::getPath(PathKind::InstalledAppsDb, false); });
      QVSetAppFeature(db, kPinnedFeature, kAppStoreId);
    }
    QVDatabaseMutexLock lock;
    db.close();
    return lock.release();
  });
  if (pinned >= 0) return pinned;
  // Out of memory part way: still leave the file closed, so the next call starts afresh.
  GuardedExport([&] {
    QVDatabaseMutexLock lock;
    db.close();
  });
  return 0;
}
