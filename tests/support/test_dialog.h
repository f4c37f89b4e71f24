#pragma once

#include <windows.h>

namespace qvtest {

// Control ids of the installer dialog that CreateTestDialog builds.
constexpr int kDialogTextId = 1000;  // STATIC
constexpr int kDialogEditId = 1001;  // EDIT
constexpr int kCheckBoxId = 2051;    // auto check box
constexpr int kLinkId = 2052;        // SysLink

// A modeless dialog from an in-memory template, as an installer page would be: a static text, an
// edit, OK (IDOK) and, when `consentControls`, the check box 2051 and the SysLink 2052. `proc`
// gets `param` at WM_INITDIALOG. Null when it could not be made.
HWND CreateTestDialog(bool consentControls, DLGPROC proc, LPARAM param = 0);

// Dispatches this thread's waiting messages.
void PumpMessages();

}  // namespace qvtest
