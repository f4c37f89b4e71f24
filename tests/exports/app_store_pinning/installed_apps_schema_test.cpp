#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exports/app_store_pinning/installed_apps_schema.h"
#include "store/database/qv_object_database.h"
#include "support/gtest/sqlite_file.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using Names = std::vector<std::string>;

const std::string kCreated = "QVObjectDatabase::createTableFromObjectProperties: ";
const std::string kCreateTovines =
    "CREATE TABLE tovines (tovin_id TEXT,hash TEXT,hashcheck TEXT,disabled TEXT,install_time INT,"
    "install_source TEXT,install_campaign TEXT);";
const std::string kCreateTovinState =
    "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);";
const std::string kCreateSettings =
    "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);";
const std::string kCreateFeatures = "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);";

class InstalledAppsSchemaTest : public testing::Test {
 protected:
  bool Prepare() {
    return QVPrepareInstalledAppsSchema(
        db_, [this] { return path_; }, 10000);
  }
  Names Log() const {
    Names messages;
    for (const auto& line : qvtest::TodaysLogMessages(dir_.path()))
      messages.push_back(qvtest::Utf8(line));
    return messages;
  }

  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
  std::wstring path_ = dir_.path() + L"installed_tovines.db";
  QVObjectDatabase db_;
};

}  // namespace

TEST_F(InstalledAppsSchemaTest, AMissingFileIsCreatedWithFourTables) {
  EXPECT_TRUE(Prepare());
  EXPECT_TRUE(db_.isOpen());
  db_.close();
  qvtest::SqliteFile file(path_);
  EXPECT_EQ(file.tables(), (Names{"features", "settings", "tovines", "tovinstate"}));
  EXPECT_EQ(file.columns("tovines"), (Names{"tovin_id", "hash", "hashcheck", "disabled",
                                            "install_time", "install_source", "install_campaign"}));
  EXPECT_EQ(file.columns("settings"), (Names{"id_or_folder", "name", "value", "type"}));
  EXPECT_EQ(Log(), (Names{kCreated + kCreateTovines, kCreated + kCreateTovinState,
                          kCreated + kCreateSettings, kCreated + kCreateFeatures}));
}

TEST_F(InstalledAppsSchemaTest, AnOlderFileGainsWhatIsMissingButNeverTovines) {
  struct Case {
    std::string setup;
    Names logged;
    qvtest::SqlRows settings;  // the settings rows afterwards
  } cases[] = {
      {"CREATE TABLE settings (id_or_folder TEXT, name TEXT, value TEXT);"
       "INSERT INTO settings VALUES ('app', 'n', 'v');",
       {kCreated + kCreateFeatures, kCreated + kCreateTovinState},
       {{"app", "n", "v", qvtest::kNullCell}}},
      {"CREATE TABLE features (id_or_folder TEXT, feature_list TEXT);"
       "CREATE TABLE tovinstate (a TEXT);",
       {kCreated + kCreateSettings},
       {}},
      {"CREATE TABLE unrelated (x INT);",
       {kCreated + kCreateFeatures, kCreated + kCreateTovinState, kCreated + kCreateSettings},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup);
    DeleteFileW(path_.c_str());
    const size_t logged = Log().size();
    {
      qvtest::SqliteFile setup(path_);
      ASSERT_TRUE(setup.exec(c.setup));
    }
    EXPECT_TRUE(Prepare());
    db_.close();
    const Names log = Log();
    EXPECT_EQ(Names(log.begin() + logged, log.end()), c.logged);
    qvtest::SqliteFile file(path_);
    const Names tables = file.tables();
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "tovines"), 0);
    for (const char* table : {"features", "settings", "tovinstate"}) {
      EXPECT_EQ(std::count(tables.begin(), tables.end(), table), 1) << table;
    }
    const Names columns = file.columns("settings");
    EXPECT_EQ(columns.back(), "type");
    EXPECT_EQ(std::count(columns.begin(), columns.end(), "type"), 1);
    EXPECT_EQ(file.rows("SELECT * FROM settings"), c.settings);
  }
}

TEST_F(InstalledAppsSchemaTest, ACompleteFileIsOnlyOpened) {
  {
    qvtest::SqliteFile setup(path_);
    ASSERT_TRUE(setup.exec(kCreateFeatures + kCreateSettings +
                           "INSERT INTO settings VALUES ('app', 'n', 'v', 't');" +
                           kCreateTovinState));
  }
  const std::string before = qvtest::ReadFileBytes(path_);
  EXPECT_TRUE(Prepare());
  EXPECT_TRUE(db_.isOpen());
  db_.close();
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(qvtest::ReadFileBytes(path_), before);
}

