#include "support/program.h"

#include <cstdio>

namespace qvtest {

std::wstring SystemProgram(const std::wstring& name) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\" + name;
}

bool CreateTestProcess(const wchar_t* exe, std::wstring commandLine, DWORD flags,
                       PROCESS_INFORMATION* info) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(exe, &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                       &startup, info)) {
      return true;
    }
    const DWORD error = GetLastError();
    fwprintf(stderr, L"could not start %ls: error %lu\n", commandLine.c_str(), error);
    if (error != ERROR_INTERNAL_ERROR || attempt == 2) {
      SetLastError(error);
      return false;
    }
  }
}

ScopedHandle StartProgram(const std::wstring& exe, const std::wstring& arguments) {
  PROCESS_INFORMATION info = {};
  if (!CreateTestProcess(exe.c_str(), L"\"" + exe + L"\" " + arguments, 0, &info)) {
    return ScopedHandle();
  }
  CloseHandle(info.hThread);
  return ScopedHandle(info.hProcess);
}

bool Ended(const ScopedHandle& process, DWORD timeoutMs) {
  return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD WaitForExit(const ScopedHandle& process, DWORD timeoutMs) {
  if (!process) return 0xFFFFFFFF;
  if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 0xFFFFFFFF);
    return 0xFFFFFFFF;
  }
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace qvtest
