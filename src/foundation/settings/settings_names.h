#pragma once

#include <windows.h>

#include <cstdint>

// The platform's per-user settings key, HKEY_CURRENT_USER "SOFTWARE\Tovin", and the names of its
// values. Names only: the typed access is QVSettings (qv_settings.h).
namespace QVSettings {

inline constexpr wchar_t kKeyPath[] = L"SOFTWARE\\Tovin";
// KEY_READ | KEY_WRITE (0x2001F). The library opens the key, never creates it here.
inline constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;

// Values the library reads or writes.
inline constexpr wchar_t kInstallDir[] = L"InstallDir";      // REG_SZ or REG_EXPAND_SZ
inline constexpr wchar_t kClientId[] = L"ClientId";          // REG_SZ
inline constexpr wchar_t kMenuEnabled[] = L"MenuEnabled";    // REG_DWORD, 1 = enabled
inline constexpr wchar_t kInstallMode[] = L"InstallMode";    // REG_DWORD, 1 = on
inline constexpr wchar_t kInstallDate[] = L"InstallDate";    // REG_SZ
inline constexpr wchar_t kInstallDate2[] = L"InstallDate2";  // REG_QWORD
inline constexpr wchar_t kLaunchPlatformDelayMs[] = L"LaunchPlatformDelayMs";        // REG_DWORD
inline constexpr wchar_t kAnalyticsAccepted[] = L"AnalyticsAccepted";                // REG_DWORD
inline constexpr wchar_t kRegisterDeskbandFilename[] = L"RegisterDeskbandFilename";  // REG_SZ
inline constexpr wchar_t kOutputDebug[] = L"OutputDebug";  // 4-byte number, read by the log

// Defaults the callers of those values give.
inline constexpr uint32_t kMenuEnabledDefault = 1;
inline constexpr uint32_t kInstallModeDefault = 0;
inline constexpr uint32_t kLaunchPlatformDelayMsDefault = 15000;
inline constexpr uint32_t kAnalyticsAcceptedDefault = 1;

// Values of the same key that belong to the platform's engine. No operation of this library
// reads or writes them; their meaning and types are the engine's.
inline constexpr wchar_t kLastAllowedDeviceIdPrefix[] = L"lastAllowedDeviceId_";  // a name prefix
inline constexpr wchar_t kAutoPinApps[] = L"AutoPinApps";
inline constexpr wchar_t kStartMenuMode[] = L"start_menu_mode";
inline constexpr wchar_t kExtraLogging[] = L"ExtraLogging";
inline constexpr wchar_t kIndexing[] = L"indexing";
inline constexpr wchar_t kRequestNotificationsPermission[] = L"RequestNotificationsPermission";
inline constexpr wchar_t kEnableShowWindowsButton[] = L"EnableShowWindowsButton";
inline constexpr wchar_t kStartDeskbandOnly[] = L"StartDeskbandOnly";

}  // namespace QVSettings
