#pragma once

#include <windows.h>

// The process that owns the desktop shell (Explorer, normally).
namespace QVOS {

// That process opened with PROCESS_QUERY_INFORMATION, not inheritable; null when there is no
// shell window or the process cannot be opened. The caller closes the handle.
HANDLE openShellProcess();

}  // namespace QVOS
