#pragma once

#include <windows.h>

// An installer dialog painted on white that, in install mode and while the user has not yet
// accepted usage statistics, offers that consent: a check box (shown checked) and a link to the
// terms page. The choice is stored when the user clicks OK.
namespace InstallerDialog {

constexpr int kAnalyticsCheckBoxId = 2051;
constexpr int kTermsLinkId = 2052;

// Held as the subclass's reference data; fixed when the dialog is prepared.
enum AnalyticsMode : DWORD_PTR {
  kWhiteOnly = 0,       // the caller asked for no offer
  kOfferNotNeeded = 1,  // asked for, but not installing or consent already given
  kOfferConsent = 2,    // check box and link shown; OK and link clicks handled
};

// The mode for the caller's flag. The install mode is read first; "AnalyticsAccepted" (default 1)
// only when it holds.
AnalyticsMode ModeFor(int flag);

// Subclasses `dialog` with UiWindowProc for ModeFor(flag) and arranges the two controls: hidden,
// or in kOfferConsent the check box checked. When the dialog cannot be subclassed both controls
// are hidden (no offer whose answer would be lost) and false is returned, with the system's
// error as the last error.
bool Prepare(HWND dialog, int flag);

// Whether a dialog prepared here still exists, and so still calls into the library: it must
// stay loaded until that dialog is destroyed.
bool AnyPreparedDialogLeft();

// The subclass procedure (id 0, reference data = the mode). Every mode answers the dialog's,
// statics' and edits' colour requests with the stock white brush. In kOfferConsent: OK stores
// "AnalyticsAccepted" = 1 when the box is checked (logged either way), and a click or Return on
// the link opens the terms page. At WM_DESTROY the link is taken out of the dialog and destroyed,
// and the subclass removes itself.
LRESULT CALLBACK UiWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR mode);

}  // namespace InstallerDialog
