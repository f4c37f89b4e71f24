#include "exports/caller_buffer.h"
#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/localization/localized_string.h"

QVNSIS_EXPORT void QVNSIS_GetLanguageString(int id, wchar_t* buffer, int count) {
  if (!buffer || count <= 0) return;
  GuardedExport([&] {
    CopyToCallerBuffer(buffer, count, GetLocalizedString(id));
  });
}
