#include "exports/export.h"
#include "shell/qv_deskband_util.h"

QVNSIS_EXPORT int QVNSIS_ShowDeskband() {
  try {
    return QVDeskbandUtil::Show() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

QVNSIS_EXPORT int QVNSIS_IsDeskbandRegistered() {
  try {
    return QVDeskbandUtil::LoadInstalledCLSID() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

QVNSIS_EXPORT int QVNSIS_RegisterDeskband() {
  try {
    return QVDeskbandUtil::RegisterIfRequired(true) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
