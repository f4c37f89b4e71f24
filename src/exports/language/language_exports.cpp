#include "exports/caller_buffer.h"
#include "exports/qvnsis_exports.h"
#include "foundation/localization/localized_string.h"

QVNSIS_EXPORT void QVNSIS_GetLanguageString(int id, wchar_t* buffer, int count) {
  FillCallerBuffer(__func__, buffer, count, [&] {
    StringResource resource;
    CallerText string;
    // A missing entry still fills the buffer, with the "string id <id> missing" text.
    if (!LoadStringResource(id, &resource)) string.status = ERROR_RESOURCE_NAME_NOT_FOUND;
    string.text = GetLocalizedString(id);
    return string;
  });
}
