#pragma once

#include <windows.h>
#include <string>

#include "foundation/settings/expansion.h"

// The platform's paths, all derived from the "InstallDir" setting.
//
// Each kind is its base kind plus a fixed suffix, appended to the installation directory exactly
// as stored (no normalisation). An empty installation directory makes every path empty.
enum class PathKind : int {
  InstallDir = 0,               // the "InstallDir" setting
  EngineDir = 1,                // InstallDir + "\Engine"
  EngineExe = 2,                // EngineDir + "\tovin.exe"
  AppsDir = 3,                  // InstallDir + "\Tovines"
  SystemAppsDir = 4,            // EngineDir + "\sysapps"
  InstalledAppsDb = 5,          // AppsDir + "\installed_tovines.db"
  EngineUpdateDb = 6,           // InstallDir + "\engine_update.db"
  AnalyticsDb = 7,              // InstallDir + "\analytics.db"
  NotificationsDb = 8,          // InstallDir + "\notifications.db"
  IconCacheDir = 9,             // InstallDir + "\IconCache"
  PersistentIconCacheDir = 10,  // IconCacheDir + "\persistent"
  UserDataDir = 11,             // InstallDir + "\UserData"
};

namespace QVPaths {

// The path of `kind`. `expansion` only affects how "InstallDir" is read (a REG_EXPAND_SZ value's
// variables expanded, or kept for command lines written to the registry). A kind outside the
// table gives an empty string.
std::wstring getPath(PathKind kind, Expansion expansion);

// The file `name` in the folder of `folder`, or empty when that folder's path is (no
// installation): never "\<name>", which would be the root of the current drive.
std::wstring getFilePath(PathKind folder, const std::wstring& name, Expansion expansion);

}  // namespace QVPaths

namespace QVPaths {

// The engine's class name, "TOVIN_CLASS".
inline constexpr wchar_t kEngineWindowClass[] = L"TOVIN_CLASS";

// The running engine's top-level window (class "TOVIN_CLASS", any title), or null.
HWND findEngineWindow();

}  // namespace QVPaths
