#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/installer_window.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/program.h"

// `make demo-gui`'s guide through the demo installer's pages (examples/run-demo-gui.sh runs
// "e2e_tests.exe --child demo_pages_tour <setup.exe> <folder>"). On each page it writes
// "<folder>\<n>-<page>.shown" holding the main window's client area on the screen and waits for the
// script to rename it to ".taken" once it has saved the screen; then it clicks on as a person
// would. Exit code 0 when the installer went through every page and ended with 0.

namespace {

constexpr DWORD kTimeoutMs = 60000;

bool Pause(const std::wstring& folder, const wchar_t* name, HWND mainWindow) {
  // The client area: without a window manager on the bed's display nobody draws the frame.
  RECT rect = {};
  GetClientRect(mainWindow, &rect);
  MapWindowPoints(mainWindow, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const std::wstring shown = folder + name + L".shown";
  const std::wstring taken = folder + name + L".taken";
  FILE* file = _wfopen((shown + L".part").c_str(), L"w");
  if (!file) return false;
  std::fprintf(file, "%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
               rect.top);
  std::fclose(file);
  // Whole, or not at all, for the script that polls for it.
  if (!MoveFileW((shown + L".part").c_str(), shown.c_str())) return false;
  return qve2e::WaitUntil(
      [&] { return GetFileAttributesW(taken.c_str()) != INVALID_FILE_ATTRIBUTES; }, kTimeoutMs);
}

}  // namespace

QV_TEST_CHILD(demo_pages_tour) {
  if (args.size() < 2) return 2;
  const std::wstring folder = args[1] + L"\\";
  const ScopedHandle installer = qvtest::StartProgram(args[0], L"");
  if (!installer) {
    std::fprintf(stderr, "could not start %ls (error %lu)\n", args[0].c_str(), GetLastError());
    return 3;
  }
  const HWND main = qve2e::WaitForMainDialog(GetProcessId(installer.get()), kTimeoutMs);
  if (!main) return 4;

  HWND page = qve2e::PageOf(main);
  const HWND checkBox = GetDlgItem(main, 2051);
  qve2e::WaitUntil([&] { return IsWindowVisible(checkBox) != FALSE; }, kTimeoutMs);
  if (!Pause(folder, L"1-consent", main)) return 5;

  if (!(page = qve2e::NextPage(main, page, kTimeoutMs))) return 6;
  Sleep(500);  // painted
  if (!Pause(folder, L"2-banners", main)) return 7;

  if (!(page = qve2e::NextPage(main, page, kTimeoutMs))) return 8;
  // Done installing, with a dot or more after the status text.
  const HWND close = GetDlgItem(main, IDOK);
  const HWND label = GetDlgItem(page, 1006);
  qve2e::WaitUntil(
      [&] {
        const std::wstring text = qve2e::TextOf(label);
        return IsWindowEnabled(close) && !text.empty() && text.back() == L'.';
      },
      kTimeoutMs);
  if (!Pause(folder, L"3-install", main)) return 9;

  if (!qve2e::Click(close)) return 10;
  return static_cast<int>(qvtest::WaitForExit(installer, kTimeoutMs));
}
