#include "e2e/installer_window.h"

#include <cstdio>
#include <cstdlib>

namespace qve2e {
namespace {

bool IsDialogClass(HWND window) {
  wchar_t name[16] = {};
  return GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0;
}

struct MainSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMain(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<MainSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && IsDialogClass(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return condition();
    Sleep(50);
  }
}

HWND MainDialogOf(DWORD pid) {
  MainSearch search = {pid, nullptr};
  EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND PageOf(HWND mainWindow) {
  for (HWND child = FindWindowExW(mainWindow, nullptr, L"#32770", nullptr); child;
       child = FindWindowExW(mainWindow, child, L"#32770", nullptr)) {
    if (IsWindowVisible(child)) return child;
  }
  return nullptr;
}

HWND WaitForMainDialog(DWORD pid, DWORD timeoutMs) {
  HWND main = nullptr;
  WaitUntil([&] { return (main = MainDialogOf(pid)) != nullptr && PageOf(main) != nullptr; },
            timeoutMs);
  return main && PageOf(main) ? main : nullptr;
}

HWND NextPage(HWND mainWindow, HWND page, DWORD timeoutMs) {
  if (!Click(GetDlgItem(mainWindow, IDOK))) return nullptr;
  HWND next = nullptr;
  return WaitUntil([&] { return (next = PageOf(mainWindow)) != nullptr && next != page; },
                   timeoutMs)
             ? next
             : nullptr;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return std::wstring();
  }
  return std::wstring(text, copied < 512 ? copied : 511);
}

bool Click(HWND button) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

void ClickAt(HWND window, POINT clientPoint) {
  const LPARAM at = MAKELPARAM(clientPoint.x, clientPoint.y);
  PostMessageW(window, WM_MOUSEMOVE, 0, at);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(window, WM_LBUTTONUP, 0, at);
}

COLORREF ScreenPixel(HWND window, POINT clientPoint) {
  POINT onScreen = clientPoint;
  if (!ClientToScreen(window, &onScreen)) return CLR_INVALID;
  const HDC screen = GetDC(nullptr);
  if (!screen) return CLR_INVALID;
  const COLORREF color = GetPixel(screen, onScreen.x, onScreen.y);
  ReleaseDC(nullptr, screen);
  return color;
}

bool Near(COLORREF actual, COLORREF expected, int tolerance) {
  if (actual == CLR_INVALID) return false;
  return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
         std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
         std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

std::string ColorText(COLORREF color) {
  if (color == CLR_INVALID) return "(unreadable)";
  char text[8];
  std::snprintf(text, sizeof(text), "#%02x%02x%02x", GetRValue(color), GetGValue(color),
                GetBValue(color));
  return text;
}

}  // namespace qve2e
