#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"

// A line the log cannot take (its folder missing, its mutex busy) is dropped by design, so the
// call does not fail for it.
QVNSIS_EXPORT void QVNSIS_Log(const wchar_t* message) {
  GuardedStatusExport(__func__, [&]() -> DWORD {
    if (message) Log::WriteLine(message);
    return ERROR_SUCCESS;
  });
}
