#include "support/taskbar_process.h"

#include "support/child_process.h"

namespace qvtest {
namespace {

constexpr DWORD kQuitMs = 10000;
constexpr ULONGLONG kServiceMs = 30000;

}  // namespace

ScopedTaskbarProcess::ScopedTaskbarProcess(const std::wstring& recordPath,
                                           const Misbehaviour& misbehaviour) {
  server_.start(ExecutableDirectory() + L"qvtrayprocess.exe", recordPath, misbehaviour.hangIn,
                misbehaviour.dieIn);
}

ScopedTaskbarProcess::ScopedTaskbarProcess(const std::wstring& recordPath,
                                           const Misbehaviour& misbehaviour,
                                           const std::wstring& nativeDirectory)
    : nativeProxy_(new ScopedTrayProxyRegistration(nativeDirectory, KEY_WOW64_64KEY)) {
  server_.start(nativeDirectory + L"qvtrayprocess.exe", recordPath, misbehaviour.hangIn,
                misbehaviour.dieIn);
}

ScopedTaskbarProcess::~ScopedTaskbarProcess() {
  const bool wasReady = server_.ready();
  if (server_.stop(kQuitMs) != 0 && wasReady) ForgetClassesOfEndedServers();
}

bool ForgetClassesOfEndedServers() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  SC_HANDLE service =
      OpenServiceW(manager, L"RpcSs", SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS);
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
