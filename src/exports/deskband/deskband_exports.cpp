#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "shell/deskband/qv_deskband_util.h"

QVNSIS_EXPORT int QVNSIS_ShowDeskband() {
  return GuardedExport(0, [&] {
    return QVDeskbandUtil::Show() ? 1 : 0;
  });
}

QVNSIS_EXPORT int QVNSIS_IsDeskbandRegistered() {
  return GuardedExport(0, [&] {
    return QVDeskbandUtil::LoadInstalledCLSID() ? 1 : 0;
  });
}

QVNSIS_EXPORT int QVNSIS_RegisterDeskband() {
  return GuardedExport(0, [&] {
    return QVDeskbandUtil::RegisterIfRequired(true) ? 1 : 0;
  });
}
