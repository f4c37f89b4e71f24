#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "shell/deskband/qv_deskband_util.h"
#include "shell/deskband/taskbar_hosts_deskbands.h"

namespace {

constexpr wchar_t kNoDeskbands[] = L"the Windows 11 taskbar hosts no deskbands";

}  // namespace

QVNSIS_EXPORT int QVNSIS_ShowDeskband() {
  return GuardedExport(__func__, 0, [&](const wchar_t* name) {
    if (!TaskbarHostsDeskbands()) {
      Log::Stream() << name << L": " << kNoDeskbands;
      return 0;
    }
    return QVDeskbandUtil::Show() ? 1 : 0;
  });
}

QVNSIS_EXPORT int QVNSIS_IsDeskbandRegistered() {
  return GuardedExport(__func__, 0, [&] { return QVDeskbandUtil::LoadInstalledCLSID() ? 1 : 0; });
}

QVNSIS_EXPORT int QVNSIS_RegisterDeskband() {
  return GuardedExport(__func__, 0, [&](const wchar_t* name) {
    if (!TaskbarHostsDeskbands()) {
      Log::Stream() << name << L": " << kNoDeskbands;
      return 0;
    }
    return QVDeskbandUtil::RegisterIfRequired(true) ? 1 : 0;
  });
}
