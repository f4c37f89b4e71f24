#include "support/server_process.h"

#include "support/child_process.h"
#include "support/program.h"

namespace qvtest {
namespace {

constexpr DWORD kStartMs = 30000;

}  // namespace

bool ServerProcess::start(const std::wstring& exe, const std::wstring& recordPath,
                          const std::wstring& hangIn, const std::wstring& dieIn) {
  const std::wstring readyName = UniqueName(L"QvServerReady");
  const ScopedHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  std::wstring line = L"\"" + exe + L"\" \"" + recordPath + L"\" \"" + readyName + L"\"";
  if (!hangIn.empty()) line += L" hang " + hangIn;
  if (!dieIn.empty()) line += L" die " + dieIn;
  PROCESS_INFORMATION info = {};
  if (!readyEvent || !CreateTestProcess(exe.c_str(), line, 0, &info)) return false;
  CloseHandle(info.hThread);
  process_ = ScopedHandle(info.hProcess);
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  const HANDLE waits[] = {readyEvent.get(), process_.get()};
  ready_ = WaitForMultipleObjects(2, waits, FALSE, kStartMs) == WAIT_OBJECT_0;
  return ready_;
}

DWORD ServerProcess::stop(DWORD quitMs) {
  if (!process_) return 0;
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  if (WaitForSingleObject(process_.get(), quitMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 10000);
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(process_.get(), &exitCode);
  process_.reset();
  return exitCode;
}

}  // namespace qvtest
