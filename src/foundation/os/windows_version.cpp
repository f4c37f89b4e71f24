#include "foundation/os/windows_version.h"

#include <atomic>

#include "foundation/log/log.h"

namespace QVOS {
namespace {

// Asked on the first call and kept for the process. Exports may run on any thread: the first
// answer published wins, and only its thread writes the line.
constexpr int kNotAsked = -1;
std::atomic<int> g_version{kNotAsked};
std::atomic<detail::VersionQuery> g_query{nullptr};

// The one line the first query writes.
void logVersion(const OSVERSIONINFOW& reported, WindowsVersion version) {
  Log::Stream line;
  line << L"QVOS::getWindowsVersion: " << reported.dwMajorVersion << L"."
       << reported.dwMinorVersion;
  const bool tenWithoutBuild = version == WindowsVersion::Win10 && reported.dwBuildNumber == 0;
  if (tenWithoutBuild) {
    line << L" without a build number";
  } else {
    line << L"." << reported.dwBuildNumber;
  }
  line << L"; WindowsVersion = " << static_cast<int>(version);
}

}  // namespace

namespace detail {

WindowsVersion windowsVersionFor(DWORD major, DWORD minor, DWORD build) {
  if (major == 4) {
    switch (minor) {
      case 0:
        return WindowsVersion::Win95;
      case 10:
        return WindowsVersion::Win98;
      case 90:
        return WindowsVersion::WinME;
    }
  } else if (major == 5) {
    switch (minor) {
      case 0:
        return WindowsVersion::Win2K;
      case 1:
        return WindowsVersion::WinXP;
    }
  } else if (major == 6) {
    switch (minor) {
      case 0:
        return WindowsVersion::WinVista;
      case 1:
        return WindowsVersion::Win7;
      case 2:
        return WindowsVersion::Win8;
      case 3:
        return WindowsVersion::Win81;
    }
  } else if (major == 10 && minor == 0) {
    // Without a build number the taskbar is taken to be one that still hosts deskbands.
    return build >= kFirstWindows11Build ? WindowsVersion::Win11 : WindowsVersion::Win10;
  }
  return WindowsVersion::Unknown;
}

bool queryVersion(OSVERSIONINFOW* info) {
  static_assert(sizeof(OSVERSIONINFOW) == 276, "both queries take the 276-byte record");
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  // ntdll is in every process and never unloaded: no reference of our own is needed.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  if (rtlGetVersion) return rtlGetVersion(info) == 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(info) != FALSE;
#pragma GCC diagnostic pop
}

VersionQuery setVersionQuery(VersionQuery query) {
  const VersionQuery previous = g_query.exchange(query);
  g_version.store(kNotAsked, std::memory_order_release);
  return previous;
}

}  // namespace detail

WindowsVersion getWindowsVersion() {
  const int known = g_version.load(std::memory_order_acquire);
  if (known != kNotAsked) return static_cast<WindowsVersion>(known);

  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  const detail::VersionQuery query = g_query.load();
  const bool answered = (query ? query : detail::queryVersion)(&info);
  const WindowsVersion version =
      answered
          ? detail::windowsVersionFor(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber)
          : WindowsVersion::Unknown;
  int expected = kNotAsked;
  if (!g_version.compare_exchange_strong(expected, static_cast<int>(version),
                                         std::memory_order_acq_rel)) {
    return static_cast<WindowsVersion>(expected);  // another thread answered first
  }
  if (answered) {
    logVersion(info, version);
  } else {
    Log::Stream() << L"QVOS::getWindowsVersion: GetVersionEx failed";
  }
  return version;
}

const wchar_t* windowsVersionName(WindowsVersion version) {
  switch (version) {
    case WindowsVersion::Win95:
      return L"Win95";
    case WindowsVersion::Win98:
      return L"Win98";
    case WindowsVersion::WinME:
      return L"WinME";
    case WindowsVersion::Win2K:
      return L"Win2K";
    case WindowsVersion::WinXP:
      return L"WinXP";
    case WindowsVersion::WinVista:
      return L"WinVista";
    case WindowsVersion::Win7:
      return L"Win7";
    case WindowsVersion::Win8:
      return L"Win8";
    case WindowsVersion::Win81:
      return L"Win8.1";
    case WindowsVersion::Win10:
      return L"Win10";
    case WindowsVersion::Win11:
      return L"Win11";
    case WindowsVersion::Unknown:
      break;
  }
  return L"Unknown";
}

}  // namespace QVOS
