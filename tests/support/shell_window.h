#pragma once

#include <windows.h>

#include <string>

#include "support/holding_child.h"

// Not declared by the MinGW headers; user32 exports it.
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

namespace qvtest {

// A child of the test playing the desktop shell for the scope: a window of its own made the shell
// window, which the test bed's desktop has none of, so that GetShellWindow names that child's
// process (as it names Explorer's on Windows).
class ScopedShellWindow {
 public:
  ScopedShellWindow();
  // Lets the child take its window down and waits for its end.
  ~ScopedShellWindow() { finish(); }
  ScopedShellWindow(const ScopedShellWindow&) = delete;
  ScopedShellWindow& operator=(const ScopedShellWindow&) = delete;

  // The shell window is there for other processes to see (it appears a moment after it was
  // set). False when the child failed or did not get that far within a minute.
  bool ready();
  HANDLE process() const { return child_.process(); }
  // Takes the window down and waits for the child's end; its exit code (0 when all went well).
  DWORD finish() { return child_.finish(30000); }

 private:
  HoldingChild child_;
};

}  // namespace qvtest
