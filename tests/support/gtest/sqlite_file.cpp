#include "support/gtest/sqlite_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/text.h"

namespace qvtest {

const char kNullCell[] = "<NULL>";

SqliteFile::SqliteFile(const std::wstring& path) {
  if (sqlite3_open_v2(Utf8(path).c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open the test database: " << (db_ ? sqlite3_errmsg(db_) : "");
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

SqliteFile::~SqliteFile() {
  if (db_) sqlite3_close(db_);
}

bool SqliteFile::exec(const std::string& sql) {
  if (!db_) return false;
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (error) sqlite3_free(error);
  return rc == SQLITE_OK;
}

SqlRows SqliteFile::rows(const std::string& sql) {
  SqlRows result;
  if (!db_) return result;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
    return result;
  }
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      const unsigned char* text = sqlite3_column_text(statement, i);
      row.push_back(text ? reinterpret_cast<const char*>(text) : kNullCell);
    }
    result.push_back(row);
  }
  if (rc != SQLITE_DONE) ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
  sqlite3_finalize(statement);
  return result;
}

std::vector<std::string> SqliteFile::tables() {
  std::vector<std::string> names;
  for (const auto& row : rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
    names.push_back(row.at(0));
  }
  return names;
}

std::vector<std::string> SqliteFile::columns(const std::string& table) {
  std::vector<std::string> names;
  for (const auto& row : rows("pragma table_info(" + table + ")")) names.push_back(row.at(1));
  return names;
}

}  // namespace qvtest
