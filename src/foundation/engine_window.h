#pragma once

#include <windows.h>

namespace QVPaths {

// The engine's class name, "TOVIN_CLASS".
inline constexpr wchar_t kEngineWindowClass[] = L"TOVIN_CLASS";

// The running engine's top-level window (class "TOVIN_CLASS", any title), or null.
HWND findEngineWindow();

}  // namespace QVPaths
