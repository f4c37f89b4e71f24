#include "exports/app_store_pinning/installed_apps_schema.h"

#include "exports/app_store_pinning/database_mutex_lock.h"
#include "exports/app_store_pinning/tovin_record.h"
#include "foundation/log/log.h"
#include "foundation/settings/file_queries.h"
#include "store/database/qv_object_database.h"
#include "store/objects/qv_object.h"

namespace {

const wchar_t kSource[] = L"QVPrepareInstalledAppsSchema";

using Presence = QVObjectDatabase::Presence;

// Plain objects whose String properties give the columns of the tables without a record class.
void AddStrings(QVObject& object, std::initializer_list<const char*> names) {
  for (const char* name : names) object.addProperty(name, QVVariantType::String);
}

// Creates one table; a failure is a log line with SQLite's reason. True when it was created.
bool Create(QVObjectDatabase& db, const char* table, const QVObject& columns) {
  if (db.createTableFromObjectProperties(table, &columns) == QVObjectDatabase::kOk) return true;
  Log::Stream() << kSource << L": could not create table " << table << L" in " << db.path() << L": "
                << db.lastError();
  return false;
}

bool CreateFeatures(QVObjectDatabase& db) {
  QVObject features;
  AddStrings(features, {"id_or_folder", "feature_list"});
  return Create(db, "features", features);
}

void CreateTovinState(QVObjectDatabase& db) { Create(db, "tovinstate", TovinStateRecord()); }

void CreateSettings(QVObjectDatabase& db) {
  QVObject settings;
  AddStrings(settings, {"id_or_folder", "name", "value", "type"});
  Create(db, "settings", settings);
}

// Gives up on a file whose tables could not be read: the connection is closed again so that
// the steps after this one see no database.
bool Unreadable(QVObjectDatabase& db) {
  Log::Stream() << kSource << L": could not read the tables of " << db.path() << L": "
                << db.lastError() << L"; nothing written";
  db.close();
  return false;
}

bool CompleteExisting(QVObjectDatabase& db) {
  // Everything is asked before anything is created: one unreadable answer leaves the file as
  // it was.
  const Presence features = db.tablePresence("features");
  if (features == Presence::kUnknown) return Unreadable(db);
  const Presence tovinState = db.tablePresence("tovinstate");
  if (tovinState == Presence::kUnknown) return Unreadable(db);
  const Presence settings = db.tablePresence("settings");
  if (settings == Presence::kUnknown) return Unreadable(db);
  const Presence type =
      settings == Presence::kPresent ? db.columnPresence("settings", "type") : Presence::kAbsent;
  if (type == Presence::kUnknown) return Unreadable(db);

  const bool ready = features == Presence::kPresent || CreateFeatures(db);
  if (tovinState == Presence::kAbsent) CreateTovinState(db);
  if (settings == Presence::kAbsent) CreateSettings(db);
  if (settings == Presence::kPresent && type == Presence::kAbsent &&
      db.exec("ALTER TABLE settings ADD type TEXT") != QVObjectDatabase::kOk) {
    Log::Stream() << kSource << L": could not add the type column to settings in " << db.path()
                  << L": " << db.lastError();
  }
  return ready;
}

}  // namespace

bool QVPrepareInstalledAppsSchema(QVObjectDatabase& db, const std::function<std::wstring()>& path,
                                  uint32_t mutexWaitMs) {
  if (db.isOpen()) return true;
  QVDatabaseMutexLock lock(kSource, mutexWaitMs);
  if (!lock.held()) return false;
  const std::wstring file = path ? path() : std::wstring();

  if (QVPaths::fileExists(file)) {
    if (db.open(file) != QVObjectDatabase::kOk) {
      Log::Stream() << kSource << L": could not open " << file << L": " << db.lastError()
                    << L"; nothing written";
      return false;
    }
    return CompleteExisting(db);
  }

  if (db.openOrCreate(file) != QVObjectDatabase::kOk) {
    Log::Stream() << kSource << L": could not create " << file << L": " << db.lastError()
                  << L"; nothing written";
    return false;
  }
  Create(db, "tovines", TovinRecord());
  CreateTovinState(db);
  CreateSettings(db);
  return CreateFeatures(db);
}
