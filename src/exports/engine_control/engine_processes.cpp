#include "exports/engine_control/engine_processes.h"

#include <tlhelp32.h>

#include <string>

#include "foundation/log/log.h"
#include "foundation/os/process_image.h"

namespace {

constexpr wchar_t kSource[] = L"UltimateTerminateAllTovinProcesses: ";
constexpr wchar_t kEngineExeName[] = L"tovin.exe";
constexpr DWORD kSweepMs = 5000;
constexpr DWORD kRoundSleepMs = 50;

constexpr wchar_t kSessionFailure[] = L"could not look up this process's session";
constexpr wchar_t kSnapshotFailure[] = L"could not take a list of the processes";
constexpr wchar_t kFirstEntryFailure[] = L"could not read the list of the processes";

bool SystemSessionOfProcess(DWORD processId, DWORD* session) {
  return ProcessIdToSessionId(processId, session) != FALSE;
}

detail::SessionOfProcess g_sessionOfProcess = SystemSessionOfProcess;

SessionEngines Failed(const wchar_t* step, const wchar_t** failure, DWORD* error) {
  if (failure) *failure = step;
  if (error) *error = GetLastError();
  return SessionEngines::kUnknown;
}

}  // namespace

namespace detail {

SessionOfProcess SetSessionOfProcessForTesting(SessionOfProcess lookup) {
  const SessionOfProcess previous = g_sessionOfProcess;
  g_sessionOfProcess = lookup ? lookup : SystemSessionOfProcess;
  return previous;
}

}  // namespace detail

bool OwnSession(DWORD* session) { return g_sessionOfProcess(GetCurrentProcessId(), session); }

EngineCheck CheckEngineProcess(HANDLE process, DWORD session) {
  std::wstring image;
  if (!QVOS::processImageName(process, &image)) return EngineCheck::kUnreadable;
  if (lstrcmpiW(image.c_str(), kEngineExeName) != 0) return EngineCheck::kOtherProgram;
  // The id of the process this handle holds: while the handle is open the system gives that id
  // to no other process, so asking about the id is asking about this process.
  const DWORD processId = GetProcessId(process);
  DWORD processSession = 0;
  if (processId == 0 || !g_sessionOfProcess(processId, &processSession))
    return EngineCheck::kUnreadable;
  return processSession == session ? EngineCheck::kEngine : EngineCheck::kOtherProgram;
}

ScopedHandle OpenSessionEngine(DWORD processId, DWORD session, EngineCheck* check,
                               DWORD* openError) {
  ScopedHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | QVOS::processImageAccess(), FALSE, processId));
  if (!process) {
    if (openError) *openError = GetLastError();
    return process;
  }
  const EngineCheck found = CheckEngineProcess(process.get(), session);
  if (check) *check = found;
  if (found != EngineCheck::kEngine) process.reset();
  return process;
}

SessionEngines TerminateTovinProcessesInSession(const wchar_t** failure, DWORD* error) {
  DWORD ownSession = 0;
  if (!OwnSession(&ownSession)) return Failed(kSessionFailure, failure, error);

  const ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return Failed(kSnapshotFailure, failure, error);
  PROCESSENTRY32W entry = {};
#ifndef _WIN64
  static_assert(sizeof(PROCESSENTRY32W) == 556, "the 32-bit entry is 556 bytes");
#endif
  entry.dwSize = sizeof(entry);
  // A list without a first entry is one that could not be read: this process is always in it.
  if (!Process32FirstW(snapshot.get(), &entry)) return Failed(kFirstEntryFailure, failure, error);

  bool found = false;
  do {
    if (lstrcmpiW(entry.szExeFile, kEngineExeName) != 0) continue;
    DWORD session = 0;
    if (!g_sessionOfProcess(entry.th32ProcessID, &session) || session != ownSession) continue;
    // Listed, so counted even when it turns out to be gone: the next round looks again.
    found = true;
    const ScopedHandle process =
        OpenSessionEngine(entry.th32ProcessID, ownSession, nullptr, nullptr);
    if (process) TerminateProcess(process.get(), 0);
  } while (Process32NextW(snapshot.get(), &entry));
  return found ? SessionEngines::kFound : SessionEngines::kNone;
}

bool UltimateTerminateAllTovinProcesses() {
  const DWORD start = GetTickCount();
  const wchar_t* lastFailure = nullptr;
  DWORD lastError = 0;
  for (;;) {
    const wchar_t* failure = nullptr;
    DWORD error = 0;
    const SessionEngines engines = TerminateTovinProcessesInSession(&failure, &error);
    if (engines == SessionEngines::kUnknown && (failure != lastFailure || error != lastError)) {
      Log::Stream() << kSource << Log::OsError{error} << failure;
    }
    lastFailure = failure;
    lastError = error;
    // Unsigned difference: a wrap of the tick counter does not end the sweep early.
    if (engines == SessionEngines::kNone || GetTickCount() - start >= kSweepMs) {
      switch (engines) {
        case SessionEngines::kNone:
          Log::Stream() << kSource << L"shut down all tovin processes";
          return true;
        case SessionEngines::kFound:
          Log::Stream() << kSource << L"couldn't shut down all tovin processes";
          return false;
        case SessionEngines::kUnknown:
          Log::Stream() << kSource << L"could not tell whether tovin processes are left";
          return false;
      }
    }
    if (engines == SessionEngines::kFound) Log::Stream() << kSource << L"shut down some processes";
    Sleep(kRoundSleepMs);
  }
}
