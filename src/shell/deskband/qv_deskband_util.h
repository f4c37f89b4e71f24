#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The platform's taskbar deskband, which lives in its own COM library beside the engine: whether
// and which build of it is registered for the user, registering it with regsvr32.exe, its window
// inside the taskbar, asking the taskbar to show it, and its band's position there.
//
// Process-wide state: the registered build, found on the first successful search and kept (a
// failed search is repeated by the next call), read and written under one lock; and the last
// deskband window found, an atomic. One file per concern: deskband_registration.cpp (the build
// and regsvr32.exe), deskband_window.cpp (the window, its band, its commands), deskband_show.cpp
// (asking the taskbar to show it).
class QVDeskbandUtil {
 public:
  QVDeskbandUtil() = delete;

  // Finds the first build (lowest number) whose class is registered under HKCU
  // "Software\Classes\CLSID" in the 64-bit view, and remembers it.
  static bool LoadInstalledCLSID();

  // The remembered build's class is registered under HKEY_LOCAL_MACHINE too.
  static bool IsRegisteredMachineWide();

  // Runs regsvr32.exe on the library named by "RegisterDeskbandFilename" in the installation
  // directory, unless `force` is false and a build is already registered; then searches again.
  // Without an installation directory nothing is run.
  static bool RegisterIfRequired(bool force);

  // "<install dir>\qvdeskband_<number>.dll" of the registered build (build 0 when none is), or
  // empty when there is no installation directory or that file does not exist.
  static std::wstring GetDeskBandDllPath();

  // The top-level "Shell_TrayWnd" window, or null.
  static HWND FindTrayWindow();

  // The deskband's "TovinDeskBandClass2" window below the taskbar, or null. Cached.
  static HWND GetDeskBandHWND();

  // The position of the deskband's band among its container's bands; `count`, when given,
  // receives the number of bands. False, asking nothing, when the container belongs to another
  // process: its band records cannot be read from here.
  static bool GetBandIndex(int* index, int* count);

  // Asks the taskbar to show the deskband until its window exists; true once it does.
  static bool Show();

  // SendDeskbandCommand to the deskband window with wParam 0.
  static int SendCommand(int command, const std::wstring& text, uint64_t* result,
                         const std::wstring& secondText, int value);

 private:
  // The remembered class, searched for first when none is; zero when no build is registered.
  static CLSID InstalledClassId();
};
