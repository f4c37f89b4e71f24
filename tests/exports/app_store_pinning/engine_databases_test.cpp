// Databases as the engine's own SQLite could leave them, written and read back by Debian's stock
// SQLite: the export pins the app store into each, changes nothing else, and leaves a file that
// passes the stock SQLite's integrity check.
#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/gtest/sqlite_file.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const std::string kAppStore = "6cad4a268d116ece1738f7d93d9c172411e20b8f";
const std::string kAppRow =
    "INSERT INTO features (id_or_folder, feature_list) VALUES ('" + kAppStore + "', ";

// The engine's tables as its SQLite of the 3.7.3 era made them, with rows of its own.
const std::string kEngineTables =
    "CREATE TABLE tovines (tovin_id TEXT,hash TEXT,hashcheck TEXT,disabled TEXT,install_time INT,"
    "install_source TEXT,install_campaign TEXT);"
    "INSERT INTO tovines VALUES ('" +
    kAppStore +
    "', 'h', 'c', 'false', 1300000000, 'web', '');"
    "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);"
    "INSERT INTO tovinstate VALUES ('" +
    kAppStore +
    "', 'window', 'max');"
    "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);"
    "INSERT INTO settings VALUES ('global', 'theme', 'dark', 'string');";
const std::string kOtherApps =
    "INSERT INTO features (id_or_folder, feature_list) VALUES ('another app', '-pinned,+search');"
    "INSERT INTO features (id_or_folder, feature_list) VALUES ('Z\xC3\xBCrich', NULL);";

struct Case {
  const char* what;
  std::string setup;       // run by the stock SQLite; empty: no file at all
  const char* leftBehind;  // null, or the stock SQLite then dies before closing and must leave
                           // this file beside the database ("-wal", "-journal")...
  std::string crash;       // ...after running these statements
  std::string pinned;      // the app store's list afterwards
  std::set<std::string> changed;  // tables besides "features" whose rows may change
  std::set<std::string> created;  // schema entries the export adds
  bool typeAdded;                 // settings gains its "type" column
};

// The database's schema by name and each table's rows, as the stock SQLite reads them.
struct Contents {
  std::map<std::string, std::string> schema;
  std::map<std::string, std::multiset<std::string>> rows;
};

Contents Read(qvtest::StockSqlite& sqlite) {
  qvtest::SqlRows dump;
  std::string error;
  EXPECT_TRUE(sqlite.dump(&dump, &error)) << error;
  Contents contents;
  for (const auto& row : dump) {
    if (row.at(0) == "schema")
      contents.schema[row.at(1)] = row.at(2);
    else
      contents.rows[row.at(1)].insert(row.at(2));
  }
  return contents;
}

class EngineDatabasesTest : public testing::Test {
 protected:
  void SetUp() override {
    installDir_ = dir_.path() + L"Tovin";
    ASSERT_TRUE(CreateDirectoryW(installDir_.c_str(), nullptr));
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                           qvtest::WideBytes(installDir_)));
  }

  // Writes the case's database in a folder of its own, pins as an installer would, and checks
  // what the stock SQLite reads afterwards.
  void Check(const Case& c) {
    SCOPED_TRACE(c.what);
    const std::wstring appsDir = installDir_ + L"\\Tovines";
    qvtest::RemoveTree(appsDir + L"\\");
    ASSERT_TRUE(CreateDirectoryW(appsDir.c_str(), nullptr));
    const std::wstring db = appsDir + L"\\installed_tovines.db";
    Contents before;
    if (!c.setup.empty()) {
      qvtest::StockSqlite writer(db);
      ASSERT_EQ(writer.failure(), "");
      std::string error;
      ASSERT_TRUE(writer.exec(c.setup, &error)) << error;
      before = Read(writer);
      if (c.leftBehind) {
        writer.crash(c.crash);
        const std::string left = qvtest::ReadFileBytes(db + qvtest::Wide(c.leftBehind));
        ASSERT_FALSE(left.empty()) << "the crash left no " << c.leftBehind;
      }
    }

    const size_t logged = qvtest::TodaysLogMessages(dir_.path()).size();
    EXPECT_EQ(qvtest::RunChild(L"pin_app_store", {}).exitCode, 1u) << Log(logged);

    qvtest::StockSqlite reader(db);
    ASSERT_EQ(reader.failure(), "");
    qvtest::SqlRows rows;
    std::string error;
    ASSERT_TRUE(reader.rows("PRAGMA integrity_check", &rows, &error)) << error;
    EXPECT_EQ(rows, (qvtest::SqlRows{{"ok"}}));
    ASSERT_TRUE(
        reader.rows("SELECT feature_list FROM features WHERE id_or_folder = '" + kAppStore + "'",
                    &rows, &error))
        << error;
    EXPECT_EQ(rows, (qvtest::SqlRows{{c.pinned}})) << Log(logged);

    // Nothing else changed: every schema entry (but what the export adds), every row of every
    // table (but the app store's own and what the case's triggers write).
    Contents after = Read(reader);
    for (const std::string& name : c.created) {
      EXPECT_EQ(after.schema.count(name), 1u) << name << " was not created";
      EXPECT_EQ(before.schema.count(name), 0u) << name;
      after.schema.erase(name);
    }
    if (c.typeAdded) {
      const std::string settings = after.schema["settings"];
      EXPECT_NE(settings.find("type TEXT"), std::string::npos) << settings;
      after.schema["settings"] = before.schema["settings"];
    }
    EXPECT_EQ(after.schema, before.schema);
    for (const auto& table : before.rows) {
      if (c.changed.count(table.first)) continue;
      std::multiset<std::string> expected = table.second, found = after.rows[table.first];
      if (c.typeAdded && table.first == "settings") {
        // The added column reads NULL in every older row.
        std::multiset<std::string> trimmed;
        for (const std::string& row : found) {
          const size_t added = row.rfind(", None)");
          trimmed.insert(added == row.size() - 7 ? row.substr(0, added) + ")" : row);
        }
        found = trimmed;
      }
      if (table.first == "features") {
        for (auto* rows : {&expected, &found}) {
          for (auto it = rows->begin(); it != rows->end();) {
            it = it->find("'" + kAppStore + "'") != std::string::npos ? rows->erase(it)
                                                                      : std::next(it);
          }
        }
      }
      EXPECT_EQ(found, expected) << "rows of " << table.first;
    }
  }

  std::string Log(size_t from) const {
    std::string text;
    const auto lines = qvtest::TodaysLogMessages(dir_.path());
    for (size_t i = from; i < lines.size(); ++i) text += "\n  " + qvtest::Utf8(lines[i]);
    return text;
  }

  qvtest::ScopedRegistryKey savedKey_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
  std::wstring installDir_;
};

}  // namespace

