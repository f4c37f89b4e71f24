#pragma once

#include <windows.h>

#include <string>

// The deskband's builds. Each build has its own class identifier; a build's position in the table
// is its number, which also names its library file.
inline constexpr int kDeskbandBuildCount = 5;

// The class identifier of build `number` (0 to 4).
const CLSID& DeskbandClassId(int number);

// "qvdeskband_<number>.dll".
std::wstring DeskbandLibraryFileName(int number);
