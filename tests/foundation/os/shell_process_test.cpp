#include <gtest/gtest.h>

#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_process.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"

// Not declared by the MinGW headers; user32 exports it.
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

namespace {

// Plays the desktop shell: makes a window the shell window, sets the first event, and keeps it
// until the second is set.
QV_TEST_CHILD(play_shell) {
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(1).c_str()));
  const HWND window = CreateWindowExW(0, L"STATIC", L"shell", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
  if (!window || !SetShellWindow(window)) return 1;
  SetEvent(ready.get());
  WaitForSingleObject(done.get(), 60000);
  DestroyWindow(window);
  return 0;
}

// The shell window as another process sees it appears a moment after it was set.
HWND WaitForShellWindow(DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    if (const HWND shell = GetShellWindow()) return shell;
    Sleep(50);
  }
  return nullptr;
}

}  // namespace

TEST(ShellProcess, OpensTheProcessThatOwnsTheShellWindowAndNothingWithoutOne) {
  // The test bed's desktop has no shell window of its own.
  ASSERT_EQ(GetShellWindow(), nullptr);
  EXPECT_EQ(QVOS::openShellProcess(), nullptr);

  const std::wstring readyName = qvtest::UniqueName(L"ready"), doneName = qvtest::UniqueName(L"done");
  ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, doneName.c_str()));
  qvtest::RunningChild shell(L"play_shell", {readyName, doneName});
  const HANDLE waits[] = {ready.get(), shell.process()};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, 60000), WAIT_OBJECT_0);
  ASSERT_NE(WaitForShellWindow(10000), nullptr);

  ScopedHandle process(QVOS::openShellProcess());
  ASSERT_TRUE(process);
  EXPECT_EQ(GetProcessId(process.get()), GetProcessId(shell.process()));
  uint32_t level = 0;
  EXPECT_TRUE(QVOS::getIntegrityLevel(process.get(), &level)) << "opened for querying its token";
  EXPECT_EQ(level, QVOS::kHighIntegrity);

  SetEvent(done.get());
  EXPECT_EQ(shell.wait(), 0u);
}
