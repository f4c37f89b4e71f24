#include "exports/export.h"
#include "foundation/log.h"

QVNSIS_EXPORT void QVNSIS_Log(const wchar_t* message) {
  if (!message) return;
  try {
    Log::WriteLine(message);
  } catch (...) {
  }
}
