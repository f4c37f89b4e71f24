#include <windows.h>

#include <string>

#include "exports/export.h"
#include "foundation/log.h"
#include "foundation/qv_paths.h"
#include "foundation/scoped_handle.h"
#include "foundation/shell_execute.h"
#include "shell/deskband_removal.h"
#include "shell/engine_arguments.h"
#include "shell/engine_executable.h"
#include "shell/engine_processes.h"
#include "shell/engine_quit.h"

namespace {

constexpr DWORD kSideloadWaitMs = 15000;
constexpr DWORD kUninstallingWaitMs = 30000;

// The engine to start, or empty after the export's "installation directory not found" line.
std::wstring EngineToStart(const wchar_t* exportName) {
  std::wstring engine = QVPaths::getPath(PathKind::EngineExe, false);
  if (engine.empty()) Log::Stream() << exportName << L": installation directory not found";
  return engine;
}

// Starts the engine and waits for it up to `waitMs`; a time-out leaves it running.
void StartEngineAndWait(const std::wstring& engine, const wchar_t* arguments, DWORD waitMs) {
  ScopedHandle process;
  QVOS::shellExecute(engine, arguments, false, &process, false, false);
  if (process) WaitForSingleObject(process.get(), waitMs);
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_RunTovinAndStartApp(int platformInstalled, const char* appName) {
  try {
    const std::wstring engine = EngineToStart(L"QVNSIS_RunTovinAndStartApp");
    if (engine.empty()) return;
    // An elevated installer starts the engine at the user's own level, through Explorer.
    QVOS::shellExecute(engine, EngineStartArguments(platformInstalled, appName), true);
  } catch (...) {
  }
}

QVNSIS_EXPORT void QVNSIS_RunTovin(int platformInstalled) {
  QVNSIS_RunTovinAndStartApp(platformInstalled, nullptr);
}

QVNSIS_EXPORT void QVNSIS_RunTovinAndSideloadApps() {
  try {
    const std::wstring engine = EngineToStart(L"QVNSIS_RunTovinAndSideloadApps");
    if (engine.empty()) return;
    StartEngineAndWait(engine, kEngineSwitchSideload, kSideloadWaitMs);
  } catch (...) {
  }
}

QVNSIS_EXPORT void QVNSIS_SendUninstallingStats() {
  try {
    const std::wstring engine = EngineToStart(L"QVNSIS_SendUninstallingStats");
    if (engine.empty()) return;
    StartEngineAndWait(engine, kEngineSwitchUninstalling, kUninstallingWaitMs);
    UltimateTerminateAllTovinProcesses();
  } catch (...) {
  }
}

QVNSIS_EXPORT int QVNSIS_StopTovin() {
  try {
    RemoveDeskBandFromTaskBar();
    const std::wstring engine = FindEngineExecutable();
    if (engine.empty()) {
      Log::Stream() << L"QVNSIS_StopTovin: installation directory not found";
    } else {
      QuitEngine(engine, L"QVNSIS_StopTovin");
    }
    return UltimateTerminateAllTovinProcesses() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
