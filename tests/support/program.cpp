#include "support/program.h"

namespace qvtest {

std::wstring SystemProgram(const std::wstring& name) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\" + name;
}

ScopedHandle StartProgram(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring line = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
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
