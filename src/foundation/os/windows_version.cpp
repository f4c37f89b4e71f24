#include "foundation/os/windows_version.h"

#include "foundation/log/log.h"

namespace QVOS {
namespace {

// Filled on the first call and kept for the process; only the installer's thread asks.
bool g_versionKnown = false;
WindowsVersion g_version = WindowsVersion::Unknown;

}  // namespace

namespace detail {

WindowsVersion windowsVersionFor(DWORD major, DWORD minor) {
  if (major == 4) {
    switch (minor) {
      case 0: return WindowsVersion::Win95;
      case 10: return WindowsVersion::Win98;
      case 90: return WindowsVersion::WinME;
    }
  } else if (major == 5) {
    switch (minor) {
      case 0: return WindowsVersion::Win2K;
      case 1: return WindowsVersion::WinXP;
    }
  } else if (major == 6) {
    switch (minor) {
      case 0: return WindowsVersion::WinVista;
      case 1: return WindowsVersion::Win7;
      case 2: return WindowsVersion::Win8;
      case 3: return WindowsVersion::Win81;
    }
  }
  return WindowsVersion::Unknown;
}

}  // namespace detail

WindowsVersion getWindowsVersion() {
  if (g_versionKnown) return g_version;

  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  static_assert(sizeof(OSVERSIONINFOW) == 276, "GetVersionExW takes the 276-byte record");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL ok = GetVersionExW(&info);
#pragma GCC diagnostic pop
  if (ok) {
    g_version = detail::windowsVersionFor(info.dwMajorVersion, info.dwMinorVersion);
    Log::Stream() << L"QVOS::getWindowsVersion: " << info.dwMajorVersion << L"." << info.dwMinorVersion
                  << L"." << info.dwBuildNumber << L"; WindowsVersion = " << static_cast<int>(g_version);
  } else {
    g_version = WindowsVersion::Unknown;
    Log::Stream() << L"QVOS::getWindowsVersion: GetVersionEx failed";
  }
  g_versionKnown = true;
  return g_version;
}

const wchar_t* windowsVersionName(WindowsVersion version) {
  switch (version) {
    case WindowsVersion::Win95: return L"Win95";
    case WindowsVersion::Win98: return L"Win98";
    case WindowsVersion::WinME: return L"WinME";
    case WindowsVersion::Win2K: return L"Win2K";
    case WindowsVersion::WinXP: return L"WinXP";
    case WindowsVersion::WinVista: return L"WinVista";
    case WindowsVersion::Win7: return L"Win7";
    case WindowsVersion::Win8: return L"Win8";
    case WindowsVersion::Win81: return L"Win8.1";
    case WindowsVersion::Unknown: break;
  }
  return L"Unknown";
}

}  // namespace QVOS
