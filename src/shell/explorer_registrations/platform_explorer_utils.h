#pragma once

#include <windows.h>

#include <string>

// Per-user Explorer registrations, under HKEY_CURRENT_USER "Software\Classes" (no administrator
// rights, no other user touched), that hand items to the platform engine: the verb "tovin" on
// every file-system object, folder, drive and shortcut, and the tovin: URL protocol. Nothing in
// the library removes them. Both operations can run any number of times: existing keys are
// opened and their values overwritten.
namespace PlatformExplorerUtils {

// The string-table entry both callers pass as the verb's menu text ("Add to Tovin Menu").
inline constexpr int kMenuTextStringId = 111;

// Writes the verb with `menuText` (the built-in "Add to Tovin menu" when it is empty) and the
// REG_EXPAND_SZ command "<engine>" /ADDFAVORITE"%1" for AllFileSystemObjects, Directory, Drive and
// lnkfile. Without an installation nothing is written.
//
// Both answer ERROR_SUCCESS when every key and value was written; otherwise the first failure:
// ERROR_PATH_NOT_FOUND without an installation, ERROR_INVALID_NAME for an engine path a command
// line cannot hold, the registry's code for a key that could not be created, ERROR_CANTWRITE for
// a value that could not be written (the rest is still written).
DWORD RegisterContextMenuHandlers(const std::wstring& menuText);

// Writes the protocol "URL:Tovin Protocol" with its empty "URL Protocol" marker and the
// REG_EXPAND_SZ open command "<engine>" "%1". Without an installation nothing is written.
DWORD RegisterProtocolHandler();

}  // namespace PlatformExplorerUtils
