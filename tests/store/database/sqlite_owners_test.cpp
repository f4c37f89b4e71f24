#include <gtest/gtest.h>

#include <windows.h>

#include <sqlite3.h>

#include "store/database/sqlite_connection.h"
#include "store/database/sqlite_statement.h"

// A statement left unfinalized keeps its connection from closing (SQLITE_BUSY); the owners
// finalize and close on every way out, and a free keeps the caller's last error.
TEST(SqliteOwners, StatementsAreFinalizedAndConnectionsClosed) {
  QVSqliteConnection db;
  ASSERT_EQ(
      sqlite3_open_v2(":memory:", db.put(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
      SQLITE_OK);
  ASSERT_TRUE(db);
  {
    QVSqliteStatement first;
    ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT 1;", -1, first.put(), nullptr), SQLITE_OK);
    ASSERT_TRUE(first);
    EXPECT_EQ(sqlite3_next_stmt(db.get(), nullptr), first.get());

    // put() finalizes what was held before handing out the slot again.
    ASSERT_EQ(sqlite3_prepare_v2(db.get(), "SELECT 2;", -1, first.put(), nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_next_stmt(db.get(), first.get()), nullptr) << "only the second is left";
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(sqlite3_next_stmt(db.get(), nullptr), nullptr) << "the scope finalized it";

  sqlite3* raw = db.release();
  EXPECT_FALSE(db);
  EXPECT_EQ(sqlite3_close(raw), SQLITE_OK) << "nothing was left open on the connection";
}
