#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/test_dialog.h"

// QVNSIS_PrepareUnload, as the installer's unload uses it: what points into the library (the
// progress-text timers, a prepared dialog) must be gone before the installer frees it, and the
// library's own hold on itself is handed to the caller, who frees the library as many times as
// the call answers. Each case runs in a child process: a library unloaded too early would crash
// it at the next timer tick or message, and a hold left over would keep it loaded for later
// tests.

namespace {

const wchar_t kSource[] = L"QVNSIS_PrepareUnload: ";

bool Loaded() { return GetModuleHandleW(qvtest::LibraryPath().c_str()) != nullptr; }

// Lets the thread's timers tick for a while; a tick into freed code ends the process.
void PumpFor(DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    qvtest::PumpMessages();
  }
}

std::wstring Text(HWND window) {
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return text;
}

HWND MakePage() {
  return qvtest::CreateTestDialog(
      true, [](HWND, UINT, WPARAM, LPARAM) WINAPI -> INT_PTR { return FALSE; });
}

// Loaded once as System::Call does and nothing made: one free unloads it. Exit code 0, else the
// step that failed.
QV_TEST_CHILD(unload_untouched) {
  const HMODULE library = LoadLibraryW(qvtest::LibraryPath().c_str());
  auto prepareUnload = QV_EXPORT(library, QVNSIS_PrepareUnload);
  if (!prepareUnload) return 2;
  if (prepareUnload() != 1) return 3;
  FreeLibrary(library);
  if (Loaded()) return 4;
  return 0;
}

// A page prepared and a label animated: while the page exists the library stays (0, nothing
// stopped); once the page is gone the timer stops and the caller frees the library twice, its
// own load and the hold handed over, after which it is gone and nothing ticks into it.
QV_TEST_CHILD(unload_after_the_window) {
  const HMODULE library = LoadLibraryW(qvtest::LibraryPath().c_str());
  auto prepare = QV_EXPORT(library, QVNSIS_PrepareWindow);
  auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
  auto prepareUnload = QV_EXPORT(library, QVNSIS_PrepareUnload);
  if (!prepare || !startTimer || !prepareUnload) return 2;
  const HWND page = MakePage();
  if (!page) return 3;
  const HWND label = GetDlgItem(page, qvtest::kDialogTextId);
  prepare(page, 0);
  if (!startTimer(label)) return 4;

  if (prepareUnload() != 0) return 5;
  // Nothing was stopped: the label still changes and the page is still white.
  const std::wstring before = Text(label);
  PumpFor(2500);
  if (Text(label) == before) return 6;
  const HDC dc = GetDC(page);
  const LRESULT brush = SendMessageW(page, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page));
  ReleaseDC(page, dc);
  if (brush != reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH))) return 7;

  DestroyWindow(page);
  const int references = prepareUnload();
  if (references != 2) return 8;
  for (int i = 0; i < references; ++i) FreeLibrary(library);
  if (Loaded()) return 9;
  PumpFor(2500);
  return 0;
}

// A script that already unloaded the library with System::Call's "u" (its own reference gone,
// the hold still keeping it) and then prepares the unload: the first free unloads it, and the
// second, told by the answer, finds nothing to free.
QV_TEST_CHILD(unload_after_an_early_free) {
  const HMODULE library = LoadLibraryW(qvtest::LibraryPath().c_str());
  auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
  auto prepareUnload = QV_EXPORT(library, QVNSIS_PrepareUnload);
  if (!startTimer || !prepareUnload) return 2;
  const HWND page = MakePage();
  if (!page) return 3;
  if (!startTimer(GetDlgItem(page, qvtest::kDialogTextId))) return 4;
  FreeLibrary(library);
  if (!Loaded()) return 5;  // the timer's hold keeps it
  DestroyWindow(page);
  const int references = prepareUnload();
  if (references != 2) return 6;
  FreeLibrary(library);
  if (Loaded()) return 7;
  PumpFor(1500);
  return 0;
}

// A timer started on another thread that still runs cannot be stopped from this one: the library
// stays (0). Once that thread has ended its timer is gone with it.
QV_TEST_CHILD(unload_with_a_timer_of_another_thread) {
  const HMODULE library = LoadLibraryW(qvtest::LibraryPath().c_str());
  auto startTimer = QV_EXPORT(library, QVNSIS_StartProgressTextTimer);
  auto prepareUnload = QV_EXPORT(library, QVNSIS_PrepareUnload);
  if (!startTimer || !prepareUnload) return 2;
  struct Worker {
    decltype(startTimer) start;
    HANDLE started;
    HANDLE finish;
    UINT_PTR timer;
  } worker = {startTimer, CreateEventW(nullptr, TRUE, FALSE, nullptr),
              CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
  const HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* parameter) WINAPI -> DWORD {
        auto* w = static_cast<Worker*>(parameter);
        const HWND label = CreateWindowExW(0, L"STATIC", L"working", WS_POPUP, 0, 0, 80, 20,
                                           nullptr, nullptr, nullptr, nullptr);
        w->timer = w->start(label);
        SetEvent(w->started);
        while (MsgWaitForMultipleObjects(1, &w->finish, FALSE, INFINITE, QS_ALLINPUT) !=
               WAIT_OBJECT_0) {
          qvtest::PumpMessages();
        }
        DestroyWindow(label);
        return 0;
      },
      &worker, 0, nullptr);
  if (!thread) return 3;
  WaitForSingleObject(worker.started, 10000);
  if (!worker.timer) return 4;
  const int whileRunning = prepareUnload();
  SetEvent(worker.finish);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  if (whileRunning != 0) return 5;
  const int references = prepareUnload();
  if (references != 2) return 6;
  for (int i = 0; i < references; ++i) FreeLibrary(library);
  if (Loaded()) return 7;
  return 0;
}

class PrepareUnload : public testing::Test {
 protected:
  std::vector<std::wstring> Messages() const {
    return qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir_.path()), kSource);
  }

  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
};

}  // namespace

TEST_F(PrepareUnload, WithNothingMadeOneFreeUnloadsTheLibrary) {
  EXPECT_EQ(qvtest::RunChild(L"unload_untouched", {}).exitCode, 0u);
  EXPECT_EQ(Messages(), std::vector<std::wstring>{L"ready to unload"});
}

TEST_F(PrepareUnload, APreparedPageKeepsTheLibraryUntilItIsGoneThenTheTimerStopsAndItUnloads) {
  EXPECT_EQ(qvtest::RunChild(L"unload_after_the_window", {}).exitCode, 0u);
  EXPECT_EQ(Messages(),
            (std::vector<std::wstring>{L"a prepared dialog still exists; staying loaded",
                                       L"ready to unload"}));
}

TEST_F(PrepareUnload, AnEarlierFreeByTheScriptLeavesOnlyTheHoldToFree) {
  EXPECT_EQ(qvtest::RunChild(L"unload_after_an_early_free", {}).exitCode, 0u);
}

TEST_F(PrepareUnload, ATimerOfAnotherThreadKeepsTheLibraryWhileThatThreadRuns) {
  EXPECT_EQ(qvtest::RunChild(L"unload_with_a_timer_of_another_thread", {}).exitCode, 0u);
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{
                            L"a progress text timer runs on another thread; staying loaded",
                            L"ready to unload"}));
}