TEST_F(EngineDatabasesTest, EachIsPinnedWithNothingElseChanged) {
  const std::string features = "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);";
  const Case cases[] = {
      {"the engine's own schema",
       kEngineTables + features + kOtherApps + kAppRow + "'-pinned,+search');",
       nullptr,
       "",
       "+pinned,+search",
       {},
       {},
       false},
      {"an older file: settings without its type column, no tovinstate, no features",
       "CREATE TABLE tovines (tovin_id TEXT);INSERT INTO tovines VALUES ('x');"
       "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT);"
       "INSERT INTO settings VALUES ('global', 'theme', 'dark');",
       nullptr,
       "",
       "+pinned",
       {},
       {"features", "tovinstate"},
       true},
      {"no file: the library creates it",
       "",
       nullptr,
       "",
       "+pinned",
       {},
       {"features", "settings", "tovines", "tovinstate"},
       false},
      {"foreign keys, parsed but not enforced (no tovines row names the apps)",
       "CREATE TABLE tovines (tovin_id TEXT PRIMARY KEY, hash TEXT);"
       "CREATE TABLE tovinstate (tovin_id TEXT REFERENCES tovines(tovin_id) ON DELETE CASCADE"
       " ON UPDATE NO ACTION DEFERRABLE INITIALLY DEFERRED, state_id TEXT, value TEXT);"
       "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);"
       "CREATE TABLE features (id_or_folder TEXT REFERENCES tovines(tovin_id) ON DELETE CASCADE,"
       " feature_list TEXT, FOREIGN KEY (id_or_folder) REFERENCES tovines (tovin_id) MATCH SIMPLE"
       " ON DELETE SET NULL NOT DEFERRABLE);" +
           kOtherApps + kAppRow + "'+search');",
       nullptr,
       "",
       "+search,+pinned",
       {},
       {},
       false},
      {"date and time defaults, and extra columns",
       kEngineTables +
           "CREATE TABLE features (id_or_folder TEXT NOT NULL, feature_list TEXT,"
           " changed INTEGER NOT NULL DEFAULT (strftime('%s','now')), made TEXT DEFAULT "
           "CURRENT_TIMESTAMP,"
           " day TEXT DEFAULT (date('now', 'localtime', 'start of month', '+1 day')), flags INT "
           "DEFAULT 0x10);" +
           kOtherApps,
       nullptr,
       "",
       "+pinned",
       {},
       {},
       false},
      {"triggers that log with the date functions",
       kEngineTables + features + kOtherApps + kAppRow + "'+a');" +
           "CREATE TABLE audit (what TEXT, at TEXT, julian REAL);"
           "CREATE TRIGGER features_deleted AFTER DELETE ON features BEGIN"
           " INSERT INTO audit VALUES ('delete ' || old.id_or_folder, datetime('now'), "
           "julianday('now')); END;"
           "CREATE TRIGGER features_inserted AFTER INSERT ON features WHEN new.feature_list LIKE "
           "'%+%' BEGIN"
           " INSERT INTO audit VALUES ('insert ' || new.id_or_folder, "
           "strftime('%Y-%m-%dT%H:%M:%S', 'now'), NULL); END;",
       nullptr,
       "",
       "+a,+pinned",
       {"audit"},
       {},
       false},
      {"checks, collations, autoincrement, indexes and views",
       kEngineTables +
           "CREATE TABLE features (id_or_folder TEXT NOT NULL COLLATE NOCASE CHECK "
           "(length(id_or_folder) > 0),"
           " feature_list TEXT CHECK (feature_list IS NULL OR instr(feature_list, ' ') = 0) "
           "COLLATE RTRIM,"
           " UNIQUE (id_or_folder) ON CONFLICT REPLACE);"
           "CREATE INDEX features_by_list ON features (feature_list COLLATE BINARY DESC);"
           "CREATE TABLE history (id INTEGER PRIMARY KEY AUTOINCREMENT, note TEXT);"
           "INSERT INTO history (note) VALUES ('installed');"
           "CREATE VIEW pinned_apps AS SELECT id_or_folder FROM features WHERE feature_list GLOB "
           "'*+pinned*'"
           " UNION SELECT tovin_id FROM tovines WHERE disabled = 'true';" +
           kOtherApps + kAppRow + "'-pinned');",
       nullptr,
       "",
       "+pinned",
       {},
       {},
       false},
      {"what later SQLite releases added to the grammar of a schema",
       kEngineTables +
           "CREATE TABLE features (id_or_folder TEXT, feature_list TEXT,"
           " entries INT GENERATED ALWAYS AS (length(feature_list) - length(replace(feature_list, "
           "',', '')) + 1) VIRTUAL,"
           " kind TEXT AS (iif(feature_list LIKE '%+pinned%', 'pinned', 'plain')) STORED);"
           "CREATE TABLE counts (app TEXT PRIMARY KEY, n INT NOT NULL, meta TEXT) STRICT, WITHOUT "
           "ROWID;"
           "CREATE TRIGGER count_writes AFTER INSERT ON features BEGIN"
           " INSERT INTO counts (app, n, meta) VALUES (new.id_or_folder, 1, json_object('list', "
           "new.feature_list))"
           " ON CONFLICT (app) DO UPDATE SET n = n + 1, meta = excluded.meta; END;"
           "CREATE VIEW ranked AS WITH listed AS (SELECT id_or_folder, feature_list FROM features)"
           " SELECT id_or_folder, row_number() OVER (ORDER BY id_or_folder) AS place,"
           " json_object('l', feature_list) ->> '$.l' AS list FROM listed;" +
           kOtherApps + kAppRow + "'-pinned,+x');",
       nullptr,
       "",
       "+pinned,+x",
       {"counts"},
       {},
       false},
      {"UTF-16 text",
       "PRAGMA encoding = 'UTF-16le';" + kEngineTables + features + kOtherApps +
           "INSERT INTO features VALUES ('\xE6\x97\xA5\xE6\x9C\xAC', '+\xC3\xA9t\xC3\xA9');" +
           kAppRow + "'+b');",
       nullptr,
       "",
       "+b,+pinned",
       {},
       {},
       false},
      {"1 KB pages, auto-vacuum, and more rows than one page holds",
       "PRAGMA page_size = 1024; PRAGMA auto_vacuum = FULL;" + kEngineTables + features +
           kOtherApps +
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)"
           " INSERT INTO features SELECT printf('app%03d', i), printf('+f%d,-pinned', i) FROM n;" +
           kAppRow + "'-pinned');" +
           "DELETE FROM features WHERE id_or_folder BETWEEN 'app000' AND 'app099';",
       nullptr,
       "",
       "+pinned",
       {},
       {},
       false},
      {"a write-ahead log whose frames were never merged (the writer died)",
       "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;" + kEngineTables + features +
           kOtherApps + kAppRow + "'+late');",
       "-wal",
       "",
       "+late,+pinned",
       {},
       {},
       false},
      {"a hot rollback journal (the writer died in a transaction)",
       kEngineTables + features + kOtherApps + kAppRow + "'-pinned,+kept');",
       "-journal",
       "PRAGMA cache_size = 2; BEGIN; UPDATE features SET feature_list = '+lost';"
       "CREATE TABLE spill (x TEXT);"
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
       " INSERT INTO spill SELECT printf('%0500d', i) FROM n;",
       "+pinned,+kept",
       {},
       {},
       false},
  };
  for (const Case& c : cases) Check(c);
}
