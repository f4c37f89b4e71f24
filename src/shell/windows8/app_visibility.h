#pragma once

#include <windows.h>
#include <unknwn.h>

// Windows 8's application-visibility service (shobjidl_core.h on newer SDKs), declared here so
// the library depends on no header's or import library's copy. Slot order after IUnknown is
// fixed by the system. Not in an anonymous namespace: with no implementation in sight GCC would
// prove the pure methods uncallable and drop the calls.
namespace AppVisibility {

// {7E5FE3D9-985F-4908-91F9-EE19F9FD1514}
constexpr CLSID kClsidAppVisibility = {
    0x7E5FE3D9, 0x985F, 0x4908, {0x91, 0xF9, 0xEE, 0x19, 0xF9, 0xFD, 0x15, 0x14}};
// {2246EA2D-CAEA-4444-A3C4-6DE827E44313}
constexpr IID kIidAppVisibility = {
    0x2246EA2D, 0xCAEA, 0x4444, {0xA3, 0xC4, 0x6D, 0xE8, 0x27, 0xE4, 0x43, 0x13}};
// {6584CE6B-7D82-49C2-89C9-C6BC02BA8C38}
constexpr IID kIidAppVisibilityEvents = {
    0x6584CE6B, 0x7D82, 0x49C2, {0x89, 0xC9, 0xC6, 0xBC, 0x02, 0xBA, 0x8C, 0x38}};

enum MonitorAppVisibility {
  kMavUnknown = 0,
  kMavNoAppVisible = 1,
  kMavAppVisible = 2,  // an immersive app shows on the monitor
};

struct IAppVisibilityEvents : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AppVisibilityOnMonitorChanged(
      HMONITOR monitor, MonitorAppVisibility previousMode, MonitorAppVisibility currentMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE LauncherVisibilityChange(BOOL currentVisibleState) = 0;
};

struct IAppVisibility : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetAppVisibilityOnMonitor(HMONITOR monitor,
                                                              MonitorAppVisibility* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsLauncherVisible(BOOL* visible) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(IAppVisibilityEvents* callback, DWORD* cookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) = 0;
};

}  // namespace AppVisibility
