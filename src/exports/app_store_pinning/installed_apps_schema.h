#pragma once

#include <functional>
#include <string>

class QVObjectDatabase;

// Opens the installed-apps database and makes sure the tables the engine expects are there,
// under the database mutex; does nothing when `db` is already open. A missing file is created
// with "tovines", "tovinstate", "settings" and "features"; an existing one gains a missing
// "features", "tovinstate" or "settings" table and the settings "type" column, but never
// "tovines" (the engine owns that table once the file exists). `path` is asked for the file
// only once the mutex is held. Failures are quiet: later statements answer "not open". Without
// the mutex (it cannot be created or opened) nothing is opened, after a log line.
void QVPrepareInstalledAppsSchema(QVObjectDatabase& db, const std::function<std::wstring()>& path);
