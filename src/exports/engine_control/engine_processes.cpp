#include "exports/engine_control/engine_processes.h"

#include <tlhelp32.h>

#include "foundation/log/log.h"
#include "foundation/owners/scoped_handle.h"

namespace {

constexpr wchar_t kSource[] = L"UltimateTerminateAllTovinProcesses: ";
constexpr wchar_t kEngineExeName[] = L"tovin.exe";
constexpr DWORD kSweepMs = 5000;
constexpr DWORD kRoundSleepMs = 50;

bool SystemSessionOfProcess(DWORD processId, DWORD* session) {
  return ProcessIdToSessionId(processId, session) != FALSE;
}

detail::SessionOfProcess g_sessionOfProcess = SystemSessionOfProcess;

}  // namespace

namespace detail {

SessionOfProcess SetSessionOfProcessForTesting(SessionOfProcess lookup) {
  const SessionOfProcess previous = g_sessionOfProcess;
  g_sessionOfProcess = lookup ? lookup : SystemSessionOfProcess;
  return previous;
}

}  // namespace detail

bool TerminateTovinProcessesInSession() {
  DWORD ownSession = 0;
  if (!g_sessionOfProcess(GetCurrentProcessId(), &ownSession)) return false;

  const ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
#ifndef _WIN64
  static_assert(sizeof(PROCESSENTRY32W) == 556, "the 32-bit entry is 556 bytes");
#endif
  entry.dwSize = sizeof(entry);
  if (!Process32FirstW(snapshot.get(), &entry)) return false;

  bool found = false;
  do {
    if (lstrcmpiW(entry.szExeFile, kEngineExeName) != 0) continue;
    DWORD session = 0;
    if (!g_sessionOfProcess(entry.th32ProcessID, &session) || session != ownSession) continue;
    found = true;
    const ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (process) TerminateProcess(process.get(), 0);
  } while (Process32NextW(snapshot.get(), &entry));
  return found;
}

bool UltimateTerminateAllTovinProcesses() {
  const DWORD start = GetTickCount();
  bool found = TerminateTovinProcessesInSession();
  // Unsigned difference: a wrap of the tick counter does not end the sweep early.
  while (found && GetTickCount() - start < kSweepMs) {
    Log::Stream() << kSource << L"shut down some processes";
    Sleep(kRoundSleepMs);
    found = TerminateTovinProcessesInSession();
  }
  Log::Stream() << kSource
                << (found ? L"couldn't shut down all tovin processes" : L"shut down all tovin processes");
  return !found;
}
