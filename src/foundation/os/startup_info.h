#pragma once

#include <windows.h>

#include <string>

#include "foundation/os/windows_version.h"

namespace QVOS {

// The one-line description of the system that the installer logs when it starts:
//   Version: Win7 (64bit) - OS Language: en (0409) - UI Language: de (0407)
// "(64bit)" tells that Windows is 64-bit: true for every process of the 64-bit build, and for
// the 32-bit build when it runs under WOW64.
std::wstring getStartupInfo();

namespace detail {

// The description for the given facts; a language without an ISO 639 name is left out.
std::wstring describeSystem(WindowsVersion version, bool windows64, LANGID systemUiLanguage,
                            LANGID userUiLanguage);

}  // namespace detail

}  // namespace QVOS
