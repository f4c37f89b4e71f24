#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/app_store_pinning/app_features.h"
#include "store/database/qv_object_database.h"
#include "support/gtest/sqlite_file.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using Names = std::vector<std::string>;

const char kApp[] = "6cad4a268d116ece1738f7d93d9c172411e20b8f";
const uint32_t kMutexWaitMs = 10000;

// A features table with an audit trail: the triggers record every delete and insert the code
// under test runs, so a case that must write nothing can be checked.
class AppFeaturesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        sql_.exec("CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
                  "CREATE TABLE audit (what TEXT);"
                  "CREATE TRIGGER on_delete AFTER DELETE ON features BEGIN"
                  " INSERT INTO audit VALUES ('delete ' || old.id_or_folder); END;"
                  "CREATE TRIGGER on_insert AFTER INSERT ON features BEGIN"
                  " INSERT INTO audit VALUES ('insert ' || new.id_or_folder); END;"));
    ASSERT_EQ(db_.open(path_), QVObjectDatabase::kOk);
  }

  // Inserts rows (app, list) directly; a null list is SQL NULL.
  void Insert(const std::string& app, const char* list) {
    ASSERT_TRUE(sql_.exec("INSERT INTO features VALUES (" + qvtest::SqlText(app) + ", " +
                          (list ? qvtest::SqlText(list) : "NULL") + ");"));
  }
  qvtest::SqlRows Rows(const std::string& app) {
    return sql_.rows("SELECT feature_list FROM features WHERE id_or_folder = " +
                     qvtest::SqlText(app) + " ORDER BY ROWID;");
  }
  bool Set(const std::string& app) { return QVSetAppFeature(db_, "pinned", app, kMutexWaitMs); }
  Names Log() const {
    Names messages;
    for (const auto& line : qvtest::TodaysLogMessages(dir_.path()))
      messages.push_back(qvtest::Utf8(line));
    return messages;
  }
  // The log line of a row left alone.
  std::string Refusal(const std::string& what, const std::string& why) const {
    return "QVSetAppFeature: could not " + what + " the features of " + kApp + " in " +
           qvtest::Utf8(path_) + ": " + why + "; nothing written";
  }
  std::vector<std::string> Audit() {
    std::vector<std::string> lines;
    for (const auto& row : sql_.rows("SELECT what FROM audit ORDER BY ROWID"))
      lines.push_back(row[0]);
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

    EXPECT_TRUE(Set(kApp));

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
  EXPECT_TRUE(Log().empty()) << testing::PrintToString(Log());
}

TEST_F(AppFeaturesTest, AnAppIdentifierWithQuotesIsOneLiteral) {
  const std::string app = "o'brien' OR '1'='1";
  Insert(app, "+x");
  Insert("victim", "-pinned");
  EXPECT_TRUE(Set(app));
  EXPECT_EQ(Rows(app), (qvtest::SqlRows{{"+x,+pinned"}}));
  EXPECT_EQ(Rows("victim"), (qvtest::SqlRows{{"-pinned"}}));
}

// Each way the row can be left alone says so, with SQLite's own reason, and answers false; the
// old row is kept and the connection stays usable.
TEST_F(AppFeaturesTest, AFailedInsertKeepsTheOldRow) {
  Insert(kApp, "-pinned,+other");
  Audit();
  ASSERT_TRUE(
      sql_.exec("CREATE TRIGGER refuse BEFORE INSERT ON features BEGIN"
                " SELECT RAISE(ABORT, 'refused'); END;"));
  EXPECT_FALSE(Set(kApp));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"-pinned,+other"}}))
      << "the delete is rolled back with the insert";
  EXPECT_TRUE(Audit().empty());
  EXPECT_EQ(Log(), Names{Refusal("write", "refused")});
  // The connection is usable afterwards: no transaction left open.
  ASSERT_TRUE(sql_.exec("DROP TRIGGER refuse;"));
  EXPECT_TRUE(Set(kApp));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+pinned,+other"}}));
}

TEST_F(AppFeaturesTest, ARowThatCannotBeReadIsNotOverwritten) {
  // Without a row id the select cannot run, while delete and insert still could: writing then
  // would replace "+other" by a list that never saw it.
  ASSERT_TRUE(
      sql_.exec("DROP TABLE features;"
                "CREATE TABLE features (id_or_folder TEXT PRIMARY KEY, feature_list TEXT)"
                " WITHOUT ROWID;"));
  Insert(kApp, "+other");
  EXPECT_FALSE(Set(kApp));
  EXPECT_EQ(sql_.rows("SELECT * FROM features"), (qvtest::SqlRows{{kApp, "+other"}}));
  EXPECT_EQ(Log(), Names{Refusal("read", "no such column: ROWID")});
}

TEST_F(AppFeaturesTest, NothingIsWrittenWithoutAnOpenDatabase) {
  Insert(kApp, "+other");
  db_.close();
  EXPECT_FALSE(Set(kApp));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+other"}}));
  EXPECT_FALSE(db_.isOpen());
  EXPECT_EQ(Log(),
            Names{"QVSetAppFeature: the installed-apps database is not open; nothing written"});
}

// Another program that ignores the mutex and holds a read transaction: the library waits for
// it a while, then COMMIT gives up (busy). Everything is rolled back and the connection is left
// usable.
TEST_F(AppFeaturesTest, ACommitRefusedByAnotherReaderKeepsTheOldRow) {
  Insert(kApp, "-pinned,+other");
  Audit();
  ASSERT_TRUE(sql_.exec("BEGIN; SELECT count(*) FROM features;"));
  EXPECT_FALSE(Set(kApp));
  ASSERT_TRUE(sql_.exec("COMMIT;"));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"-pinned,+other"}}));
  EXPECT_TRUE(Audit().empty()) << "the delete and insert were rolled back";
  EXPECT_EQ(Log(), Names{Refusal("write", "database is locked")});
  EXPECT_TRUE(Set(kApp));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+pinned,+other"}}));
}

// Another program holds the file exclusively past the wait: a row not read is not a missing
// row, and nothing is written.
TEST_F(AppFeaturesTest, ASelectThatFailsToStepWritesNothing) {
  Insert(kApp, "+other");
  Insert("other app", "+x");
  EXPECT_TRUE(Set("other app"));  // the connection has read the schema
  Audit();
  ASSERT_TRUE(sql_.exec("BEGIN EXCLUSIVE;"));
  EXPECT_FALSE(Set(kApp));
  ASSERT_TRUE(sql_.exec("COMMIT;"));
  EXPECT_EQ(Rows(kApp), (qvtest::SqlRows{{"+other"}}));
  EXPECT_TRUE(Audit().empty());
  EXPECT_EQ(Log(), Names{Refusal("read", "database is locked")});
}

// A feature already set needs no write, so it is answered while another program is writing
// (or the file cannot be written at all).
TEST_F(AppFeaturesTest, AFeatureAlreadySetNeedsNoWriteLock) {
  Insert(kApp, "+pinned");
  ASSERT_TRUE(sql_.exec("BEGIN IMMEDIATE; UPDATE features SET feature_list = feature_list;"));
  EXPECT_TRUE(Set(kApp));
  ASSERT_TRUE(sql_.exec("COMMIT;"));
  EXPECT_TRUE(Log().empty()) << testing::PrintToString(Log());
}
