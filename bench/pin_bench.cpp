// QVNSIS_PinAppStore on an installed-apps database of 10,000 "features" rows, against the select,
// delete and insert it issues, run directly through SQLite on a second connection kept open.
// Before each call the first connection puts the app store's list back to "-pinned,+other", so
// every call writes, and both sides find their page cache stale alike.
#include <windows.h>

#include <sqlite3.h>

#include <cstdio>

#include "families.h"
#include "support/library.h"
#include "support/registry.h"
#include "support/text.h"

namespace qvbench {

std::vector<Row> PinAppStoreRows(const std::wstring& scratch) {
  const std::wstring installDir = scratch + L"Tovin";
  const std::wstring appsDir = installDir + L"\\Tovines";
  CreateDirectoryW(installDir.c_str(), nullptr);
  CreateDirectoryW(appsDir.c_str(), nullptr);
  const std::wstring dbPath = appsDir + L"\\installed_tovines.db";

  const qvtest::ScopedRegistryValue installed(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", L"InstallDir",
                                              REG_SZ, qvtest::WideBytes(installDir));

  const std::string app = "6cad4a268d116ece1738f7d93d9c172411e20b8f";
  sqlite3* db = nullptr;
  sqlite3_open_v2(qvtest::Utf8(dbPath).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                  nullptr);
  std::string setup =
      "BEGIN;"
      "CREATE TABLE tovines (tovin_id TEXT,hash TEXT,hashcheck TEXT,disabled TEXT,install_time INT,"
      "install_source TEXT,install_campaign TEXT);"
      "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);"
      "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);"
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);";
  for (int i = 0; i < 9999; ++i) {
    char row[160];
    std::snprintf(row, sizeof(row), "INSERT INTO features VALUES ('%040d', '+f%d,-pinned,+other');",
                  i, i);
    setup += row;
  }
  setup += "INSERT INTO features VALUES ('" + app + "', '-pinned,+other');COMMIT;";
  sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);

  const std::string where = "id_or_folder = '" + app + "'";
  const std::string reset = "UPDATE features SET feature_list = '-pinned,+other' WHERE " + where;
  const std::string select = "SELECT ROWID, features.* FROM features WHERE " + where + ";";
  const std::string remove = "delete from features where " + where;
  const std::string insert =
      "insert into features (id_or_folder, feature_list) values ('" + app + "', '+pinned,+other')";

  const qvtest::Library library;
  const auto pin = QV_EXPORT(library, QVNSIS_PinAppStore);
  if (!pin) Abort("cannot load QVNSIS_PinAppStore");
  auto direct = [&](sqlite3* connection) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(connection, select.c_str(), -1, &statement, nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    sqlite3_exec(connection, remove.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(connection, insert.c_str(), nullptr, nullptr, nullptr);
  };
  sqlite3* kept = nullptr;
  sqlite3_open_v2(qvtest::Utf8(dbPath).c_str(), &kept, SQLITE_OPEN_READWRITE, nullptr);
  auto baseline = [&] {
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    direct(kept);
  };
  // The same, opening and closing the file each time as the export must.
  auto reopened = [&] {
    sqlite3* connection = nullptr;
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    sqlite3_open_v2(qvtest::Utf8(dbPath).c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr);
    direct(connection);
    sqlite3_close(connection);
  };
  auto ours = [&] {
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    pin();
  };

  const std::vector<double> t = CompareMedians({baseline, ours, reopened}, 50, 5, 20);

  // The export must have written what the direct statements write.
  sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
  pin();
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db,
                     ("SELECT count(*), max(feature_list) FROM features WHERE " + where).c_str(),
                     -1, &check, nullptr);
  const bool wrote =
      sqlite3_step(check) == SQLITE_ROW && sqlite3_column_int(check, 0) == 1 &&
      std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 1))) == "+pinned,+other";
  sqlite3_finalize(check);
  if (!wrote) Abort("QVNSIS_PinAppStore did not write the expected row");

  sqlite3_close(kept);
  sqlite3_close(db);
  DeleteFileW(dbPath.c_str());
  RemoveDirectoryW(appsDir.c_str());
  RemoveDirectoryW(installDir.c_str());
  return {{"QVNSIS_PinAppStore, 10k rows vs direct SQL", t[1], t[0], 1.5},
          {"QVNSIS_PinAppStore vs direct SQL+open/close", t[1], t[2], 0}};
}

}  // namespace qvbench
