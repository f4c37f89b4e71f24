#include "exports/app_store_pinning/app_features.h"

#include "exports/app_store_pinning/database_mutex_lock.h"
#include "exports/app_store_pinning/feature_list.h"
#include "store/database/qv_object_database.h"
#include "store/objects/qv_object.h"
#include "store/variants/qv_variant_text.h"

namespace {

// Replaces the app's rows by one in a single transaction: should the insert fail after the
// delete (a full disk, a busy file), the old row must not be lost.
void ReplaceRow(QVObjectDatabase& db, const std::string& where, const std::string& escapedId,
                const std::string& list) {
  if (db.exec("BEGIN") != QVObjectDatabase::kOk) return;
  if (db.exec("delete from features where " + where) == QVObjectDatabase::kOk &&
      db.exec("insert into features (id_or_folder, feature_list) values ('" + escapedId + "', '" +
              QVSqlEscape(list) + "')") == QVObjectDatabase::kOk &&
      db.exec("COMMIT") == QVObjectDatabase::kOk) {
    return;
  }
  db.exec("ROLLBACK");
}

}  // namespace

void QVSetAppFeature(QVObjectDatabase& db, const std::string& feature, const std::string& appId) {
  QVDatabaseMutexLock lock(L"QVSetAppFeature");
  if (!lock.held()) return;
  const std::string escapedId = QVSqlEscape(appId);
  const std::string where = "id_or_folder = '" + escapedId + "'";

  QVObject row;
  const int32_t selected = db.selectFirst("features", &row, where, std::string());
  std::string list;
  if (selected == QVObjectDatabase::kOk) {
    // A NULL cell leaves no property: the app has no list yet.
    const auto* cell = dynamic_cast<const QVVariantString*>(row.getProperty("feature_list"));
    if (!QVSetFeatureInList(cell ? &cell->text : nullptr, feature, &list)) return;
  } else if (selected == QVObjectDatabase::kNoRow) {
    QVSetFeatureInList(nullptr, feature, &list);
  } else {
    // The row could not be read: writing now would replace a list nobody has seen.
    return;
  }
  ReplaceRow(db, where, escapedId, list);
}
