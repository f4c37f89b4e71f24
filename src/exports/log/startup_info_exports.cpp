#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/startup_info.h"

// One line describing the system, without a source name, for the top of the installer's log.
QVNSIS_EXPORT void QVNSIS_LogStartupInfo() {
  GuardedStatusExport(__func__, [&]() -> DWORD {
    Log::WriteLine(QVOS::getStartupInfo());
    return ERROR_SUCCESS;
  });
}
