#pragma once

#include <windows.h>

#include <string>

// The program a process runs, read through a handle to that process: unlike a process id, which
// the system hands to another process once the first has ended, an open handle names one process
// for as long as it is held.
namespace QVOS {

// The access a handle needs for processImageName: PROCESS_QUERY_LIMITED_INFORMATION from Vista
// on (granted even where fuller rights are not), PROCESS_QUERY_INFORMATION before.
DWORD processImageAccess();

// The file name (without its folder) of the image `process` runs. False when it cannot be read.
bool processImageName(HANDLE process, std::wstring* name);

}  // namespace QVOS
