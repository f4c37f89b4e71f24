#pragma once

#include <windows.h>

#include "foundation/owners/qv_com_ptr.h"
#include "shell/windows8/app_visibility.h"

// Windows 8's immersive UI (the Start screen, full-screen apps), watched through the system's
// application-visibility service: whether it covers the desktop, and, while started, every change
// of the Start screen's visibility forwarded to the deskband. One per process, used from one
// thread (COM initialised on it). Where the service does not exist (before Windows 8) the manager
// still starts, sees no modern UI and forwards nothing.
class Windows8Manager {
 public:
  static Windows8Manager& Instance();

  Windows8Manager(const Windows8Manager&) = delete;
  Windows8Manager& operator=(const Windows8Manager&) = delete;

  // Subscribes to visibility changes; a second start while started does nothing.
  void Start(HINSTANCE instance);
  // Ends the subscription, if started.
  void Stop();
  // The Start screen shows, or an immersive app shows on at least one monitor.
  bool IsModernUIVisible();

  bool IsStarted() const { return started_; }
  HINSTANCE ModuleInstance() const { return instance_; }

 private:
  Windows8Manager() = default;
  ~Windows8Manager();

  bool started_ = false;
  HINSTANCE instance_ = nullptr;
  QVComPtr<AppVisibility::IAppVisibility> visibility_;
  DWORD cookie_ = 0;
};
