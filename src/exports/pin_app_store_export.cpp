#include "exports/export.h"
#include "foundation/log.h"
#include "foundation/platform_paths.h"
#include "store/app_features.h"
#include "store/database_mutex_lock.h"
#include "store/installed_apps_schema.h"
#include "store/qv_object_database.h"

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
  try {
    Log::Stream() << L"QVNSIS_PinAppStore: pinning app store to the taskbar";
    QVPrepareInstalledAppsSchema(db, [] { return QVPaths::getPath(PathKind::InstalledAppsDb, false); });
    QVSetAppFeature(db, kPinnedFeature, kAppStoreId);
    QVDatabaseMutexLock lock;
    db.close();
    return lock.release();
  } catch (...) {
  }
  // Out of memory part way: still leave the file closed, so the next call starts afresh.
  try {
    QVDatabaseMutexLock lock;
    db.close();
  } catch (...) {
  }
  return 0;
}
