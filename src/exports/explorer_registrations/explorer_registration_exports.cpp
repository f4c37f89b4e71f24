#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/localization/localized_string.h"
#include "shell/explorer_registrations/platform_explorer_utils.h"

QVNSIS_EXPORT void QVNSIS_RegisterContextMenuHandlers() {
  GuardedStatusExport([&] {
    return PlatformExplorerUtils::RegisterContextMenuHandlers(
        GetLocalizedString(PlatformExplorerUtils::kMenuTextStringId));
  });
}

QVNSIS_EXPORT void QVNSIS_RegisterProtocolHandler() {
  GuardedStatusExport([&] { return PlatformExplorerUtils::RegisterProtocolHandler(); });
}
