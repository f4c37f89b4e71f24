#include "exports/engine_control/engine_quit.h"

#include <windows.h>

#include "exports/engine_control/engine_arguments.h"
#include "foundation/log/log.h"
#include "foundation/os/shell_execute.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"

namespace {

constexpr DWORD kQuitWaitMs = 10000;
constexpr int kWindowWaitRounds = 9;
constexpr DWORD kWindowWaitRoundMs = 1000;

}  // namespace

void QuitEngine(const std::wstring& engineExe, const std::wstring& source) {
  const HWND window = QVPaths::findEngineWindow();
  if (!window) {
    Log::Stream() << source << L": could not find tovin's HWND";
    return;
  }

  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  const ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  const DWORD openError = process ? ERROR_SUCCESS : GetLastError();

  // The engine hands the request on to its running instance.
  QVOS::shellExecute(engineExe, kEngineSwitchQuit);

  if (process) {
    if (WaitForSingleObject(process.get(), kQuitWaitMs) == WAIT_TIMEOUT) {
      Log::Stream() << source << L": tovin did not terminate on its own";
      TerminateProcess(process.get(), 0);
    }
    return;
  }

  Log::Stream() << source << L": (err: " << openError << L") could not get tovin's process handle";
  for (int round = 0; round < kWindowWaitRounds && QVPaths::findEngineWindow(); ++round) {
    Sleep(kWindowWaitRoundMs);
  }
}
