#include "support/child_process.h"

#include <cstdio>
#include <map>
#include <shellapi.h>

#include "foundation/owners/qv_reg_key.h"
#include "support/program.h"
#include "support/temp_dir.h"

namespace qvtest {
namespace {

std::map<std::wstring, ChildMain>& Registry() {
  static std::map<std::wstring, ChildMain> registry;
  return registry;
}

std::wstring SelfPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring Quote(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

// Puts a copy of this executable under `exeName` in a folder beside it; Wine keys its
// per-program Windows version on the file name.
std::wstring PrepareExecutable(const ChildOptions& options) {
  std::wstring exeName = options.exeName;
  if (exeName.empty() && !options.windowsVersion.empty()) {
    exeName = L"qvchild_" + options.windowsVersion + L".exe";
  }
  if (exeName.empty()) return SelfPath();

  const std::wstring folder = ExecutableDirectory() + L"children\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + exeName;
  CopyFileW(SelfPath().c_str(), path.c_str(), FALSE);

  const std::wstring manifestPath = path + L".manifest";
  if (options.manifest.empty()) {
    DeleteFileW(manifestPath.c_str());
  } else {
    WriteFileBytes(manifestPath, options.manifest);
  }

  const std::wstring appKey = L"Software\\Wine\\AppDefaults\\" + exeName;
  if (options.windowsVersion.empty()) {
    RegDeleteKeyW(HKEY_CURRENT_USER, appKey.c_str());
  } else {
    QVRegKey key;
    key.create(HKEY_CURRENT_USER, appKey.c_str(), KEY_WRITE);
    const std::wstring& version = options.windowsVersion;
    RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
  }
  return path;
}

std::wstring CommandLine(const std::wstring& exe, const std::wstring& name, const ChildArgs& args) {
  std::wstring line = Quote(exe) + L" --child " + name;
  for (const auto& arg : args) line += L" " + Quote(arg);
  return line;
}

ScopedHandle Start(const std::wstring& name, const ChildArgs& args, const ChildOptions& options,
                   DWORD flags) {
  const std::wstring exe = PrepareExecutable(options);
  PROCESS_INFORMATION info = {};
  if (!CreateTestProcess(exe.c_str(), CommandLine(exe, name, args), flags, &info)) {
    return ScopedHandle();
  }
  CloseHandle(info.hThread);
  return ScopedHandle(info.hProcess);
}

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const size_t units = info.nDebugStringLength;
  if (info.fUnicode) {
    std::wstring text(units, L'\0');
    ReadProcessMemory(process, info.lpDebugStringData, &text[0], units * sizeof(wchar_t), nullptr);
    return std::wstring(text.c_str());
  }
  std::string narrow(units, '\0');
  ReadProcessMemory(process, info.lpDebugStringData, &narrow[0], units, nullptr);
  std::wstring text;
  for (char c : std::string(narrow.c_str())) text.push_back(static_cast<unsigned char>(c));
  return text;
}

// Plays debugger until the child exits, keeping what it sends to the debugger output.
ChildResult DebugToEnd(HANDLE process, DWORD timeoutMs) {
  ChildResult result;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, 1000)) {
      if (GetTickCount64() > deadline) {
        TerminateProcess(process, 0xFFFFFFFF);
        result.failure = WAIT_TIMEOUT;
        return result;
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        result.debugOutput.push_back(ReadDebugString(process, event.u.DebugString));
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      result.exitCode = event.u.ExitProcess.dwExitCode;
      return result;
    }
  }
}

}  // namespace

ChildRegistration::ChildRegistration(const wchar_t* name, ChildMain main) {
  Registry()[name] = main;
}

bool RunChildIfRequested(int* exitCode) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return false;
  bool ran = false;
  if (argc >= 3 && std::wstring(argv[1]) == L"--child") {
    const auto found = Registry().find(argv[2]);
    ChildArgs args(argv + 3, argv + argc);
    *exitCode = found == Registry().end() ? 99 : found->second(args);
    ran = true;
  }
  LocalFree(argv);
  return ran;
}

ChildResult RunChild(const std::wstring& name, const ChildArgs& args, const ChildOptions& options) {
  if (options.captureDebugOutput) {
    ScopedHandle process = Start(name, args, options, DEBUG_ONLY_THIS_PROCESS);
    if (!process) {
      ChildResult failed;
      failed.failure = GetLastError();
      return failed;
    }
    return DebugToEnd(process.get(), options.timeoutMs);
  }
  RunningChild child(name, args, options);
  ChildResult result;
  if (!child.process()) result.failure = GetLastError();
  result.exitCode = child.wait(options.timeoutMs);
  return result;
}

RunningChild::RunningChild(const std::wstring& name, const ChildArgs& args,
                           const ChildOptions& options)
    : process_(Start(name, args, options, 0)) {}

RunningChild::~RunningChild() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 0xFFFFFFFF);
    WaitForSingleObject(process_.get(), 5000);
  }
}

DWORD RunningChild::wait(DWORD timeoutMs) {
  if (!process_) return 0xFFFFFFFF;
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
    fwprintf(stderr, L"child did not end within %lu ms: ended by its test\n", timeoutMs);
    TerminateProcess(process_.get(), 0xFFFFFFFF);
    WaitForSingleObject(process_.get(), 5000);
    return 0xFFFFFFFF;
  }
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring ExecutableDirectory() {
  std::wstring path = SelfPath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring UniqueName(const std::wstring& prefix) {
  static LONG counter = 0;
  return prefix + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(InterlockedIncrement(&counter)) + L"_" + std::to_wstring(GetTickCount());
}

}  // namespace qvtest
