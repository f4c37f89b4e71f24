#pragma once

#include <windows.h>

#include <string>

// Registers the fake application-visibility service (qvappvisibility.dll beside the tests) under
// HKLM\Software\Classes\CLSID for the scope, so that CoCreateInstance of CLSID_AppVisibility finds
// it, as on Windows 8. Its state lives in the class key, where any process of the prefix sees it;
// changes reach advised sinks from the server's own thread. Records into `recordPath`:
//   Advise <cookie> | Unadvise <cookie> <HRESULT>
//   LauncherVisibilityChange <0|1> <sinks called>
//   AppVisibilityOnMonitorChanged <monitor number> <previous> <current> <sinks called>
namespace qvtest {

class ScopedAppVisibilityServer {
 public:
  explicit ScopedAppVisibilityServer(const std::wstring& recordPath);
  ~ScopedAppVisibilityServer();
  ScopedAppVisibilityServer(const ScopedAppVisibilityServer&) = delete;
  ScopedAppVisibilityServer& operator=(const ScopedAppVisibilityServer&) = delete;

  // The Start screen shows or not.
  void setLauncherVisible(bool visible) const;
  // Bit i: an immersive app shows on monitor i (in EnumDisplayMonitors order).
  void setAppVisibleMonitors(DWORD mask) const;
};

}  // namespace qvtest
