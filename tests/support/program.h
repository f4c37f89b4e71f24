#pragma once

#include <windows.h>

#include <string>

#include "foundation/owners/scoped_handle.h"

// Starting other programs from tests: the system's own, the simulated platform's, installers.
namespace qvtest {

// "<system directory>\<name>", as the library itself names rundll32.exe and regsvr32.exe.
std::wstring SystemProgram(const std::wstring& name);

// CreateProcessW for the tests (`exe` may be null: the command line names the program). Wine
// reports ERROR_INTERNAL_ERROR when a new process ended before it ran any code of its own, which
// a busy test machine shows about once in ten thousand starts: the test bed's fault, not the
// program's, so that start is made once more. A start that fails is said on the test's output.
bool CreateTestProcess(const wchar_t* exe, std::wstring commandLine, DWORD flags,
                       PROCESS_INFORMATION* info);

// Starts `exe` with the command line "\"<exe>\" <arguments>"; the process, or none when it
// cannot be started.
ScopedHandle StartProgram(const std::wstring& exe, const std::wstring& arguments);

// True when the process ends within `timeoutMs` (0: has it ended already?).
bool Ended(const ScopedHandle& process, DWORD timeoutMs);

// Waits up to `timeoutMs` for the process to end: its exit code, or 0xFFFFFFFF when there is no
// process or it did not end in time (it is then terminated).
DWORD WaitForExit(const ScopedHandle& process, DWORD timeoutMs);

}  // namespace qvtest
