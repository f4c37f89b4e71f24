#include "exports/export.h"
#include "foundation/localized_string.h"
#include "shell/platform_explorer_utils.h"

QVNSIS_EXPORT void QVNSIS_RegisterContextMenuHandlers() {
  try {
    PlatformExplorerUtils::RegisterContextMenuHandlers(
        GetLocalizedString(PlatformExplorerUtils::kMenuTextStringId));
  } catch (...) {
  }
}

QVNSIS_EXPORT void QVNSIS_RegisterProtocolHandler() {
  try {
    PlatformExplorerUtils::RegisterProtocolHandler();
  } catch (...) {
  }
}
