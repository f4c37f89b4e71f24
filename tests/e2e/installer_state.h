#pragma once

#include <windows.h>

#include <string>

// What an installer under test leaves behind for the end-to-end checks to read.
namespace qve2e {

// The user's local application data folder, where the platform installs.
std::wstring LocalAppData();

// A value of HKEY_CURRENT_USER as text, "<missing>" when there is none; `type` receives its type.
std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type = nullptr);

}  // namespace qve2e
