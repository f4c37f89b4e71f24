#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// Direct SQLite access for tests: sets up database files and reads back what the library wrote,
// without going through the code under test.
namespace qvtest {

// Cells of a result, each row's cells in column order; SQL NULL reads as kNullCell.
extern const char kNullCell[];
using SqlRows = std::vector<std::vector<std::string>>;

class SqliteFile {
 public:
  // Opens (creating when missing) the file; an open failure makes every call fail the test.
  explicit SqliteFile(const std::wstring& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  // Runs statements; true on success.
  bool exec(const std::string& sql);
  // The rows of one select; empty when it fails (and the failure is reported to the test).
  SqlRows rows(const std::string& sql);
  std::vector<std::string> tables();
  std::vector<std::string> columns(const std::string& table);
  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace qvtest
