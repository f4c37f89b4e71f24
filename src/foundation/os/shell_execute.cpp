#include "foundation/os/shell_execute.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "foundation/log/log.h"
#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_execute_explorer.h"
#include "foundation/os/shell_process.h"
#include "foundation/os/windows_version.h"

namespace QVOS {
namespace {

constexpr wchar_t kSource[] = L"_ShellExecute: ";

// Whether the program should be started by Explorer rather than by this process.
bool explorerWanted(bool forceExplorer) {
  if (forceExplorer) return true;
  // Our own level unreadable (no integrity levels) or already medium: start directly.
  uint32_t ownLevel = 0;
  if (!getIntegrityLevel(GetCurrentProcess(), &ownLevel) || ownLevel == kMediumIntegrity)
    return false;
  return true;
}

bool shellRunsAtMediumLevel() {
  const ScopedHandle shell(openShellProcess());
  uint32_t shellLevel = 0;
  return shell && getIntegrityLevel(shell.get(), &shellLevel) && shellLevel == kMediumIntegrity;
}

}  // namespace

bool shellExecute(const std::wstring& file, const std::wstring& parameters,
                  const ShellExecuteOptions& options) {
  ScopedHandle* const process = options.process;
  const bool forceExplorer = options.forceExplorer;
  const bool runAs = options.runAs;
  if (process) process->reset();
  const WindowsVersion version = getWindowsVersion();

  if (!process && version != WindowsVersion::WinXP && options.tryMediumIntegrity &&
      explorerWanted(forceExplorer)) {
    if (forceExplorer || shellRunsAtMediumLevel()) {
      const detail::ExplorerRoute route = detail::startThroughExplorer(file, parameters, runAs);
      switch (route.outcome) {
        case detail::ExplorerRoute::Outcome::kStarted: {
          const DWORD error = GetLastError();
          Log::Stream() << kSource << Log::OsError{error} << L"explorer-executed '" << file
                        << L"' with " << parameters;
          return true;
        }
        case detail::ExplorerRoute::Outcome::kOutcomeUnknown:
          // Explorer has the request: a start of our own could run the program twice, and at
          // this process's level rather than the shell's. Not started here, and not reported
          // as started.
          if (route.result == HRESULT_FROM_WIN32(ERROR_TIMEOUT)) {
            Log::Stream() << kSource << L"explorer did not answer " << route.call << L" within "
                          << detail::kExplorerRouteTimeoutMs << L" ms; '" << file
                          << L"' not started here: Explorer may still start it";
          } else {
            Log::Stream() << kSource << Log::OsError{static_cast<unsigned long>(route.result)}
                          << L"explorer went away during " << route.call << L"; '" << file
                          << L"' not started here: Explorer may have started it";
          }
          return false;
        case detail::ExplorerRoute::Outcome::kNotAnswered:
          Log::Stream() << kSource << L"explorer did not answer " << route.call << L" within "
                        << detail::kExplorerRouteTimeoutMs << L" ms";
          break;
        case detail::ExplorerRoute::Outcome::kFailed:
          Log::Stream() << kSource << Log::OsError{static_cast<unsigned long>(route.result)}
                        << L"explorer call " << route.call << L" failed";
          break;
        case detail::ExplorerRoute::Outcome::kNotTried:
          break;
      }
    }
    const DWORD error = GetLastError();
    Log::Stream() << kSource << Log::OsError{error} << L"tryMediumIntegrity: failed";
  }

  SHELLEXECUTEINFOW info = {};
#ifndef _WIN64
  static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the 32-bit record is 60 bytes");
#endif
  info.cbSize = sizeof(info);
  // No error dialog on failure: the installer may be silent and nobody would close it. The
  // failure is the log line below.
  info.fMask = (process ? SEE_MASK_NOCLOSEPROCESS : 0) | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = runAs ? L"runas" : L"";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    Log::Stream() << kSource << Log::OsError{error} << L"failed to execute '" << file << L"' with "
                  << parameters;
    return false;
  }

  Log::Stream() << kSource << L"executed '" << file << L"' with " << parameters;
  if (process) process->reset(info.hProcess);
  return true;
}

}  // namespace QVOS
