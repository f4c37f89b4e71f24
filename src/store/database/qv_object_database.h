#pragma once

#include <cstdint>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "store/database/sqlite_connection.h"
#include "store/database/sqlite_statement.h"

class QVObject;

// Keeps QVObjects in SQLite tables: a table is created from an object's properties (one column
// per property, typed by its variant type) and a row is read back into an object by column name.
// It has no lock of its own: callers hold QVDatabaseMutexLock around each sequence of work.
// Table names, where and order-by clauses go into the SQL as given; callers escape values.
class QVObjectDatabase {
 public:
  // Result codes of the operations.
  static constexpr int32_t kOk = 0;
  static constexpr int32_t kOpenFailed = 1;
  static constexpr int32_t kNoRow = 1;
  static constexpr int32_t kCreateFailed = 2;
  static constexpr int32_t kNoObject = 3;
  // Not open (already open, for the opens), a statement that would not prepare, or one that
  // did not run to completion.
  static constexpr int32_t kNotOpen = 4;
  static constexpr int32_t kExecFailed = 5;

  // Whether a table or column is there, or whether that could not be read (a locked or damaged
  // file): callers that create what is missing must not act on the third answer.
  enum class Presence { kPresent, kAbsent, kUnknown };

  // How long a statement waits for another connection's lock on the file before it fails.
  static constexpr int kBusyTimeoutMs = 5000;

  QVObjectDatabase() = default;
  ~QVObjectDatabase() { close(); }

  QVObjectDatabase(const QVObjectDatabase&) = delete;
  QVObjectDatabase& operator=(const QVObjectDatabase&) = delete;

  bool isOpen() const { return static_cast<bool>(db_); }
  // An existing database, read-write. Every statement of the connection waits up to
  // kBusyTimeoutMs for a lock held by another connection.
  int32_t open(const std::wstring& path);
  // Creates the file when it is missing. An empty path is a private temporary database.
  int32_t openOrCreate(const std::wstring& path);
  int32_t close();

  int32_t exec(const std::string& sql);
  // "CREATE TABLE <table> (<name> <type>,...);" from the object's properties in bag order,
  // skipping "ROWID" and valueless properties; the statement is logged before it runs.
  int32_t createTableFromObjectProperties(const std::string& table, const QVObject* object);
  bool tableExists(const std::string& table);
  Presence tablePresence(const std::string& table);
  // The first row of the select, "ROWID" first, into object; kNoRow when there is none.
  int32_t selectFirst(const std::string& table, QVObject* object, const std::string& where,
                      const std::string& orderBy);
  int32_t tableColumns(const std::string& table, std::vector<std::string>* names);
  bool columnExists(const std::string& table, const std::string& column);
  Presence columnPresence(const std::string& table, const std::string& column);

  // SQLite's own text for the last operation that failed (an open included), for the log.
  const std::wstring& lastError() const { return lastError_; }
  // The file of the last open, as given.
  const std::wstring& path() const { return path_; }

  // "SELECT ROWID, <table>.* FROM <table>[ WHERE ...][ ORDER BY ...][ LIMIT n];"; a negative
  // limit adds no LIMIT clause.
  int32_t prepareSelect(const std::string& table, const std::string& where,
                        const std::string& orderBy, int64_t limit, QVSqliteStatement* statement);
  // Every non-NULL cell of the current row into object, by column name ("rowid" in any case
  // becomes "ROWID"); names the object lacks are added as String properties.
  static void readRow(sqlite3_stmt* statement, QVObject* object);

 private:
  int32_t openWith(const std::wstring& path, int flags, int32_t failure);
  // Keeps the connection's error text; answers `result`.
  int32_t failed(int32_t result);

  QVSqliteConnection db_;
  std::wstring lastError_;
  std::wstring path_;
};

// A value for a single-quoted SQL literal: every single quote doubled.
std::string QVSqlEscape(const std::string& text);
