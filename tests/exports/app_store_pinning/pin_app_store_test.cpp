#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "exports/app_store_pinning/app_features.h"
#include "exports/app_store_pinning/installed_apps_schema.h"
#include "foundation/locks/qv_mutex_lock.h"
#include "foundation/owners/scoped_handle.h"
#include "store/database/qv_object_database.h"
#include "support/child_process.h"
#include "support/gtest/sqlite_file.h"
#include "support/holding_child.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const char kAppStore[] = "6cad4a268d116ece1738f7d93d9c172411e20b8f";
const char kDbMutex[] = "TOVIN_DB_MUTEX";
const std::string kPinning = "QVNSIS_PinAppStore: pinning app store to the taskbar";
const std::string kCreated = "QVObjectDatabase::createTableFromObjectProperties: CREATE TABLE ";
const std::string kNoInstallation = "QVNSIS_PinAppStore: installation directory not found";

using Names = std::vector<std::string>;

// Calls QVNSIS_PinAppStore once, after the manual-reset event args[0] is set when one is named,
// and exits with its result (100: the export could not be reached).
QV_TEST_CHILD(pin_app_store) {
  qvtest::Library library;
  auto pin = QV_EXPORT(library, QVNSIS_PinAppStore);
  if (!pin) return 100;
  if (!args.empty()) {
    ScopedHandle start(OpenEventW(SYNCHRONIZE, FALSE, args[0].c_str()));
    if (!start || WaitForSingleObject(start.get(), 60000) != WAIT_OBJECT_0) return 101;
  }
  return pin();
}

// Takes the database mutex, sets the event args[0] and keeps the mutex until it is killed or
// the event args[1] is set.
QV_TEST_CHILD(hold_db_mutex) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kDbMutex);
  if (!mutex || WaitForSingleObject(mutex, 60000) == WAIT_TIMEOUT) return 2;
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(1).c_str()));
  if (!ready || !done) return 3;
  SetEvent(ready.get());
  WaitForSingleObject(done.get(), 60000);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}

// Exit code 0 when the database mutex is free, 1 when someone holds it.
QV_TEST_CHILD(try_db_mutex) {
  QVMutexLock lock(kDbMutex, 0);
  return lock.held() ? 0 : 1;
}

using qvtest::HoldingChild;

// A fresh HKCU\SOFTWARE\Tovin whose "InstallDir" is a scratch directory, which is also the
// log directory; both are put back afterwards.
class PinAppStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    installDir_ = dir_.path() + L"Tovin";
    ASSERT_TRUE(CreateDirectoryW(installDir_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((installDir_ + L"\\Tovines").c_str(), nullptr));
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                           qvtest::WideBytes(installDir_)));
    dbPath_ = installDir_ + L"\\Tovines\\installed_tovines.db";
  }

  // Runs the export in a process of its own, as an installer would, and answers its result.
  DWORD Pin() { return qvtest::RunChild(L"pin_app_store", {}).exitCode; }
  bool MutexIsFree() { return qvtest::RunChild(L"try_db_mutex", {}).exitCode == 0; }
  // The log without what every load of the library writes.
  Names Log() const {
    static const wchar_t* const kLoadSources[] = {L"DllMain: ", L"ThreadLocaleManager::Init: ",
                                                  L"QVOS::getWindowsVersion: "};
    Names messages;
    for (const auto& line : qvtest::TodaysLogMessages(dir_.path())) {
      const bool atLoad =
          std::any_of(std::begin(kLoadSources), std::end(kLoadSources),
                      [&](const wchar_t* source) { return line.rfind(source, 0) == 0; });
      if (!atLoad) messages.push_back(qvtest::Utf8(line));
    }
    return messages;
  }
  qvtest::SqlRows Features() {
    qvtest::SqliteFile file(dbPath_);
    return file.rows("SELECT id_or_folder, feature_list FROM features ORDER BY id_or_folder");
  }
  void Setup(const std::string& sql) {
    qvtest::SqliteFile file(dbPath_);
    ASSERT_TRUE(file.exec(sql)) << sql;
  }

  qvtest::ScopedRegistryKey savedKey_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir dir_;
  qvtest::ScopedTempEnv logEnv_{dir_.path()};
  std::wstring installDir_;
  std::wstring dbPath_;
};

size_t CountCreations(const Names& log) {
  return std::count_if(log.begin(), log.end(), [](const std::string& m) {
    return m.compare(0, kCreated.size(), kCreated) == 0;
  });
}

}  // namespace

