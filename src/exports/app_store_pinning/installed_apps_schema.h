#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QVObjectDatabase;

// Opens the installed-apps database and makes sure the tables the engine expects are there,
// under the database mutex. A missing file is created with "tovines", "tovinstate", "settings"
// and "features"; an existing one gains a missing "features", "tovinstate" or "settings" table
// and the settings "type" column, but never "tovines" (the engine owns that table once the file
// exists). `path` is asked for the file only once the mutex is held, which is waited for at most
// `mutexWaitMs`.
//
// True when the database is open with a "features" table (an open `db` is taken as it is).
// Otherwise a log line says why and nothing was written: the mutex could not be had, the file
// could not be opened or created, or its tables could not be read (a locked or damaged file, a
// schema this SQLite cannot parse); a table whose presence is unknown is never created.
bool QVPrepareInstalledAppsSchema(QVObjectDatabase& db, const std::function<std::wstring()>& path,
                                  uint32_t mutexWaitMs);
