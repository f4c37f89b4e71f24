#pragma once

#include <string>

// The engine's command-line switches.
inline constexpr wchar_t kEngineSwitchPlatformInstalled[] = L"/PLATFORMINSTALLED";
inline constexpr wchar_t kEngineSwitchSideload[] = L"/SIDELOAD";
inline constexpr wchar_t kEngineSwitchUninstalling[] = L"/UNINSTALLING";
inline constexpr wchar_t kEngineSwitchQuit[] = L"/QUIT";

// The argument text of an engine start: "/PLATFORMINSTALLED" when `platformInstalled` is nonzero,
// then, when `appName` is not null (even when empty), " /OPEN" and the app name in double quotes.
// The app name is widened byte by byte (0xE9 becomes U+00E9): the installer hands it over in
// its own code page and the engine expects exactly this reading.
std::wstring EngineStartArguments(int platformInstalled, const char* appName);
