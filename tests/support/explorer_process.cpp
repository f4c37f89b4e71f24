#include "support/explorer_process.h"

#include "support/child_process.h"
#include "support/taskbar_process.h"

namespace qvtest {
namespace {

constexpr DWORD kStartMs = 30000;
// A live stand-in quits at once; a hung one never does, and is ended.
constexpr DWORD kQuitMs = 2000;

}  // namespace

ScopedExplorerProcess::ScopedExplorerProcess(const std::wstring& recordPath, const Misbehaviour& misbehaviour) {
  if (!ForgetClassesOfEndedServers()) return;
  const std::wstring exe = ExecutableDirectory() + L"qvexplorer.exe";
  const std::wstring readyName = UniqueName(L"QvExplorerReady");
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

ScopedExplorerProcess::~ScopedExplorerProcess() {
  if (process_) {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (WaitForSingleObject(process_.get(), kQuitMs) != WAIT_OBJECT_0) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kQuitMs);
    }
  }
  ForgetClassesOfEndedServers();
}

}  // namespace qvtest
