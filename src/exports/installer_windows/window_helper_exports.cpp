#include <windows.h>

#include <string>

#include "exports/export_guard.h"
#include "exports/installer_windows/default_browser.h"
#include "exports/installer_windows/installer_dialog.h"
#include "exports/installer_windows/product_pages.h"
#include "exports/installer_windows/progress_text_timer.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/settings/client_id.h"

QVNSIS_EXPORT UINT_PTR QVNSIS_StartProgressTextTimer(HWND label) {
  return GuardedExport(__func__, UINT_PTR{0}, [&] { return StartProgressTextTimer(label); });
}

QVNSIS_EXPORT void QVNSIS_PrepareWindow(HWND dialog, int flag) {
  GuardedStatusExport(__func__, [&](const wchar_t* name) -> DWORD {
    if (InstallerDialog::Prepare(dialog, flag)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    Log::Stream() << name << L": " << Log::OsError{error} << L"could not subclass window "
                  << static_cast<const void*>(dialog);
    return error != ERROR_SUCCESS ? error : ERROR_INVALID_WINDOW_HANDLE;
  });
}

QVNSIS_EXPORT void QVNSIS_OpenUninstallSurvey() {
  GuardedStatusExport(__func__, [&]() -> DWORD {
    // The identifier is plain ASCII: its low bytes are the text.
    std::string clientId;
    for (wchar_t c : QVPaths::getClientId(false)) clientId.push_back(static_cast<char>(c & 0xFF));
    if (clientId.empty()) return ERROR_INVALID_DATA;
    return OpenUrlInDefaultBrowser(QVPages::uninstallSurveyUrl(clientId)) ? ERROR_SUCCESS
                                                                          : ERROR_NO_ASSOCIATION;
  });
}
