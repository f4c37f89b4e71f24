#pragma once

#include <sqlite3.h>

#include "foundation/owners/scoped_owner.h"

struct SqliteConnectionTraits {
  using Type = sqlite3*;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type db) { sqlite3_close(db); }
};

// Owns one database connection and closes it on every way out. SQLite hands back a connection
// even when sqlite3_open_v2 fails, and that one must be closed too.
using QVSqliteConnection = ScopedOwner<SqliteConnectionTraits>;
