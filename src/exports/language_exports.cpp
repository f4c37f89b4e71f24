#include "exports/caller_buffer.h"
#include "exports/export.h"
#include "foundation/localized_string.h"

QVNSIS_EXPORT void QVNSIS_GetLanguageString(int id, wchar_t* buffer, int count) {
  if (!buffer || count <= 0) return;
  try {
    CopyToCallerBuffer(buffer, count, GetLocalizedString(id));
  } catch (...) {
  }
}