TEST_F(InstalledAppsSchemaTest, AnOpenDatabaseIsLeftAsItIs) {
  ASSERT_EQ(db_.openOrCreate(dir_.path() + L"other.db"), QVObjectDatabase::kOk);
  bool asked = false;
  EXPECT_TRUE(QVPrepareInstalledAppsSchema(
      db_,
      [&] {
        asked = true;
        return path_;
      },
      10000));
  EXPECT_FALSE(asked);
  EXPECT_FALSE(qvtest::FileExists(path_));
  EXPECT_FALSE(db_.tableExists("features"));
}

TEST_F(InstalledAppsSchemaTest, AnEmptyPathWorksOnAPrivateDatabaseThatVanishes) {
  path_.clear();
  EXPECT_TRUE(Prepare());
  ASSERT_TRUE(db_.isOpen());
  EXPECT_TRUE(db_.tableExists("features"));
  EXPECT_EQ(Log().size(), 4u) << "only the four creations are logged";
  db_.close();
  Prepare();
  EXPECT_EQ(Log().size(), 8u) << "a new private database each time";
}

// A file that cannot be opened, created or read is left as it was, with a log line that names
// it and gives SQLite's reason; the connection is closed again.
TEST_F(InstalledAppsSchemaTest, UnusableFilesAreNotChanged) {
  const std::string file = qvtest::Utf8(path_);
  // Not a database at all: SQLite reads the header lazily, so the open works and the first
  // question about the tables fails.
  const std::string text = "plain text, not a database\r\n" + std::string(4096, 'z');
  qvtest::WriteFileBytes(path_, text);
  EXPECT_FALSE(Prepare());
  EXPECT_FALSE(db_.isOpen());
  EXPECT_TRUE(qvtest::ReadFileBytes(path_) == text) << "the file was changed";
  EXPECT_EQ(Log(), Names{"QVPrepareInstalledAppsSchema: could not read the tables of " + file +
                         ": file is not a database; nothing written"});
  ASSERT_TRUE(DeleteFileW(path_.c_str()));

  // A folder where the file should be.
  ASSERT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Log().back(), "QVPrepareInstalledAppsSchema: could not create " + file +
                              ": unable to open database file; nothing written");
  ASSERT_TRUE(RemoveDirectoryW(path_.c_str()));
}

// Another program holds the file locked (ignoring the mutex) for longer than a statement waits:
// whether the tables are there cannot be read, so none is created, and the log says so instead
// of claiming to create them.
TEST_F(InstalledAppsSchemaTest, ALockedFileGetsNoTableItMayAlreadyHave) {
  qvtest::SqliteFile other(path_);
  ASSERT_TRUE(
      other.exec("CREATE TABLE settings (id_or_folder TEXT, name TEXT, value TEXT);"
                 "BEGIN EXCLUSIVE; INSERT INTO settings VALUES ('a', 'b', 'c');"));
  EXPECT_FALSE(Prepare());
  EXPECT_FALSE(db_.isOpen());
  EXPECT_EQ(Log(), Names{"QVPrepareInstalledAppsSchema: could not read the tables of " +
                         qvtest::Utf8(path_) + ": database is locked; nothing written"});
  ASSERT_TRUE(other.exec("ROLLBACK;"));
  EXPECT_EQ(other.tables(), Names{"settings"});
}

// A database another program only reads, and keeps others from writing: SQLite opens it
// read-only, every creation fails and says why, and nothing is pinned into it.
TEST_F(InstalledAppsSchemaTest, ACreationRefusedIsLoggedWithItsReason) {
  {
    qvtest::SqliteFile setup(path_);
    ASSERT_TRUE(
        setup.exec("CREATE TABLE settings (id_or_folder TEXT, name TEXT, value TEXT, type TEXT);"));
  }
  const std::string before = qvtest::ReadFileBytes(path_);
  HANDLE reader = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Prepare()) << "no features table";
  db_.close();
  CloseHandle(reader);
  EXPECT_TRUE(qvtest::ReadFileBytes(path_) == before) << "the file was changed";
  const std::string refused = ": attempt to write a readonly database";
  EXPECT_EQ(Log(), (Names{kCreated + kCreateFeatures,
                          "QVPrepareInstalledAppsSchema: could not create table features in " +
                              qvtest::Utf8(path_) + refused,
                          kCreated + kCreateTovinState,
                          "QVPrepareInstalledAppsSchema: could not create table tovinstate in " +
                              qvtest::Utf8(path_) + refused}));
}
