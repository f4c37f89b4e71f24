#include "support/shell_window.h"

namespace qvtest {
namespace {

// Makes a window the shell window, sets the first event and keeps the window until the second.
QV_TEST_CHILD(play_shell_window) {
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(1).c_str()));
  const HWND window = CreateWindowExW(0, L"STATIC", L"shell", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
  if (!window || !SetShellWindow(window)) return 1;
  SetEvent(ready.get());
  WaitForSingleObject(done.get(), 120000);
  DestroyWindow(window);
  return 0;
}

}  // namespace

ScopedShellWindow::ScopedShellWindow()
    : readyName_(UniqueName(L"shell_ready")),
      doneName_(UniqueName(L"shell_done")),
      ready_(CreateEventW(nullptr, TRUE, FALSE, readyName_.c_str())),
      done_(CreateEventW(nullptr, TRUE, FALSE, doneName_.c_str())),
      child_(L"play_shell_window", {readyName_, doneName_}) {}

ScopedShellWindow::~ScopedShellWindow() { finish(); }

bool ScopedShellWindow::ready() {
  const HANDLE waits[] = {ready_.get(), child_.process()};
  if (WaitForMultipleObjects(2, waits, FALSE, 60000) != WAIT_OBJECT_0) return false;
  for (int i = 0; i < 200 && !GetShellWindow(); ++i) Sleep(50);
  return GetShellWindow() != nullptr;
}

DWORD ScopedShellWindow::finish() {
  if (finished_) return exitCode_;
  finished_ = true;
  SetEvent(done_.get());
  exitCode_ = child_.wait(30000);
  return exitCode_;
}

}  // namespace qvtest
