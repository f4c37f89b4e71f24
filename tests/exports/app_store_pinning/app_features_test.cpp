#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/app_store_pinning/app_features.h"
#include "store/database/qv_object_database.h"
#include "support/gtest/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const char kApp[] = "6cad4a268d116ece1738f7d93d9c172411e20b8f";

// A features table with an audit trail: the triggers record every delete and insert the code
// under test runs, so a case that must write nothing can be checked.
class AppFeaturesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sql_.exec(
        "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
        "CREATE TABLE audit (what TEXT);"
        "CREATE TRIGGER on_delete AFTER DELETE ON features BEGIN"
        " INSERT INTO audit VALUES ('delete ' || old.id_or_folder); END;"
        "CREATE TRIGGER on_insert AFTER INSERT ON features BEGIN"
        " INSERT INTO audit VALUES ('insert ' || new.id_or_folder); END;"));
    ASSERT_EQ(db_.open(path_), QVObjectDatabase::kOk);
  }

  // Inserts rows (app, list) directly; a null list is SQL NULL.
  void Insert(const std::string& app, const char* list) {
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(sql_.handle(), "INSERT INTO features VALUES (?1, ?2);", -1,
                                 &insert, nullptr), SQLITE_OK);
    sqlite3_bind_text(insert, 1, app.c_str(), -1, SQLITE_TRANSIENT);
    if (list) sqlite3_bind_text(insert, 2, list, -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
  }
  qvtest::SqlRows Rows(const std::string& app) {
    sqlite3_stmt* select = nullptr;
    qvtest::SqlRows rows;
    EXPECT_EQ(sqlite3_prepare_v2(sql_.handle(),
                                 "SELECT feature_list FROM features WHERE id_or_folder = ?1 ORDER BY ROWID;",
                                 -1, &select, nullptr), SQLITE_OK);
    sqlite3_bind_text(select, 1, app.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(select) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(select, 0);
      rows.push_back({text ? reinterpret_cast<const char*>(text) : qvtest::kNullCell});
    }
    sqlite3_finalize(select);
    return rows;
  }
  std::vector<std::string> Audit() {
    std::vector<std::string> lines;
    for (const auto& row : sql_.rows("SELECT what FROM audit ORDER BY ROWID")) lines.push_back(row[0]);
    sql_.exec("DELETE FROM audit;");
    return lines;
  }

  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
  std::wstring path_ = dir_.path() + L"installed_tovines.db";
  qvtest::SqliteFile sql_{path_};
  QVObjectDatabase db_;
};

}  // namespace

TEST_F(AppFeaturesTest, TheAppsRowsBecomeOneRowWithTheFeatureSet) {
  struct Case {
    std::vector<const char*> lists;  // the app's rows before; empty: none
    std::string after;               // the single row afterwards
    bool writes;
  } cases[] = {
      {{}, "+pinned", true},
      {{"-pinned,+other"}, "+pinned,+other", true},
      {{"+other"}, "+other,+pinned", true},
      {{"+pinned"}, "+pinned", false},
      {{"+Pinned"}, "+Pinned,+pinned", true},
      {{""}, ",+pinned", true},
      {{nullptr}, "+pinned", true},
      {{"+a", "-pinned", "+pinned"}, "+a,+pinned", true},  // only the first row is read
      {{"+it's,+\"q\",,+x'y"}, "+it's,+\"q\",,+x'y,+pinned", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.after));
    ASSERT_TRUE(sql_.exec("DELETE FROM features;"));
    Insert("other app", "-pinned,+other");
    for (const char* list : c.lists) Insert(kApp, list);
    Audit();

    QVSetAppFeature(db_, "pinned", kApp);

    const std::vector<std::string> rows = [&] {
      std::vector<std::string> lists;
      for (const auto& row : Rows(kApp)) lists.push_back(row[0]);
      return lists;
    }();
    if (c.writes) {
      EXPECT_EQ(rows, std::vector<std::string>{c.after});
      std::vector<std::string> expected(c.lists.size(), std::string("delete ") + kApp);
      expected.push_back(std::string("insert ") + kApp);
      EXPECT_EQ(Audit(), expected);
    } else {
      EXPECT_EQ(rows.size(), c.lists.size());
      EXPECT_EQ(rows.at(0), c.after);
      EXPECT_TRUE(Audit().empty()) << "a feature already set executes no statement";
    }
    EXPECT_EQ(Rows("other app"), (qvtest::SqlRows{{"-pinned,+other"}})) << "other apps untouched";
  }
}

