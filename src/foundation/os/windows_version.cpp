#include "foundation/os/windows_version.h"

#include "foundation/log/log.h"

namespace QVOS {
namespace {

// Filled on the first call and kept for the process; only the installer's thread asks.
bool g_versionKnown = false;
WindowsVersion g_version = WindowsVersion::Unknown;
detail::VersionQuery g_query = nullptr;

// What the system is, whatever this process's manifest declares: ntdll's answer carries no
// compatibility shim. Looked up at run time; false where it cannot be had.
bool systemVersion(OSVERSIONINFOW* info) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(GetProcAddress(ntdll, "RtlGetVersion"));
  *info = OSVERSIONINFOW();
  info->dwOSVersionInfoSize = sizeof(*info);
  return rtlGetVersion && rtlGetVersion(info) == 0;
}

// The one line the first query writes.
void logVersion(const OSVERSIONINFOW& reported, WindowsVersion version) {
  Log::Stream line;
  line << L"QVOS::getWindowsVersion: " << reported.dwMajorVersion << L"." << reported.dwMinorVersion;
  const bool tenWithoutBuild = version == WindowsVersion::Win10 && reported.dwBuildNumber == 0;
  if (tenWithoutBuild) {
    line << L" without a build number";
  } else {
    line << L"." << reported.dwBuildNumber;
  }
  line << L"; WindowsVersion = " << static_cast<int>(version);

  // Windows 10 and 11 report 6.2 to a program that does not declare them; say so, since the
  // log otherwise reads like Windows 8.
  OSVERSIONINFOW system;
  if (version == WindowsVersion::Win8 && systemVersion(&system) && system.dwMajorVersion >= 10) {
    line << L" (Windows " << system.dwMajorVersion << L"." << system.dwMinorVersion << L"."
         << system.dwBuildNumber << L" without a manifest declaring it)";
  }
}

}  // namespace

namespace detail {

WindowsVersion windowsVersionFor(DWORD major, DWORD minor, DWORD build) {
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
  } else if (major == 10 && minor == 0) {
    // Without a build number the taskbar is taken to be one that still hosts deskbands.
    return build >= kFirstWindows11Build ? WindowsVersion::Win11 : WindowsVersion::Win10;
  }
  return WindowsVersion::Unknown;
}

bool queryVersion(OSVERSIONINFOW* info) {
  static_assert(sizeof(OSVERSIONINFOW) == 276, "GetVersionExW takes the 276-byte record");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(info) != FALSE;
#pragma GCC diagnostic pop
}

VersionQuery setVersionQuery(VersionQuery query) {
  const VersionQuery previous = g_query;
  g_query = query;
  g_versionKnown = false;
  g_version = WindowsVersion::Unknown;
  return previous;
}

}  // namespace detail

WindowsVersion getWindowsVersion() {
  if (g_versionKnown) return g_version;

  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if ((g_query ? g_query : detail::queryVersion)(&info)) {
    g_version = detail::windowsVersionFor(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    logVersion(info, g_version);
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
    case WindowsVersion::Win10: return L"Win10";
    case WindowsVersion::Win11: return L"Win11";
    case WindowsVersion::Unknown: break;
  }
  return L"Unknown";
}

}  // namespace QVOS
