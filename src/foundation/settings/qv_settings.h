#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/settings/expansion.h"

#include "foundation/settings/settings_names.h"

// Typed access to the platform's settings key, HKEY_CURRENT_USER "SOFTWARE\Tovin", through the
// process-wide handle of settings_key.h. When the key cannot be opened every read gives its
// default and every write gives false. Nothing here logs or throws (but for memory exhaustion).
namespace QVSettings {

// The value when it is a REG_DWORD of at most 4 bytes, else `defaultValue`.
uint32_t getDword(const wchar_t* name, uint32_t defaultValue);
// Writes a REG_DWORD. True on success.
bool setDword(const wchar_t* name, uint32_t value);

// The value's data as text up to its first NUL, whatever its type; a REG_EXPAND_SZ value is
// returned through QVPaths::expandEnvironment when `expansion` asks for it. `defaultValue` when
// the value cannot be read.
std::wstring getString(const wchar_t* name, const std::wstring& defaultValue, Expansion expansion);
// Writes a REG_SZ. True on success.
bool setString(const wchar_t* name, const std::wstring& value);
// The same write into a key the caller holds open; false when `key` is null.
bool setStringIn(HKEY key, const wchar_t* name, const std::wstring& value);

// "MenuEnabled" (default 1) is exactly 1. An absent key or value counts as enabled.
bool isMenuEnabled();
// "InstallMode" (default 0) is exactly 1.
bool isInstallMode();

// "InstallDate", unexpanded; empty when missing.
std::wstring getInstallDate();
// "InstallDate2" when it is a REG_QWORD of at most 8 bytes; 0 otherwise.
uint64_t getInstallDate2();

}  // namespace QVSettings
