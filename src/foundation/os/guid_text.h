#pragma once

#include <windows.h>

#include <string>

namespace QVOS {

// The registry form of a GUID: 38 characters, upper-case hexadecimal in braces.
std::wstring guidToString(const GUID& guid);

}  // namespace QVOS
