#include "support/taskbar_process.h"

#include "support/child_process.h"

namespace qvtest {
namespace {

constexpr DWORD kStartMs = 30000;
constexpr DWORD kQuitMs = 10000;
constexpr ULONGLONG kServiceMs = 30000;

}  // namespace

ScopedTaskbarProcess::ScopedTaskbarProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour) {
  Start(ExecutableDirectory() + L"qvtrayprocess.exe", recordPath, misbehaviour);
}

ScopedTaskbarProcess::ScopedTaskbarProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour,
                                           const std::wstring& nativeDirectory)
    : nativeProxy_(new ScopedTrayProxyRegistration(nativeDirectory, KEY_WOW64_64KEY)) {
  Start(nativeDirectory + L"qvtrayprocess.exe", recordPath, misbehaviour);
}

void ScopedTaskbarProcess::Start(const std::wstring& exe, const std::wstring& recordPath,
                                 const Misbehaviour& misbehaviour) {
  const std::wstring readyName = UniqueName(L"QvTaskbarReady");
  const ScopedHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  std::wstring line = L"\"" + exe + L"\" \"" + recordPath + L"\" \"" + readyName + L"\"";
  if (!misbehaviour.hangIn.empty()) line += L" hang " + misbehaviour.hangIn;
  if (!misbehaviour.dieIn.empty()) line += L" die " + misbehaviour.dieIn;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!readyEvent ||
      !CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return;
  }
  CloseHandle(info.hThread);
  process_ = ScopedHandle(info.hProcess);
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  const HANDLE waits[] = {readyEvent.get(), process_.get()};
  ready_ = WaitForMultipleObjects(2, waits, FALSE, kStartMs) == WAIT_OBJECT_0;
}

ScopedTaskbarProcess::~ScopedTaskbarProcess() {
  if (!process_) return;
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  if (WaitForSingleObject(process_.get(), kQuitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), kQuitMs);
  }
  DWORD exitCode = 0;
  if (ready_ && GetExitCodeProcess(process_.get(), &exitCode) && exitCode != 0) ForgetClassesOfEndedServers();
}

bool ForgetClassesOfEndedServers() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceW(manager, L"RpcSs", SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
  bool running = false;
  if (service) {
    SERVICE_STATUS status = {};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    const ULONGLONG deadline = GetTickCount64() + kServiceMs;
    while (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED &&
           GetTickCount64() < deadline) {
      Sleep(50);
    }
    StartServiceW(service, 0, nullptr);
    while (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_RUNNING &&
           GetTickCount64() < deadline) {
      Sleep(50);
    }
    running = status.dwCurrentState == SERVICE_RUNNING;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return running;
}

}  // namespace qvtest
