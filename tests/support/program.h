#pragma once

#include <windows.h>

#include <string>

#include "foundation/owners/scoped_handle.h"

// Starting other programs from tests: the system's own, the simulated platform's, installers.
namespace qvtest {

// "<system directory>\<name>", as the library itself names rundll32.exe and regsvr32.exe.
std::wstring SystemProgram(const std::wstring& name);

// Starts `exe` with the command line "\"<exe>\" <arguments>"; the process, or none when it
// cannot be started.
ScopedHandle StartProgram(const std::wstring& exe, const std::wstring& arguments);

// True when the process ends within `timeoutMs` (0: has it ended already?).
bool Ended(const ScopedHandle& process, DWORD timeoutMs);

// Waits up to `timeoutMs` for the process to end: its exit code, or 0xFFFFFFFF when there is no
// process or it did not end in time (it is then terminated).
DWORD WaitForExit(const ScopedHandle& process, DWORD timeoutMs);

}  // namespace qvtest
