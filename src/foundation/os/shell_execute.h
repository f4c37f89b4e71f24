#pragma once

#include <string>

#include "foundation/owners/scoped_handle.h"

// The library's one way of starting a program.
namespace QVOS {

// Starts `file` with `parameters` (none when empty) and logs the outcome under "_ShellExecute".
//
// With `tryMediumIntegrity`, on Vista and later, when no process handle is wanted: if this process
// does not run at the medium integrity level but the shell does, the running Explorer is asked to
// start the program (IShellDispatch2::ShellExecute), so that it runs at the shell's medium level
// rather than inheriting ours. `forceExplorer` takes that route whatever the levels. The route
// needs COM initialised on the calling thread; when any step of it fails, the program is started
// directly with ShellExecuteExW after one "tryMediumIntegrity: failed" line.
//
// `process`, when given, receives the new process's handle (which may be null even on success).
// `runAs` asks for the "runas" verb. Never shows an error dialog; returns whether it started.
bool shellExecute(const std::wstring& file, const std::wstring& parameters, bool tryMediumIntegrity,
                  ScopedHandle* process, bool forceExplorer, bool runAs);

// The same without a process handle.
bool shellExecute(const std::wstring& file, const std::wstring& parameters, bool tryMediumIntegrity,
                  bool forceExplorer = false, bool runAs = false);

// A direct start that hands out the new process (null on failure), for callers that wait for it.
ScopedHandle shellExecute(const std::wstring& file, const std::wstring& parameters);

}  // namespace QVOS
