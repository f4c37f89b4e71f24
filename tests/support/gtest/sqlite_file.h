#pragma once

#include <string>
#include <vector>

#include "support/stock_sqlite.h"

// A database file as the tests set it up and read it back: through Debian's own SQLite
// (support/stock_sqlite.h), never through the library under test or its SQLite build. Failures
// are reported to the running test.
namespace qvtest {

class SqliteFile {
 public:
  // Opens (creating when missing) the file; an open failure makes every call fail the test.
  explicit SqliteFile(const std::wstring& path);

  // Runs statements; true on success (a failure is not reported: tests expect some).
  bool exec(const std::string& sql, std::string* error = nullptr);
  // The rows of one select; empty when it fails (and the failure is reported to the test).
  SqlRows rows(const std::string& sql);
  std::vector<std::string> tables();
  std::vector<std::string> columns(const std::string& table);
  // Leaves the file as a program that died here would (see StockSqlite::crash).
  void crash(const std::string& sql) { sqlite_.crash(sql); }
  const StockSqlite& connection() const { return sqlite_; }

 private:
  StockSqlite sqlite_;
};

}  // namespace qvtest
