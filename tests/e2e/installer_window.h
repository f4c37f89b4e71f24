#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Driving an installer's window in another process the way a person does: finding its pages,
// reading what they show, clicking. Every wait is bounded.
namespace qve2e {

// Checks `condition` every 50 ms until it holds or `timeoutMs` have passed; its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The visible top-level dialog (class "#32770") of process `pid`, null when there is none.
HWND MainDialogOf(DWORD pid);

// The page shown inside an NSIS main window: its visible child dialog, null when there is none.
HWND PageOf(HWND mainWindow);

// Waits for process `pid`'s main dialog with a page in it: the main dialog, null when none came.
HWND WaitForMainDialog(DWORD pid, DWORD timeoutMs);

// Clicks Next (IDOK) of an NSIS main window and waits for the page after `page`: that page, null
// when none came.
HWND NextPage(HWND mainWindow, HWND page, DWORD timeoutMs);

// The window's text, asked with WM_GETTEXT (answered within 5 s, else empty).
std::wstring TextOf(HWND window);

// A click on a button, as the mouse gives it (BM_CLICK); true once the button has taken it.
bool Click(HWND button);

// A left click at a point of `window`'s client area (button down, then up).
void ClickAt(HWND window, POINT clientPoint);

// The colour the screen shows at a point of `window`'s client area; CLR_INVALID when it cannot be
// read.
COLORREF ScreenPixel(HWND window, POINT clientPoint);

// Whether every channel of `actual` is within `tolerance` of `expected`.
bool Near(COLORREF actual, COLORREF expected, int tolerance);

// "#rrggbb".
std::string ColorText(COLORREF color);

}  // namespace qve2e
