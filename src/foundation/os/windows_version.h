#pragma once

#include <windows.h>

// The Windows releases the library tells apart. Callers compare the numbers: a release later
// than Windows XP is greater than WinXP.
namespace QVOS {

enum class WindowsVersion : int {
  Unknown = 0,
  Win95 = 1,
  Win98 = 2,
  WinME = 3,
  Win2K = 4,
  WinXP = 5,
  WinVista = 6,
  Win7 = 7,
  Win8 = 8,
  Win81 = 9,
};

// The running release, asked once per process; the answer is logged the first time.
WindowsVersion getWindowsVersion();

// "Unknown", "Win95", ..., "Win8.1".
const wchar_t* windowsVersionName(WindowsVersion version);

namespace detail {

// The release for a major.minor pair as GetVersionEx reports it; Unknown for any other.
WindowsVersion windowsVersionFor(DWORD major, DWORD minor);

}  // namespace detail

}  // namespace QVOS
