#pragma once

#include <windows.h>

#include "foundation/owners/scoped_handle.h"

// Ending the engine's processes in the caller's session. Processes of other sessions (other
// users, fast user switching) are never touched, nor any process that is not the engine: a
// process id read from a process list or a window may belong to another program by the time it
// is opened, so every process is checked through its own handle before it is ended.

// What one look at the session's engines found.
enum class SessionEngines {
  kNone,     // the list was read and holds no engine of the session
  kFound,    // at least one, ended or not
  kUnknown,  // the list could not be read
};

// One round of the sweep: terminates (exit code 0) every "tovin.exe" of the caller's session.
// When the caller's session, the process list or its first entry cannot be read, says kUnknown
// and, when given, which of them in `failure` and the system's error in `error`.
SessionEngines TerminateTovinProcessesInSession(const wchar_t** failure = nullptr,
                                                DWORD* error = nullptr);

// Terminates the session's engines in rounds 50 ms apart until none is found or 5000 ms have
// passed; a list that cannot be read is asked for again in the next round. True only when the
// last round read the list and found none left.
bool UltimateTerminateAllTovinProcesses();

// What an opened process turned out to be.
enum class EngineCheck {
  kEngine,        // "tovin.exe" of the session
  kOtherProgram,  // another program, or one of another session
  kUnreadable,    // its image or session could not be read
};

// The caller's session, as every process's is looked up. False when it cannot be.
bool OwnSession(DWORD* session);

// Checks through `process` (opened with QVOS::processImageAccess) that it runs "tovin.exe" in
// `session`.
EngineCheck CheckEngineProcess(HANDLE process, DWORD session);

// Opens `processId` with SYNCHRONIZE, PROCESS_TERMINATE and the right to read its image, and
// keeps the handle only when CheckEngineProcess says kEngine. `check` tells what was found when
// it opened, `openError` the system's error when it did not.
ScopedHandle OpenSessionEngine(DWORD processId, DWORD session, EngineCheck* check,
                               DWORD* openError);

namespace detail {

// The session of a process; a seam so that tests can place processes in another session, which
// Wine cannot (it answers session 1 for every process).
using SessionOfProcess = bool (*)(DWORD processId, DWORD* session);
SessionOfProcess SetSessionOfProcessForTesting(SessionOfProcess lookup);

}  // namespace detail
