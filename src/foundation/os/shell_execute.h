#pragma once

#include <string>

#include "foundation/owners/scoped_handle.h"

// The library's one way of starting a program.
namespace QVOS {

// How shellExecute starts a program. Every option is off by default, which is a direct start with
// ShellExecuteExW; callers set the ones they want by name:
//   QVOS::ShellExecuteOptions options;
//   options.tryMediumIntegrity = true;
//   QVOS::shellExecute(engine, arguments, options);
struct ShellExecuteOptions {
  // On Vista and later, when no process handle is wanted: if this process does not run at the
  // medium integrity level but the shell does, the running Explorer is asked to start the program
  // (IShellDispatch2::ShellExecute), so that it runs at the shell's medium level rather than
  // inheriting ours. The route needs COM initialised on the calling thread and is given at most
  // 5 seconds in all (shell_execute_explorer.h). When a call of it fails or is not answered
  // before Explorer has the request, the program is started directly after a line naming the
  // call and one "tryMediumIntegrity: failed" line; once Explorer has it (ShellExecute not
  // answered in time, or Explorer gone during it), Explorer may still start the program, and it
  // is not started a second time here: the call then answers false.
  bool tryMediumIntegrity = false;
  // With tryMediumIntegrity: take the Explorer route whatever the levels.
  bool forceExplorer = false;
  // Asks for the "runas" verb.
  bool runAs = false;
  // When given, receives the new process's handle (which may be null even on success); the
  // program is then always started directly.
  ScopedHandle* process = nullptr;
};

// Starts `file` with `parameters` (none when empty) and logs the outcome under "_ShellExecute".
// Never shows an error dialog; returns whether it started.
bool shellExecute(const std::wstring& file, const std::wstring& parameters,
                  const ShellExecuteOptions& options = ShellExecuteOptions());

}  // namespace QVOS
