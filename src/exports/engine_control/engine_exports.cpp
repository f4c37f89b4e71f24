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
  std::wstring engine = QVPaths::getPath(PathKind::EngineExe, false);
  if (engine.empty()) Log::Stream() << exportName << L": installation directory not found";
  return engine;
}

// Starts the engine and waits for it up to `waitMs`; a time-out leaves it running.
void StartEngineAndWait(const std::wstring& engine, const wchar_t* arguments, DWORD waitMs) {
  ScopedHandle process;
  QVOS::ShellExecuteOptions options;
  options.process = &process;
  QVOS::shellExecute(engine, arguments, options);
  if (process) WaitForSingleObject(process.get(), waitMs);
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_RunTovinAndStartApp(int platformInstalled, const char* appName) {
  GuardedExport([&] {
    const std::wstring engine = EngineToStart(L"QVNSIS_RunTovinAndStartApp");
    if (engine.empty()) return;
    // An elevated installer starts the engine at the user's own level, through Explorer.
    QVOS::ShellExecuteOptions options;
    options.tryMediumIntegrity = true;
    QVOS::shellExecute(engine, EngineStartArguments(platformInstalled, appName), options);
  });
}

QVNSIS_EXPORT void QVNSIS_RunTovin(int platformInstalled) {
  QVNSIS_RunTovinAndStartApp(platformInstalled, nullptr);
}

QVNSIS_EXPORT void QVNSIS_RunTovinAndSideloadApps() {
  GuardedExport([&] {
    const std::wstring engine = EngineToStart(L"QVNSIS_RunTovinAndSideloadApps");
    if (engine.empty()) return;
    StartEngineAndWait(engine, kEngineSwitchSideload, kSideloadWaitMs);
  });
}

QVNSIS_EXPORT void QVNSIS_SendUninstallingStats() {
  GuardedExport([&] {
    const std::wstring engine = EngineToStart(L"QVNSIS_SendUninstallingStats");
    if (engine.empty()) return;
    StartEngineAndWait(engine, kEngineSwitchUninstalling, kUninstallingWaitMs);
    UltimateTerminateAllTovinProcesses();
  });
}

QVNSIS_EXPORT int QVNSIS_StopTovin() {
  return GuardedExport(0, [&] {
    RemoveDeskBandFromTaskBar();
    const std::wstring engine = FindEngineExecutable();
    if (engine.empty()) {
      Log::Stream() << L"QVNSIS_StopTovin: installation directory not found";
    } else {
      QuitEngine(engine, L"QVNSIS_StopTovin");
    }
    return UltimateTerminateAllTovinProcesses() ? 1 : 0;
  });
}
