#include "store/database/qv_object_database.h"

#include <boost/algorithm/string/replace.hpp>

#include <utility>

#include "foundation/log/log.h"
#include "store/objects/qv_object.h"
#include "store/objects/set_property_from_text.h"
#include "store/variants/utf8.h"

namespace {

const char kRowId[] = "ROWID";

const char* ColumnType(QVVariantType type) {
  const int32_t code = static_cast<int32_t>(type);
  if ((code >= 2 && code <= 9) || code == 11) return "INT";
  if (code == 10) return "REAL";
  return "TEXT";
}

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

int32_t QVObjectDatabase::openWith(const std::wstring& path, int flags, int32_t failure) {
  if (db_) return kNotOpen;
  path_ = path;
  QVSqliteConnection db;
  const int rc = sqlite3_open_v2(QVUtf8::fromWide(path).c_str(), db.put(), flags, nullptr);
  if (rc != SQLITE_OK) {
    // The failed connection still carries the reason until it is closed.
    lastError_ = QVUtf8::toWide(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc));
    return failure;
  }
  // The engine holds the file only for short pieces of work: waiting a little for it beats
  // giving up at once.
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
  db_ = std::move(db);
  return kOk;
}

int32_t QVObjectDatabase::failed(int32_t result) {
  lastError_ = db_ ? QVUtf8::toWide(sqlite3_errmsg(db_.get())) : L"the database is not open";
  return result;
}

int32_t QVObjectDatabase::open(const std::wstring& path) {
  return openWith(path, SQLITE_OPEN_READWRITE, kOpenFailed);
}

int32_t QVObjectDatabase::openOrCreate(const std::wstring& path) {
  return openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kCreateFailed);
}

int32_t QVObjectDatabase::close() {
  db_.reset();
  return kOk;
}

int32_t QVObjectDatabase::exec(const std::string& sql) {
  if (!db_) return failed(kNotOpen);
  if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    return failed(kExecFailed);
  return kOk;
}

int32_t QVObjectDatabase::createTableFromObjectProperties(const std::string& table,
                                                          const QVObject* object) {
  if (!db_) return failed(kNotOpen);
  if (!object || object->properties().count() == 0) return kNoObject;

  std::string sql = "CREATE TABLE " + table + " (";
  bool first = true;
  const QVPropertyBag& bag = object->properties();
  for (int i = 0; i < bag.count(); ++i) {
    const QVProperty* property = bag.at(i);
    if (property->name() == kRowId) continue;  // SQLite's own row id serves
    const QVVariant* value = property->value();
    if (!value || value->type() == QVVariantType::None) continue;
    if (!first) sql += ",";
    first = false;
    sql += property->name() + " " + ColumnType(value->type());
  }
  sql += ");";

  Log::Stream() << L"QVObjectDatabase::createTableFromObjectProperties: " << sql;
  return exec(sql);
}

bool QVObjectDatabase::tableExists(const std::string& table) {
  return tablePresence(table) == Presence::kPresent;
}

QVObjectDatabase::Presence QVObjectDatabase::tablePresence(const std::string& table) {
  if (!db_) {
    failed(kNotOpen);
    return Presence::kUnknown;
  }
  const std::string sql =
      "SELECT name FROM sqlite_master WHERE type='table' AND name='" + table + "'";
  QVSqliteStatement statement;
  // Preparing reads the schema: a locked file or one whose schema does not parse fails here.
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), statement.put(),
                         nullptr) != SQLITE_OK ||
      !statement) {
    failed(kNotOpen);
    return Presence::kUnknown;
  }
  switch (sqlite3_step(statement.get())) {
    case SQLITE_ROW:
      return Presence::kPresent;
    case SQLITE_DONE:
      return Presence::kAbsent;
    default:
      failed(kNotOpen);
      return Presence::kUnknown;
  }
}

