#include <windows.h>

#include <string>

#include "exports/engine_control/engine_arguments.h"
#include "exports/engine_control/engine_executable.h"
#include "exports/engine_control/engine_processes.h"
#include "exports/engine_control/engine_quit.h"
#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/shell_execute.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "shell/deskband/deskband_removal.h"

namespace {

constexpr DWORD kSideloadWaitMs = 15000;
constexpr DWORD kUninstallingWaitMs = 30000;

// The engine to start, or empty after the export's "installation directory not found" line.
std::wstring EngineToStart(const wchar_t* exportName) {
  std::wstring engine = QVPaths::getPath(PathKind::EngineExe, Expansion::kExpanded);
  if (engine.empty()) Log::Stream() << exportName << L": installation directory not found";
  return engine;
}

// The status of an engine that did not start. The system's own code is in the log line that
// shellExecute wrote, which may itself have changed the thread's last error since.
DWORD EngineStartFailure(const std::wstring& engine) {
  return QVPaths::fileExists(engine) ? ERROR_GEN_FAILURE : ERROR_FILE_NOT_FOUND;
}

// Starts the engine and waits for it up to `waitMs`; a time-out leaves it running and is no
// failure.
DWORD StartEngineAndWait(const std::wstring& engine, const wchar_t* arguments, DWORD waitMs) {
  ScopedHandle process;
  QVOS::ShellExecuteOptions options;
  options.process = &process;
  if (!QVOS::shellExecute(engine, arguments, options)) return EngineStartFailure(engine);
  if (process) WaitForSingleObject(process.get(), waitMs);
  return ERROR_SUCCESS;
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_RunTovinAndStartApp(int platformInstalled, const char* appName) {
  GuardedStatusExport(__func__, [&](const wchar_t* name) -> DWORD {
    const std::wstring engine = EngineToStart(name);
    if (engine.empty()) return ERROR_PATH_NOT_FOUND;
    // An elevated installer starts the engine at the user's own level, through Explorer.
    QVOS::ShellExecuteOptions options;
    options.tryMediumIntegrity = true;
    if (!QVOS::shellExecute(engine, EngineStartArguments(platformInstalled, appName), options)) {
      return EngineStartFailure(engine);
    }
    return ERROR_SUCCESS;
  });
}

QVNSIS_EXPORT void QVNSIS_RunTovin(int platformInstalled) {
  QVNSIS_RunTovinAndStartApp(platformInstalled, nullptr);
}

QVNSIS_EXPORT void QVNSIS_RunTovinAndSideloadApps() {
  GuardedStatusExport(__func__, [&](const wchar_t* name) -> DWORD {
    const std::wstring engine = EngineToStart(name);
    if (engine.empty()) return ERROR_PATH_NOT_FOUND;
    return StartEngineAndWait(engine, kEngineSwitchSideload, kSideloadWaitMs);
  });
}

QVNSIS_EXPORT void QVNSIS_SendUninstallingStats() {
  GuardedStatusExport(__func__, [&](const wchar_t* name) -> DWORD {
    const std::wstring engine = EngineToStart(name);
    if (engine.empty()) return ERROR_PATH_NOT_FOUND;
    const DWORD started =
        StartEngineAndWait(engine, kEngineSwitchUninstalling, kUninstallingWaitMs);
    // Engines that outlast the sweep's five seconds.
    const DWORD swept = UltimateTerminateAllTovinProcesses() ? ERROR_SUCCESS : ERROR_TIMEOUT;
    return started != ERROR_SUCCESS ? started : swept;
  });
}

QVNSIS_EXPORT int QVNSIS_StopTovin() {
  return GuardedExport(__func__, 0, [&](const wchar_t* name) {
    RemoveDeskBandFromTaskBar();
    const std::wstring engine = FindEngineExecutable();
    if (engine.empty()) {
      Log::Stream() << name << L": installation directory not found";
    } else {
      QuitEngine(engine, name);
    }
    return UltimateTerminateAllTovinProcesses() ? 1 : 0;
  });
}
