#include "support/gtest/sqlite_file.h"

#include <gtest/gtest.h>

namespace qvtest {

SqliteFile::SqliteFile(const std::wstring& path) : sqlite_(path) {
  if (!sqlite_.failure().empty()) ADD_FAILURE() << "no stock SQLite: " << sqlite_.failure();
}

bool SqliteFile::exec(const std::string& sql, std::string* error) {
  return sqlite_.exec(sql, error);
}

SqlRows SqliteFile::rows(const std::string& sql) {
  SqlRows result;
  std::string error;
  if (!sqlite_.rows(sql, &result, &error)) ADD_FAILURE() << sql << ": " << error;
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
