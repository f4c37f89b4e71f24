#pragma once

#include <sqlite3.h>

#include "foundation/owners/scoped_owner.h"

struct SqliteStatementTraits {
  using Type = sqlite3_stmt*;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type statement) { sqlite3_finalize(statement); }
};

// Owns one prepared statement and finalizes it on every way out of the operation that made it.
// put() is the slot for sqlite3_prepare_v2's out-parameter (it finalizes what was held first).
using QVSqliteStatement = ScopedOwner<SqliteStatementTraits>;
