#pragma once

#include <windows.h>

#include "shell/windows8/app_visibility.h"

class Windows8Manager;

// The sink through which the application-visibility service reports changes: every change of
// the Start screen's visibility goes on to the deskband as command 60. Reference counted
// atomically (COM may call AddRef and Release from other threads); it deletes itself at zero.
class MonitorModeEvents : public AppVisibility::IAppVisibilityEvents {
 public:
  // The deskband command that reports the Start screen: value 1 hidden, 0 shown.
  static constexpr int kStartScreenCommand = 60;

  // Starts with one reference, the creator's.
  explicit MonitorModeEvents(Windows8Manager* manager);

  MonitorModeEvents(const MonitorModeEvents&) = delete;
  MonitorModeEvents& operator=(const MonitorModeEvents&) = delete;

  // IUnknown and IAppVisibilityEvents only.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // No effect: only the Start screen is forwarded.
  HRESULT STDMETHODCALLTYPE
  AppVisibilityOnMonitorChanged(HMONITOR monitor, AppVisibility::MonitorAppVisibility previousMode,
                                AppVisibility::MonitorAppVisibility currentMode) override;
  HRESULT STDMETHODCALLTYPE LauncherVisibilityChange(BOOL visible) override;

 private:
  virtual ~MonitorModeEvents() = default;

  volatile LONG references_ = 1;
  Windows8Manager* manager_;
};
