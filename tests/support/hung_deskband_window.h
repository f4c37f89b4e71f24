#pragma once

#include <windows.h>

#include "foundation/owners/scoped_handle.h"

namespace qvtest {

// A deskband window ("TovinDeskBandClass2" below the "Shell_TrayWnd" window) whose thread stops
// answering as soon as the window exists, as when Explorer's taskbar thread hangs. The thread
// answers again, and the window goes, when the object is destroyed.
class HungDeskbandWindow {
 public:
  HungDeskbandWindow();
  ~HungDeskbandWindow();
  HungDeskbandWindow(const HungDeskbandWindow&) = delete;
  HungDeskbandWindow& operator=(const HungDeskbandWindow&) = delete;

  HWND get() const { return window_; }

 private:
  static DWORD WINAPI ThreadMain(void* self);

  ScopedHandle created_;
  ScopedHandle answer_;
  ScopedHandle thread_;
  HWND window_ = nullptr;
};

}  // namespace qvtest
