#include "exports/app_store_pinning/installed_apps_schema.h"

#include "exports/app_store_pinning/database_mutex_lock.h"
#include "exports/app_store_pinning/tovin_record.h"
#include "foundation/settings/file_queries.h"
#include "store/database/qv_object_database.h"
#include "store/objects/qv_object.h"

namespace {

// Plain objects whose String properties give the columns of the tables without a record class.
void AddStrings(QVObject& object, std::initializer_list<const char*> names) {
  for (const char* name : names) object.addProperty(name, QVVariantType::String);
}

void CreateFeatures(QVObjectDatabase& db) {
  QVObject features;
  AddStrings(features, {"id_or_folder", "feature_list"});
  db.createTableFromObjectProperties("features", &features);
}

void CreateTovinState(QVObjectDatabase& db) {
  TovinStateRecord state;
  db.createTableFromObjectProperties("tovinstate", &state);
}

void CreateSettings(QVObjectDatabase& db) {
  QVObject settings;
  AddStrings(settings, {"id_or_folder", "name", "value", "type"});
  db.createTableFromObjectProperties("settings", &settings);
}

}  // namespace

void QVPrepareInstalledAppsSchema(QVObjectDatabase& db,
                                  const std::function<std::wstring()>& path) {
  if (db.isOpen()) return;
  QVDatabaseMutexLock lock(L"QVPrepareInstalledAppsSchema");
  if (!lock.held()) return;
  const std::wstring file = path ? path() : std::wstring();

  if (QVPaths::fileExists(file)) {
    db.open(file);  // a failure shows as "not open" in every step below
    if (!db.tableExists("features")) CreateFeatures(db);
    if (!db.tableExists("tovinstate")) CreateTovinState(db);
    if (!db.tableExists("settings")) CreateSettings(db);
    if (!db.columnExists("settings", "type")) db.exec("ALTER TABLE settings ADD type TEXT");
    return;
  }

  db.openOrCreate(file);
  TovinRecord tovin;
  db.createTableFromObjectProperties("tovines", &tovin);
  CreateTovinState(db);
  CreateSettings(db);
  CreateFeatures(db);
}
