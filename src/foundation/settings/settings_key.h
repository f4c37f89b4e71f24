#pragma once

#include <windows.h>

// The process-wide handle of the settings key, HKEY_CURRENT_USER "SOFTWARE\Tovin".
namespace QVSettings {

// The open settings key, or null when it cannot be opened. Opened on first use with
// KEY_READ | KEY_WRITE (never created), under a critical section with the open flag tested again
// inside it; a handle once obtained is kept until the library unloads. After a failure the next
// call tries again. The returned handle stays owned here.
HKEY settingsKey();

}  // namespace QVSettings
