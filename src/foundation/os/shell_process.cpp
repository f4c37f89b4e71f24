#include "foundation/os/shell_process.h"

namespace QVOS {

HANDLE openShellProcess() {
  const HWND shell = GetShellWindow();
  if (!shell) return nullptr;
  DWORD processId = 0;
  GetWindowThreadProcessId(shell, &processId);
  if (processId == 0) return nullptr;
  return OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
}

}  // namespace QVOS