int32_t QVObjectDatabase::prepareSelect(const std::string& table, const std::string& where,
                                        const std::string& orderBy, int64_t limit,
                                        QVSqliteStatement* statement) {
  if (!db_ || !statement) return failed(kNotOpen);
  std::string sql = "SELECT ROWID, " + table + ".* FROM " + table;
  if (!where.empty()) sql += " WHERE " + where;
  if (!orderBy.empty()) sql += " ORDER BY " + orderBy;
  if (limit >= 0) sql += " LIMIT " + std::to_string(limit);
  sql += ";";
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), statement->put(),
                         nullptr) != SQLITE_OK ||
      !*statement) {
    statement->reset();
    return failed(kNotOpen);
  }
  return kOk;
}

int32_t QVObjectDatabase::selectFirst(const std::string& table, QVObject* object,
                                      const std::string& where, const std::string& orderBy) {
  if (!object) return kNoObject;
  QVSqliteStatement statement;
  const int32_t prepared = prepareSelect(table, where, orderBy, -1, &statement);
  if (prepared != kOk) return prepared;
  const int rc = sqlite3_step(statement.get());
  if (rc == SQLITE_ROW) {
    readRow(statement.get(), object);
    return kOk;
  }
  // A select that fails (busy, corrupt file) has not shown that the row is missing; callers
  // that write when nothing was found must be able to tell the two apart.
  return rc == SQLITE_DONE ? kNoRow : failed(kNotOpen);
}

void QVObjectDatabase::readRow(sqlite3_stmt* statement, QVObject* object) {
  if (!statement || !object) return;
  const int count = sqlite3_column_count(statement);
  for (int i = 0; i < count; ++i) {
    const char* columnName = sqlite3_column_name(statement, i);
    if (!columnName) continue;
    const std::string name = EqualsIgnoringAsciiCase(columnName, kRowId) ? kRowId : columnName;
    const unsigned char* text = sqlite3_column_text(statement, i);
    if (!text) continue;  // NULL cells leave the object as it is
    object->addProperty(name, QVVariantType::String);
    // A text that does not parse as the property's type leaves that property unchanged.
    setPropertyFromText(*object, name, reinterpret_cast<const char*>(text));
  }
}

int32_t QVObjectDatabase::tableColumns(const std::string& table, std::vector<std::string>* names) {
  if (!db_) return failed(kNotOpen);
  if (!names) return kNoObject;
  const std::string sql = "pragma table_info(" + table + ");";
  QVSqliteStatement statement;
  if (sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), statement.put(),
                         nullptr) != SQLITE_OK) {
    return failed(kNotOpen);
  }
  // A statement that prepares to nothing (an empty text) has no rows: done at once.
  if (!statement) return kOk;
  int rc;
  while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const int count = sqlite3_column_count(statement.get());
    for (int i = 0; i < count; ++i) {
      const char* columnName = sqlite3_column_name(statement.get(), i);
      if (!columnName || std::string(columnName) != "name") continue;
      const unsigned char* text = sqlite3_column_text(statement.get(), i);
      if (text) names->push_back(reinterpret_cast<const char*>(text));
    }
  }
  return rc == SQLITE_DONE ? kOk : failed(kNotOpen);
}

bool QVObjectDatabase::columnExists(const std::string& table, const std::string& column) {
  return columnPresence(table, column) == Presence::kPresent;
}

QVObjectDatabase::Presence QVObjectDatabase::columnPresence(const std::string& table,
                                                            const std::string& column) {
  const Presence tablePresent = tablePresence(table);
  if (tablePresent != Presence::kPresent) return tablePresent;
  std::vector<std::string> names;
  if (tableColumns(table, &names) != kOk) return Presence::kUnknown;
  for (const std::string& name : names) {
    if (name == column) return Presence::kPresent;
  }
  return Presence::kAbsent;
}

std::string QVSqlEscape(const std::string& text) {
  return boost::algorithm::replace_all_copy(text, "'", "''");
}
