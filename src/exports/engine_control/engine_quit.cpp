#include "exports/engine_control/engine_quit.h"

#include <windows.h>

#include "exports/engine_control/engine_arguments.h"
#include "exports/engine_control/engine_processes.h"
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
  // The window named the process a moment ago; by the time it is opened the engine may have
  // ended and its id gone to another program, which must not be ended in its place.
  DWORD session = 0;
  const bool sessionKnown = OwnSession(&session);
  const DWORD sessionError = sessionKnown ? ERROR_SUCCESS : GetLastError();
  DWORD openError = ERROR_SUCCESS;
  EngineCheck check = EngineCheck::kUnreadable;
  ScopedHandle process;
  if (sessionKnown) process = OpenSessionEngine(processId, session, &check, &openError);

  // The engine hands the request on to its running instance.
  QVOS::shellExecute(engineExe, kEngineSwitchQuit);

  if (process) {
    if (WaitForSingleObject(process.get(), kQuitWaitMs) == WAIT_TIMEOUT) {
      Log::Stream() << source << L": tovin did not terminate on its own";
      TerminateProcess(process.get(), 0);
    }
    return;
  }

  if (!sessionKnown) {
    Log::Stream() << source << L": " << Log::OsError{sessionError}
                  << L"could not look up this process's session";
  } else if (openError != ERROR_SUCCESS) {
    Log::Stream() << source << L": " << Log::OsError{openError}
                  << L"could not get tovin's process handle";
  } else if (check == EngineCheck::kOtherProgram) {
    Log::Stream() << source << L": process " << processId
                  << L" of tovin's window is not tovin any more";
  } else {
    Log::Stream() << source << L": could not tell whether process " << processId
                  << L" of tovin's window is tovin";
  }
  for (int round = 0; round < kWindowWaitRounds && QVPaths::findEngineWindow(); ++round) {
    Sleep(kWindowWaitRoundMs);
  }
}
