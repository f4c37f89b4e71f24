#pragma once

#include <windows.h>

// The Windows releases the library tells apart. Callers compare the numbers: a release later
// than Windows XP is greater than WinXP, Vista and later are at least WinVista.
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
  Win10 = 10,
  Win11 = 11,
};

// The running release, asked once per process; the answer is logged the first time. It is what
// the system is, whatever the calling program's manifest declares: GetVersionEx tells a program
// that does not declare Windows 8.1, 10 or 11 that it runs on Windows 8 (6.2), and every
// decision taken on the release (the Windows 11 taskbar, the Windows 8 Start screen) would then
// follow the wrong one.
WindowsVersion getWindowsVersion();

// "Unknown", "Win95", ..., "Win8.1", "Win10", "Win11".
const wchar_t* windowsVersionName(WindowsVersion version);

namespace detail {

// Windows 11 still reports 10.0; its builds start here.
constexpr DWORD kFirstWindows11Build = 22000;

// The release for the numbers the system reports; Unknown for any other. The build tells
// 10.0 apart only: below kFirstWindows11Build, or 0 (no build number), it is Windows 10.
WindowsVersion windowsVersionFor(DWORD major, DWORD minor, DWORD build);

// Fills the record's version numbers; false when the query fails.
using VersionQuery = bool (*)(OSVERSIONINFOW* info);

// The system's own answer: ntdll's RtlGetVersion, which no compatibility shim changes, looked up
// at run time; GetVersionExW only where ntdll has none (it tells the truth on every release
// without one).
bool queryVersion(OSVERSIONINFOW* info);

// Replaces the query getWindowsVersion makes and forgets the answer it keeps, so the next call
// asks afresh; for tests of what Wine cannot report (a Windows 11 build, a failing query). Null
// restores the real one; returns the previous one.
VersionQuery setVersionQuery(VersionQuery query);

}  // namespace detail

}  // namespace QVOS
