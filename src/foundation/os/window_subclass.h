#pragma once

#include <windows.h>
#include <commctrl.h>

// comctl32's window subclassing. Before version 6 comctl32 exports these by ordinal only
// (410 to 413): importing them by name would keep the library from loading into an installer on
// Windows XP without a common-controls manifest. They are looked up by ordinal on first use, in
// whichever comctl32 the caller's activation context gives, and that comctl32 stays loaded.
// Each answers as comctl32 would, or FALSE / 0 when comctl32 has no such entry.
namespace QVOS {

BOOL setWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR refData);
BOOL getWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR* refData);
BOOL removeWindowSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id);
LRESULT defSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace QVOS
