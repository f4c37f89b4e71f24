#include <windows.h>

#include <string>

#include "exports/export.h"
#include "foundation/client_id.h"
#include "foundation/default_browser.h"
#include "foundation/log.h"
#include "foundation/product_pages.h"
#include "shell/installer_dialog.h"
#include "shell/progress_text_timer.h"

QVNSIS_EXPORT UINT_PTR QVNSIS_StartProgressTextTimer(HWND label) {
  try {
    return StartProgressTextTimer(label);
  } catch (...) {
    return 0;
  }
}

QVNSIS_EXPORT void QVNSIS_PrepareWindow(HWND dialog, int flag) {
  try {
    if (!InstallerDialog::Prepare(dialog, flag)) {
      Log::Stream() << L"QVNSIS_PrepareWindow: (err: " << GetLastError() << L") could not subclass window "
                    << static_cast<const void*>(dialog);
    }
  } catch (...) {
  }
}

QVNSIS_EXPORT void QVNSIS_OpenUninstallSurvey() {
  try {
    // The identifier is plain ASCII: its low bytes are the text.
    std::string clientId;
    for (wchar_t c : QVPaths::getClientId(false)) clientId.push_back(static_cast<char>(c & 0xFF));
    if (clientId.empty()) return;
    OpenUrlInDefaultBrowser(QVPages::uninstallSurveyUrl(clientId));
  } catch (...) {
  }
}
