#pragma once

#include <string>

// Folders the system keeps for the user. Each is empty on any failure.
namespace QVPaths {

// The shell folder of a CSIDL number (CSIDL_LOCAL_APPDATA, 28, for instance), through
// SHGetFolderPathW (no SHGetKnownFolderPath: the product loads on XP).
std::wstring getKnownFolderPath(int csidl);

// The current user's profile directory, from the process token.
std::wstring getUserProfileDir();

// The user's temporary directory with the trailing backslash the system gives it.
std::wstring getTempDir();

}  // namespace QVPaths
