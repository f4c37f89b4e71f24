#pragma once

#include <windows.h>

#include <string>

// What an installer under test leaves behind for the end-to-end checks to read.
namespace qve2e {

// The user's local application data folder, where the platform installs.
std::wstring LocalAppData();

// The registry view the 64-bit Explorer and engine read on 64-bit Windows, whatever the bitness
// of the installer and of this test (32-bit Windows has only the one view).
constexpr REGSAM kPlatformView = KEY_WOW64_64KEY;

// A value of HKEY_CURRENT_USER as text, "<missing>" when there is none; `type` receives its type.
// Read in the platform's view.
std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type = nullptr);

}  // namespace qve2e
