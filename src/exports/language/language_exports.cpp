#include "exports/caller_buffer.h"
#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/localization/localized_string.h"

QVNSIS_EXPORT void QVNSIS_GetLanguageString(int id, wchar_t* buffer, int count) {
  if (!buffer || count <= 0) {
    SetLastError(buffer ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    return;
  }
  GuardedStatusExport(__func__, [&]() -> DWORD {
    StringResource resource;
    const bool found = LoadStringResource(id, &resource);
    // A missing entry still fills the buffer, with the "string id <id> missing" text.
    if (!CopyToCallerBuffer(buffer, count, GetLocalizedString(id))) return ERROR_INSUFFICIENT_BUFFER;
    return found ? ERROR_SUCCESS : ERROR_RESOURCE_NAME_NOT_FOUND;
  });
}
