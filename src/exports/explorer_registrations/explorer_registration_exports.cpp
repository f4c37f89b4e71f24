#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/localization/localized_string.h"
#include "shell/explorer_registrations/platform_explorer_utils.h"

QVNSIS_EXPORT void QVNSIS_RegisterContextMenuHandlers() {
  GuardedStatusExport(__func__, [&] {
    return PlatformExplorerUtils::RegisterContextMenuHandlers(
        GetLocalizedString(PlatformExplorerUtils::kMenuTextStringId));
  });
}

QVNSIS_EXPORT void QVNSIS_RegisterProtocolHandler() {
  GuardedStatusExport(__func__, [&] { return PlatformExplorerUtils::RegisterProtocolHandler(); });
}
