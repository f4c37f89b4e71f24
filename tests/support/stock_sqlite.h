#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

// Debian's own SQLite, as a peer of the library's: the engine's database files are written by
// the engine's SQLite, never by the library's build, so tests set up and read back their
// databases through a stock SQLite (Python's sqlite3 module in a Unix process of its own, which
// Wine starts for a Windows program). Its file locks are the Linux kernel's, which Wine's
// Windows locks respect, so it also stands in for another program holding the file.
namespace qvtest {

// Cells of a result, each row's cells in column order; SQL NULL reads as kNullCell.
extern const char kNullCell[];
using SqlRows = std::vector<std::vector<std::string>>;

class StockSqlite {
 public:
  // One connection to `path`, created when missing; in autocommit mode, so the SQL's own
  // BEGIN and COMMIT decide what a transaction holds.
  explicit StockSqlite(const std::wstring& path);
  // Closes the connection and ends the process (unless it crashed).
  ~StockSqlite();
  StockSqlite(const StockSqlite&) = delete;
  StockSqlite& operator=(const StockSqlite&) = delete;

  // Empty when the connection is up; otherwise why not.
  const std::string& failure() const { return failure_; }
  // The SQLite version, e.g. "3.40.1".
  const std::string& version() const { return version_; }

  // Runs statements one by one. True on success; otherwise `error` (when given) gets SQLite's
  // message.
  bool exec(const std::string& sql, std::string* error = nullptr);
  // The rows of one statement. False on failure, with SQLite's message in `error`.
  bool rows(const std::string& sql, SqlRows* rows, std::string* error = nullptr);
  // The whole database: one row per schema entry ("schema", name, SQL) and per row of every
  // table ("row", table, the values as text).
  bool dump(SqlRows* rows, std::string* error = nullptr);
  // Runs statements, then ends the process without closing the connection, leaving the file
  // as a crashed program would (a hot journal, a write-ahead log not yet merged).
  void crash(const std::string& sql);

 private:
  // The answer's text; "error\t..." also when no answer came.
  std::string ask(const char* operation, const std::string& sql);

  ScopedTempDir channel_;
  int next_ = 0;
  bool running_ = false;
  std::string failure_;
  std::string version_;
};

// A single-quoted SQL literal of `text`.
std::string SqlText(const std::string& text);

}  // namespace qvtest
