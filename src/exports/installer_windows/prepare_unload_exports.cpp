#include <windows.h>

#include "exports/export_guard.h"
#include "exports/installer_windows/installer_dialog.h"
#include "exports/installer_windows/progress_text_timer.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/module_instance.h"

// Before the installer frees the library: what still points into it (the progress-text timers,
// a prepared dialog) must be gone, and the hold that kept it loaded meanwhile goes to the caller,
// since the library cannot free the last reference to itself while its own code runs.
QVNSIS_EXPORT int QVNSIS_PrepareUnload() {
  return GuardedExport(__func__, 0, [&](const wchar_t* name) {
    if (InstallerDialog::AnyPreparedDialogLeft()) {
      Log::Stream() << name << L": a prepared dialog still exists; staying loaded";
      return 0;
    }
    if (!StopProgressTextTimers()) {
      Log::Stream() << name << L": a progress text timer runs on another thread; staying loaded";
      return 0;
    }
    const int references = HandOverModuleHold() ? 2 : 1;
    Log::Stream() << name << L": ready to unload";
    return references;
  });
}