TEST_F(AppFeaturesTest, AnAppIdentifierWithQuotesIsOneLiteral) {
  const std::string app = "o'brien' OR '1'='1";
  Insert(app, "+x");
  Insert("victim", "-pinned");
  QVSetAppFeature(db_, "pinned", app);
  EXPECT_EQ(Rows(app), (qvtest::SqlRows{{"+x,+pinned"}}));
  EXPECT_EQ(Rows("victim"), (qvtest::SqlRows{{"-pinned"}}));
}

TEST_F(AppFeaturesTest, AFailedInsertKeepsTheOldRow) {
  Insert(kApp, "-pinned,+other");
  Audit();
  ASSERT_TRUE(sql_.exec("CREATE TRIGGER refuse BEFORE INSERT ON features BEGIN"
                        " SELECT RAISE(ABORT, 'refused'); END;"));
  QVSetAppFeature(db_, "pinned", kApp);
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"-pinned,+other"}}))
      << "the delete is rolled back with the insert";
  EXPECT_TRUE(Audit().empty());
  // The connection is usable afterwards: no transaction left open.
  ASSERT_TRUE(sql_.exec("DROP TRIGGER refuse;"));
  QVSetAppFeature(db_, "pinned", kApp);
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+pinned,+other"}}));
}

TEST_F(AppFeaturesTest, ARowThatCannotBeReadIsNotOverwritten) {
  // Without a row id the select cannot run, while delete and insert still could: writing then
  // would replace "+other" by a list that never saw it.
  ASSERT_TRUE(sql_.exec("DROP TABLE features;"
                        "CREATE TABLE features (id_or_folder TEXT PRIMARY KEY, feature_list TEXT)"
                        " WITHOUT ROWID;"));
  Insert(kApp, "+other");
  QVSetAppFeature(db_, "pinned", kApp);
  EXPECT_EQ(sql_.rows("SELECT * FROM features"), (qvtest::SqlRows{{kApp, "+other"}}));
}

TEST_F(AppFeaturesTest, NothingIsWrittenWithoutAnOpenDatabase) {
  Insert(kApp, "+other");
  db_.close();
  QVSetAppFeature(db_, "pinned", kApp);
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+other"}}));
  EXPECT_FALSE(db_.isOpen());
}

// Another connection that ignores the mutex and holds a read transaction: the delete and insert
// succeed, but COMMIT cannot take the file (busy). Everything is rolled back and the connection
// is left usable.
TEST_F(AppFeaturesTest, ACommitRefusedByAnotherReaderKeepsTheOldRow) {
  Insert(kApp, "-pinned,+other");
  Audit();
  ASSERT_TRUE(sql_.exec("BEGIN; SELECT count(*) FROM features;"));
  sqlite3_stmt* reading = nullptr;
  // A statement stepped but not finished keeps the shared lock of the read transaction.
  ASSERT_EQ(sqlite3_prepare_v2(sql_.handle(), "SELECT * FROM features;", -1, &reading, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(reading), SQLITE_ROW);
  QVSetAppFeature(db_, "pinned", kApp);
  sqlite3_finalize(reading);
  ASSERT_TRUE(sql_.exec("COMMIT;"));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"-pinned,+other"}}));
  EXPECT_TRUE(Audit().empty()) << "the delete and insert were rolled back";
  QVSetAppFeature(db_, "pinned", kApp);
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+pinned,+other"}}));
}

// The select prepares (the schema is known) but its step fails: another connection holds the
// file exclusively. A row not read is not a missing row: nothing is written.
TEST_F(AppFeaturesTest, ASelectThatFailsToStepWritesNothing) {
  Insert(kApp, "+other");
  Insert("other app", "+x");
  QVSetAppFeature(db_, "pinned", "other app");  // the connection has read the schema
  Audit();
  ASSERT_TRUE(sql_.exec("BEGIN EXCLUSIVE;"));
  QVSetAppFeature(db_, "pinned", kApp);
  ASSERT_TRUE(sql_.exec("COMMIT;"));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+other"}}));
  EXPECT_TRUE(Audit().empty());
}
