#include "exports/export.h"
#include "foundation/log.h"
#include "foundation/startup_info.h"

// One line describing the system, without a source name, for the top of the installer's log.
QVNSIS_EXPORT void QVNSIS_LogStartupInfo() {
  try {
    Log::WriteLine(QVOS::getStartupInfo());
  } catch (...) {
  }
}