TEST_F(PinAppStoreTest, AMissingDatabaseIsCreatedAndTheAppStorePinnedOnce) {
  EXPECT_EQ(Pin(), 1u) << "the mutex was released and its handle closed";
  {
    qvtest::SqliteFile file(dbPath_);
    EXPECT_EQ(file.tables(), (Names{"features", "settings", "tovines", "tovinstate"}));
  }
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
  Names log = Log();
  ASSERT_EQ(log.size(), 5u) << testing::PrintToString(log);
  EXPECT_EQ(log[0], kPinning);
  EXPECT_EQ(log[1].substr(0, kCreated.size() + 8), kCreated + "tovines ");
  EXPECT_EQ(log[4], kCreated + "features (id_or_folder TEXT,feature_list TEXT);");

  // Again: the file is only opened, and the row stays the one row.
  EXPECT_EQ(Pin(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
  log = Log();
  EXPECT_EQ(Names(log.begin() + 5, log.end()), Names{kPinning});
  EXPECT_TRUE(DeleteFileW(dbPath_.c_str())) << "the database is closed after the call";
  EXPECT_TRUE(MutexIsFree());
}

TEST_F(PinAppStoreTest, AnOlderDatabaseGainsTheTypeColumnButNoTovinesTable) {
  Setup(
      "CREATE TABLE settings (id_or_folder TEXT, name TEXT, value TEXT);"
      "INSERT INTO settings VALUES ('x', 'y', 'z');"
      "CREATE TABLE features (id_or_folder TEXT, feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned,+other');");
  EXPECT_EQ(Pin(), 1u);
  qvtest::SqliteFile file(dbPath_);
  EXPECT_EQ(file.tables(), (Names{"features", "settings", "tovinstate"}));
  EXPECT_EQ(file.columns("settings"), (Names{"id_or_folder", "name", "value", "type"}));
  EXPECT_EQ(file.rows("SELECT * FROM settings"),
            (qvtest::SqlRows{{"x", "y", "z", qvtest::kNullCell}}));
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned,+other"}}));
  EXPECT_EQ(CountCreations(Log()), 1u) << "only tovinstate";
}

// Said like every other export, and nothing is opened: SQLite would take the empty file name
// for a private temporary database. Nothing is pinned, and the result says so.
TEST_F(PinAppStoreTest, WithoutAnInstallDirectoryNothingReachesTheDisk) {
  qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
  EXPECT_EQ(Pin(), 0u);
  EXPECT_EQ(Log(), (Names{kPinning, kNoInstallation}));
  EXPECT_FALSE(qvtest::FileExists(dbPath_));
  EXPECT_TRUE(MutexIsFree());
}

TEST_F(PinAppStoreTest, WaitsWhileAnotherProcessHoldsTheMutexThenCompletes) {
  HoldingChild holder(L"hold_db_mutex", {});
  ASSERT_TRUE(holder.holding());
  qvtest::RunningChild pin(L"pin_app_store", {});
  // Bounded only so that a broken wait fails the test instead of hanging it: the export must
  // still be waiting, having touched nothing.
  EXPECT_EQ(WaitForSingleObject(pin.process(), 3000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(qvtest::FileExists(dbPath_));
  EXPECT_EQ(holder.finish(), 0u);
  EXPECT_EQ(pin.wait(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
}

TEST_F(PinAppStoreTest, AMutexLeftByAKilledProcessIsTakenOver) {
  HoldingChild holder(L"hold_db_mutex", {});
  ASSERT_TRUE(holder.holding());
  // A second handle keeps the mutex alive: killing its only holder would destroy it instead of
  // leaving it abandoned (as the engine's own handle does in the field).
  const ScopedHandle keep(OpenMutexA(SYNCHRONIZE, FALSE, kDbMutex));
  ASSERT_TRUE(keep);
  holder.kill();
  EXPECT_EQ(Pin(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
  EXPECT_TRUE(MutexIsFree());
}

TEST_F(PinAppStoreTest, FourInstallersAtOnceLeaveOneRowPinnedOnce) {
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) +
      "', '+other');"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '+duplicate');");
  const std::wstring startName = qvtest::UniqueName(L"start");
  ScopedHandle start(CreateEventW(nullptr, TRUE, FALSE, startName.c_str()));
  std::vector<std::unique_ptr<qvtest::RunningChild>> installers;
  for (int i = 0; i < 4; ++i) {
    installers.push_back(
        std::make_unique<qvtest::RunningChild>(L"pin_app_store", qvtest::ChildArgs{startName}));
  }
  SetEvent(start.get());
  for (auto& installer : installers) EXPECT_EQ(installer->wait(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+other,+pinned"}}));
  EXPECT_EQ(CountCreations(Log()), 2u) << "the missing tables were created by one installer only";
}

TEST_F(PinAppStoreTest, QuotesCommasAndLongListsLeaveOtherRowsIntact) {
  std::string longList;
  for (int i = 0; i < 400; ++i) longList += (i ? ",+f" : "+f") + std::to_string(i);
  struct Case {
    std::string list;  // as an SQL literal's content
    std::string after;
  } cases[] = {
      {"+it''s,\"x\",,+a''b", "+it's,\"x\",,+a'b,+pinned"},
      {longList, longList + ",+pinned"},
      {longList + ",-pinned," + longList, longList + ",+pinned," + longList},
      {"''); DROP TABLE features; --", "'); DROP TABLE features; --,+pinned"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after.substr(0, 40));
    DeleteFileW(dbPath_.c_str());
    Setup(
        "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
        "INSERT INTO features VALUES ('another app', '-pinned,+o''ther');"
        "INSERT INTO features VALUES ('" +
        std::string(kAppStore) + "', '" + c.list +
        "');"
        "INSERT INTO features VALUES ('zz', NULL);");
    EXPECT_EQ(Pin(), 1u);
    const qvtest::SqlRows rows = Features();
    EXPECT_TRUE(rows == (qvtest::SqlRows{{kAppStore, c.after},
                                         {"another app", "-pinned,+o'ther"},
                                         {"zz", qvtest::kNullCell}}))
        << "rows differ; first row: " << (rows.empty() ? "" : rows[0].at(1).substr(0, 80));
  }
}

TEST_F(PinAppStoreTest, UnusableDatabasesAreLeftAsTheyAreAndTheMutexFree) {
  // Not a database: nothing changes.
  const std::string text = "not a database\r\n" + std::string(3000, 'q');
  qvtest::WriteFileBytes(dbPath_, text);
  EXPECT_EQ(Pin(), 0u);
  EXPECT_TRUE(qvtest::ReadFileBytes(dbPath_) == text) << "the file was changed";
  EXPECT_EQ(Log(), (Names{kPinning, "QVPrepareInstalledAppsSchema: could not read the tables of " +
                                        qvtest::Utf8(dbPath_) +
                                        ": file is not a database; nothing written"}));
  EXPECT_TRUE(MutexIsFree());
  ASSERT_TRUE(DeleteFileW(dbPath_.c_str()));

  // Locked by a program that ignores the mutex, past what a statement waits: the row survives.
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);"
      "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned,+other');");
  {
    qvtest::SqliteFile locker(dbPath_);
    ASSERT_TRUE(locker.exec("BEGIN EXCLUSIVE; UPDATE features SET feature_list = feature_list;"));
    EXPECT_EQ(Pin(), 0u);
    EXPECT_TRUE(MutexIsFree());
    ASSERT_TRUE(locker.exec("ROLLBACK;"));
  }
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "-pinned,+other"}}));
  EXPECT_EQ(Log().back(), "QVPrepareInstalledAppsSchema: could not read the tables of " +
                              qvtest::Utf8(dbPath_) + ": database is locked; nothing written");
  // Once the lock is gone the next call pins.
  EXPECT_EQ(Pin(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned,+other"}}));
}

// A lock that another program gives up within what a statement waits is waited for.
TEST_F(PinAppStoreTest, ALockGivenUpWithinTheBusyWaitIsWaitedFor) {
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned');");
  qvtest::SqliteFile locker(dbPath_);
  ASSERT_TRUE(locker.exec("BEGIN EXCLUSIVE; UPDATE features SET feature_list = feature_list;"));
  qvtest::RunningChild pin(L"pin_app_store", {});
  // Given up once the export is under way (it logs before it opens the file).
  const DWORD start = GetTickCount();
  while (Log().empty() && GetTickCount() - start < 60000) Sleep(20);
  ASSERT_FALSE(Log().empty());
  Sleep(300);
  ASSERT_TRUE(locker.exec("ROLLBACK;"));
  EXPECT_EQ(pin.wait(), 1u);
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
  EXPECT_EQ(CountCreations(Log()), 2u) << "tovinstate and settings";
}

// A file another process holds open without sharing cannot be opened; an installation without
// its Tovines folder gives the file nowhere to be created. Either way nothing is written or
// created, the log says why, and the mutex is free again.
TEST_F(PinAppStoreTest, ADatabaseThatCannotBeOpenedOrCreatedIsLeftAlone) {
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned,+other');");
  const std::string before = qvtest::ReadFileBytes(dbPath_);
  const std::string cannot = ": unable to open database file; nothing written";
  {
    const ScopedFileHandle held(CreateFileW(dbPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(Pin(), 0u);
    EXPECT_TRUE(MutexIsFree());
  }
  EXPECT_TRUE(qvtest::ReadFileBytes(dbPath_) == before) << "the file was changed";
  EXPECT_EQ(Log(), (Names{kPinning, "QVPrepareInstalledAppsSchema: could not open " +
                                        qvtest::Utf8(dbPath_) + cannot}));

  const std::wstring appsDir = installDir_ + L"\\Tovines";
  ASSERT_TRUE(DeleteFileW(dbPath_.c_str()));
  ASSERT_TRUE(RemoveDirectoryW(appsDir.c_str()));
  EXPECT_EQ(Pin(), 0u);
  EXPECT_FALSE(qvtest::FileExists(appsDir));
  EXPECT_EQ(Log().back(),
            "QVPrepareInstalledAppsSchema: could not create " + qvtest::Utf8(dbPath_) + cannot);
  EXPECT_TRUE(MutexIsFree());
}

// An "InstallDir" that reads as empty text (an empty string, or a REG_DWORD 0 whose bytes are
// taken as text) is no installation: it is said, and nothing is opened, on the disk or off it.
TEST_F(PinAppStoreTest, AnInstallDirThatReadsAsEmptyLeavesTheDiskAlone) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"an empty REG_SZ", REG_SZ, qvtest::WideBytes(L"")},
      {"a REG_DWORD 0", REG_DWORD, qvtest::DwordBytes(0)},
  };
  Names expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(
        qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", c.type, c.bytes));
    EXPECT_EQ(Pin(), 0u);
    expected.insert(expected.end(), {kPinning, kNoInstallation});
    EXPECT_EQ(Log(), expected);
    EXPECT_FALSE(qvtest::FileExists(dbPath_));
    EXPECT_TRUE(MutexIsFree());
  }
}

// A mutex that cannot be created or opened (here its name is taken by an event, which makes
// CreateMutexA fail with ERROR_INVALID_HANDLE) would leave the work unguarded against the
// engine: each step says so and writes nothing, neither into an existing file nor a new one.
TEST_F(PinAppStoreTest, WithoutItsMutexNothingIsWritten) {
  const std::string refused = ": (err: 6) could not open TOVIN_DB_MUTEX; nothing written";
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned,+other');");
  const std::string before = qvtest::ReadFileBytes(dbPath_);
  {
    const ScopedHandle squatter(CreateEventA(nullptr, TRUE, FALSE, kDbMutex));
    ASSERT_TRUE(squatter);
    EXPECT_EQ(Pin(), 0u);
    EXPECT_TRUE(qvtest::ReadFileBytes(dbPath_) == before) << "the file was changed";
    EXPECT_EQ(Log(), (Names{kPinning, "QVPrepareInstalledAppsSchema" + refused}));

    ASSERT_TRUE(DeleteFileW(dbPath_.c_str()));
    EXPECT_EQ(Pin(), 0u);
    EXPECT_FALSE(qvtest::FileExists(dbPath_)) << "no file was created";
  }
  EXPECT_EQ(Pin(), 1u) << "with the name free again it pins";
  EXPECT_EQ(Features(), (qvtest::SqlRows{{kAppStore, "+pinned"}}));
}

// An engine that hangs while it holds the mutex: each step waits a bounded time (two minutes in
// the export; shorter here), then says so and writes nothing.
TEST_F(PinAppStoreTest, AMutexHeldPastTheWaitEndsEachStepWithoutWriting) {
  Setup(
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);"
      "INSERT INTO features VALUES ('" +
      std::string(kAppStore) + "', '-pinned');");
  const std::string before = qvtest::ReadFileBytes(dbPath_);
  const std::string held =
      ": TOVIN_DB_MUTEX still held by another process after 2 s; nothing written";
  QVObjectDatabase db;
  {
    HoldingChild holder(L"hold_db_mutex", {});
    ASSERT_TRUE(holder.holding());
    const DWORD start = GetTickCount();
    EXPECT_FALSE(QVPrepareInstalledAppsSchema(
        db, [&] { return dbPath_; }, 2000));
    EXPECT_FALSE(db.isOpen());
    ASSERT_EQ(db.open(dbPath_), QVObjectDatabase::kOk);
    EXPECT_FALSE(QVSetAppFeature(db, "pinned", kAppStore, 2000));
    // Both waits ran out (no upper limit checked: a loaded machine may be slower).
    EXPECT_GE(GetTickCount() - start, 3900u);
    db.close();
  }
  EXPECT_TRUE(qvtest::ReadFileBytes(dbPath_) == before) << "the file was changed";
  EXPECT_EQ(Log(), (Names{"QVPrepareInstalledAppsSchema" + held, "QVSetAppFeature" + held}));
}
