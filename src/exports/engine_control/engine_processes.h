#pragma once

#include <windows.h>

// Ending the engine's processes in the caller's session. Processes of other sessions (other
// users, fast user switching) are never touched.

// Terminates (exit code 0) every "tovin.exe" of the caller's session; true when at least one was
// found, even one that could not be opened.
bool TerminateTovinProcessesInSession();

// Terminates the session's engines in rounds 50 ms apart until none is found or 5000 ms have
// passed; true when none is left.
bool UltimateTerminateAllTovinProcesses();

namespace detail {

// The session of a process; a seam so that tests can place processes in another session, which
// Wine cannot (it answers session 1 for every process).
using SessionOfProcess = bool (*)(DWORD processId, DWORD* session);
SessionOfProcess SetSessionOfProcessForTesting(SessionOfProcess lookup);

}  // namespace detail
