#include "support/shell_window.h"

namespace qvtest {
namespace {

// Makes a window the shell window, sets the first event and keeps the window until the second.
QV_TEST_CHILD(play_shell_window) {
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(1).c_str()));
  const HWND window = CreateWindowExW(0, L"STATIC", L"shell", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
  if (!window || !SetShellWindow(window)) return 1;
  SetEvent(ready.get());
  WaitForSingleObject(done.get(), 120000);
  DestroyWindow(window);
  return 0;
}

}  // namespace

ScopedShellWindow::ScopedShellWindow() : child_(L"play_shell_window", {}) {}

bool ScopedShellWindow::ready() {
  if (!child_.holding()) return false;
  for (int i = 0; i < 200 && !GetShellWindow(); ++i) Sleep(50);
  return GetShellWindow() != nullptr;
}

}  // namespace qvtest
