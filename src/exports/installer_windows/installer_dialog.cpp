#include "exports/installer_windows/installer_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "exports/installer_windows/product_pages.h"
#include "foundation/log/log.h"
#include "foundation/os/module_instance.h"
#include "foundation/os/shell_execute.h"
#include "foundation/os/window_subclass.h"
#include "foundation/settings/qv_settings.h"
#include "foundation/settings/settings_names.h"

namespace InstallerDialog {
namespace {

constexpr UINT_PTR kSubclassId = 0;

// The dialogs subclassed now, each until its WM_DESTROY. Not locked: dialogs are prepared and
// destroyed on the installer's user-interface thread.
std::vector<HWND> g_prepared;

bool Known(HWND dialog) {
  return std::find(g_prepared.begin(), g_prepared.end(), dialog) != g_prepared.end();
}

void Forget(HWND dialog) {
  g_prepared.erase(std::remove(g_prepared.begin(), g_prepared.end(), dialog), g_prepared.end());
}

void StoreConsentOnOk(HWND dialog) {
  const HWND checkBox = GetDlgItem(dialog, kAnalyticsCheckBoxId);
  if (SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    Log::Stream() << L"UiWindowProc: IDOK: analytics accepted";
    QVSettings::setDword(QVSettings::kAnalyticsAccepted, 1);  // a failed write is ignored
  } else {
    Log::Stream() << L"UiWindowProc: IDOK: analytics not accepted";
  }
}

bool IsTermsLinkActivation(LPARAM lParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header || header->idFrom != static_cast<UINT_PTR>(kTermsLinkId)) return false;
  return header->code == static_cast<UINT>(NM_CLICK) ||
         header->code == static_cast<UINT>(NM_RETURN);
}

}  // namespace

AnalyticsMode ModeFor(int flag) {
  if (flag == 0) return kWhiteOnly;
  if (QVSettings::isInstallMode() &&
      QVSettings::getDword(QVSettings::kAnalyticsAccepted, QVSettings::kAnalyticsAcceptedDefault) ==
          0) {
    return kOfferConsent;
  }
  return kOfferNotNeeded;
}

bool Prepare(HWND dialog, int flag) {
  if (!IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const AnalyticsMode mode = ModeFor(flag);
  if (!Known(dialog)) g_prepared.push_back(dialog);
  const bool subclassed =
      QVOS::setWindowSubclass(dialog, &UiWindowProc, kSubclassId, mode) != FALSE;
  const DWORD error = GetLastError();
  if (subclassed) {
    HoldModuleLoaded();
  } else {
    Forget(dialog);
  }
  const HWND checkBox = GetDlgItem(dialog, kAnalyticsCheckBoxId);
  const HWND link = GetDlgItem(dialog, kTermsLinkId);
  if (subclassed && mode == kOfferConsent) {
    SendMessageW(checkBox, BM_SETCHECK, BST_CHECKED, 0);
  } else {
    if (checkBox) ShowWindow(checkBox, SW_HIDE);
    if (link) ShowWindow(link, SW_HIDE);
  }
  if (!subclassed) SetLastError(error);  // for the caller's log line
  return subclassed;
}

bool AnyPreparedDialogLeft() {
  return std::any_of(g_prepared.begin(), g_prepared.end(),
                     [](HWND dialog) { return IsWindow(dialog) != FALSE; });
}

LRESULT CALLBACK UiWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR mode) {
  try {
    switch (message) {
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLOREDIT:
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      case WM_COMMAND:
        if (mode == kOfferConsent && wParam == IDOK) StoreConsentOnOk(window);
        break;
      case WM_NOTIFY:
        if (mode == kOfferConsent && IsTermsLinkActivation(lParam)) {
          QVOS::shellExecute(QVPages::termsPageUrl(), std::wstring());
        }
        break;
      case WM_DESTROY:
        if (const HWND link = GetDlgItem(window, kTermsLinkId)) {
          // Taken out of the dialog, the link would otherwise live on as a child of the desktop.
          SetParent(link, nullptr);
          DestroyWindow(link);
        }
        QVOS::removeWindowSubclass(window, &UiWindowProc, kSubclassId);
        Forget(window);
        break;
      default:
        break;
    }
  } catch (...) {
    // Nothing may unwind into the installer's message dispatch.
  }
  return QVOS::defSubclassProc(window, message, wParam, lParam);
}

}  // namespace InstallerDialog
