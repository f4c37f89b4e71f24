#include "support/fake_engine.h"

#include <tlhelp32.h>

#include "support/child_process.h"
#include "support/program.h"
#include "support/temp_dir.h"

namespace qvtest {
namespace {

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

std::wstring ImageDirectory(HANDLE process) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return std::wstring();
  std::wstring text(path, size);
  return Lower(text.substr(0, text.find_last_of(L"\\/") + 1));
}

// Calls `visit` with an open handle of each process named `exeName` running from `directory`.
template <typename Visit>
void ForEachProcess(const std::wstring& directory, const wchar_t* exeName, Visit visit) {
  ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, exeName) != 0) continue;
    // What even a resisting engine grants; terminating asks for more, separately.
    ScopedHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (process && ImageDirectory(process.get()) == Lower(directory)) {
      visit(entry.th32ProcessID, process.get());
    }
  }
}

void TerminateAndWait(DWORD pid, HANDLE process) {
  ScopedHandle terminator(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  if (terminator) TerminateProcess(terminator.get(), 0);
  WaitForSingleObject(process, 5000);
}

void Copy(const std::wstring& name, const std::wstring& directory) {
  CopyFileW((ExecutableDirectory() + name).c_str(), (directory + name).c_str(), FALSE);
}

}  // namespace

FakeEngineInstall::FakeEngineInstall(const std::wstring& directory)
    : directory_(directory.back() == L'\\' ? directory : directory + L"\\"),
      exePath_(directory_ + L"tovin.exe") {
  CreateDirectoryW(directory_.c_str(), nullptr);
  Copy(L"tovin.exe", directory_);
  Copy(L"tovin_keeper.exe", directory_);
  setBehaviour(EngineQuit::kObey);
}

FakeEngineInstall::~FakeEngineInstall() { stop(); }

void FakeEngineInstall::setBehaviour(EngineQuit quit, unsigned quitDelayMs, bool stay) const {
  const std::wstring ini = directory_ + L"tovin_behaviour.ini";
  const wchar_t* answer = quit == EngineQuit::kObey      ? L"obey"
                          : quit == EngineQuit::kIgnore  ? L"ignore"
                          : quit == EngineQuit::kRestart ? L"restart"
                                                         : L"resist";
  WritePrivateProfileStringW(L"engine", L"quit", answer, ini.c_str());
  WritePrivateProfileStringW(L"engine", L"quit_delay_ms", std::to_wstring(quitDelayMs).c_str(),
                             ini.c_str());
  WritePrivateProfileStringW(L"engine", L"stay", stay ? L"1" : L"0", ini.c_str());
}

std::vector<std::wstring> FakeEngineInstall::startArguments() const {
  std::vector<std::wstring> arguments;
  for (const Record& record : RecordsOfKind(recordPath(), L"start")) {
    arguments.push_back(record.size() > 2 ? record[2] : std::wstring());
  }
  return arguments;
}

ScopedHandle FakeEngineInstall::start(const std::wstring& arguments) const {
  return StartProgram(exePath_, arguments);
}

std::vector<DWORD> FakeEngineInstall::runningEngines() const {
  std::vector<DWORD> pids;
  ForEachProcess(directory_, L"tovin.exe", [&](DWORD pid, HANDLE) { pids.push_back(pid); });
  return pids;
}

void FakeEngineInstall::stop() const {
  // The stop file also ends restarting engines on their own; engines still starting appear in a
  // process list only later, so terminating goes on until the folder has been quiet a while.
  WriteFileBytes(directory_ + L"tovin_stop", "stop");
  ForEachProcess(directory_, L"tovin_keeper.exe", TerminateAndWait);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  for (int quietChecks = 0; quietChecks < 10 && GetTickCount64() < deadline;) {
    bool found = false;
    ForEachProcess(directory_, L"tovin.exe", [&](DWORD pid, HANDLE process) {
      found = true;
      TerminateAndWait(pid, process);
    });
    quietChecks = found ? 0 : quietChecks + 1;
    Sleep(50);
  }
  DeleteFileW((directory_ + L"tovin_stop").c_str());
}

size_t TerminateEveryEngine() {
  ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  size_t count = 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"tovin.exe") != 0) continue;
    ++count;
    ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (process) TerminateProcess(process.get(), 0);
  }
  return count;
}

HWND WaitForEngineWindow(DWORD pid, DWORD timeoutMs) {
  struct Search {
    DWORD pid;
    HWND found;
  } search = {pid, nullptr};
  // EnumWindows walks a snapshot of the list: engines that come and go do not cut it short.
  const WNDENUMPROC visit = [](HWND window, LPARAM lParam) WINAPI -> BOOL {
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || std::wstring(className) != L"TOVIN_CLASS") return TRUE;
    search->found = window;
    return FALSE;
  };
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount64() > deadline) return nullptr;
    Sleep(20);
  }
}

}  // namespace qvtest
