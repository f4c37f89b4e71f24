#include "exports/app_store_pinning/app_features.h"

#include "exports/app_store_pinning/database_mutex_lock.h"
#include "exports/app_store_pinning/feature_list.h"
#include "foundation/log/log.h"
#include "store/database/qv_object_database.h"
#include "store/objects/qv_object.h"
#include "store/variants/qv_variant_text.h"

namespace {

const wchar_t kSource[] = L"QVSetAppFeature";

enum class Read { kSet, kToWrite, kFailed };

// The app's list with `feature` set into `list`; kSet when it already was.
Read UpdatedList(QVObjectDatabase& db, const std::string& where, const std::string& feature,
                 std::string* list) {
  QVObject row;
  const int32_t selected = db.selectFirst("features", &row, where, std::string());
  if (selected == QVObjectDatabase::kNoRow) {
    QVSetFeatureInList(nullptr, feature, list);
    return Read::kToWrite;
  }
  // A row that could not be read is not a missing row: writing would replace a list nobody saw.
  if (selected != QVObjectDatabase::kOk) return Read::kFailed;
  // A NULL cell leaves no property: the app has no list yet.
  const auto* cell = dynamic_cast<const QVVariantString*>(row.getProperty("feature_list"));
  return QVSetFeatureInList(cell ? &cell->text : nullptr, feature, list) ? Read::kToWrite
                                                                         : Read::kSet;
}

// Logs why the row of `appId` was left alone and answers false.
bool GiveUp(QVObjectDatabase& db, const char* what, const std::string& appId) {
  Log::Stream() << kSource << L": could not " << what << L" the features of " << appId << L" in "
                << db.path() << L": " << db.lastError() << L"; nothing written";
  return false;
}

}  // namespace

bool QVSetAppFeature(QVObjectDatabase& db, const std::string& feature, const std::string& appId,
                     uint32_t mutexWaitMs) {
  QVDatabaseMutexLock lock(kSource, mutexWaitMs);
  if (!lock.held()) return false;
  if (!db.isOpen()) {
    Log::Stream() << kSource << L": the installed-apps database is not open; nothing written";
    return false;
  }
  const std::string escapedId = QVSqlEscape(appId);
  const std::string where = "id_or_folder = '" + escapedId + "'";
  std::string list;
  // A feature already set needs no write, and so no write lock (the file may be read-only).
  switch (UpdatedList(db, where, feature, &list)) {
    case Read::kSet:
      return true;
    case Read::kFailed:
      return GiveUp(db, "read", appId);
    case Read::kToWrite:
      break;
  }

  // Read again under the write lock, so that a program ignoring the mutex cannot change the row
  // between the read and the write; delete and insert commit together, so a failed insert
  // cannot lose the old row.
  if (db.exec("BEGIN IMMEDIATE") != QVObjectDatabase::kOk) return GiveUp(db, "lock", appId);
  const Read read = UpdatedList(db, where, feature, &list);
  if (read == Read::kToWrite &&
      db.exec("delete from features where " + where) == QVObjectDatabase::kOk &&
      db.exec("insert into features (id_or_folder, feature_list) values ('" + escapedId + "', '" +
              QVSqlEscape(list) + "')") == QVObjectDatabase::kOk &&
      db.exec("COMMIT") == QVObjectDatabase::kOk) {
    return true;
  }
  const bool set = read == Read::kSet;
  if (!set) GiveUp(db, read == Read::kFailed ? "read" : "write", appId);
  db.exec("ROLLBACK");
  return set;
}
