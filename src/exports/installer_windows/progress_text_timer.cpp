#include "exports/installer_windows/progress_text_timer.h"

#include <vector>

#include "foundation/os/module_instance.h"
#include "foundation/owners/scoped_handle.h"

namespace {

constexpr int kSavedTextSize = 200;  // characters, the terminator included
constexpr UINT kTickMs = 1000;

// Not locked: the exports and the timer run on the installer's one user-interface thread.
HWND g_label = nullptr;
wchar_t g_savedText[kSavedTextSize] = {};
int g_dots = 0;

// Every running timer with the thread it ticks on: a thread timer is stopped only there.
struct RunningTimer {
  UINT_PTR id;
  DWORD thread;
};
std::vector<RunningTimer> g_timers;

bool ThreadHasEnded(DWORD thread) {
  const ScopedHandle handle(OpenThread(SYNCHRONIZE, FALSE, thread));
  return !handle || WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0;
}

VOID CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  g_dots = (g_dots + 1) % 4;
  // The timer outlives the page: once its label is gone there is nothing to animate, and a
  // redraw of no parent would repaint the whole desktop.
  if (!IsWindow(g_label)) return;
  wchar_t text[kSavedTextSize + 3] = {};
  lstrcpynW(text, g_savedText, kSavedTextSize);
  lstrcatW(text, L"..." + (3 - g_dots));
  SetWindowTextW(g_label, text);
  // Redrawn at once, so the parent's background shows behind the label's shorter text.
  if (const HWND parent = GetParent(g_label)) {
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
}

}  // namespace

UINT_PTR StartProgressTextTimer(HWND label) {
  // A null or vanished label would leave the ticks redrawing the whole desktop.
  if (!IsWindow(label)) return 0;
  g_label = label;
  g_savedText[0] = L'\0';
  GetWindowTextW(label, g_savedText, kSavedTextSize);
  const UINT_PTR timer = SetTimer(nullptr, 1, kTickMs, &OnTimer);
  if (!timer) return 0;
  try {
    g_timers.push_back({timer, GetCurrentThreadId()});
  } catch (...) {
    KillTimer(nullptr, timer);  // untracked, it could not be stopped before an unload
    throw;
  }
  HoldModuleLoaded();
  return timer;
}

bool StopProgressTextTimers() {
  const DWORD self = GetCurrentThreadId();
  for (const RunningTimer& timer : g_timers) {
    if (timer.thread != self && !ThreadHasEnded(timer.thread)) return false;
  }
  for (const RunningTimer& timer : g_timers) {
    if (timer.thread == self) KillTimer(nullptr, timer.id);
  }
  g_timers.clear();
  return true;
}
