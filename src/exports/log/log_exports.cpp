#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"

QVNSIS_EXPORT void QVNSIS_Log(const wchar_t* message) {
  if (!message) return;
  GuardedExport([&] {
    Log::WriteLine(message);
  });
}
