#pragma once

#include <windows.h>

// The process-wide handle of the settings key, HKEY_CURRENT_USER "SOFTWARE\Tovin".
namespace QVSettings {

// The open settings key, or null when it cannot be opened. Opened on first use with
// KEY_READ | KEY_WRITE (never created), under a critical section with the open flag tested again
// inside it; a handle once obtained is kept until the library unloads, or until the key is found
// deleted. After a failure the next call tries again. The returned handle stays owned here.
HKEY settingsKey();

// After an operation on `used` (a handle settingsKey() gave) failed: when that handle's key has
// been deleted (an uninstaller, or any program, removed HKCU\SOFTWARE\Tovin and perhaps made it
// again), drops it and opens the key afresh. Returns the handle to retry with, or null when there
// is nothing to retry (the handle is sound, so the failure stands, or no key can be opened).
HKEY reopenSettingsKeyIfDeleted(HKEY used);

// Runs `operation` (HKEY -> bool) on the settings key; when it fails because the key was deleted
// under the held handle, once more on the key opened again.
template <typename Operation>
bool onSettingsKey(Operation&& operation) {
  const HKEY key = settingsKey();
  if (operation(key)) return true;
  const HKEY reopened = reopenSettingsKeyIfDeleted(key);
  return reopened && operation(reopened);
}

}  // namespace QVSettings
