#pragma once

#include <windows.h>

#include <string>

// Registers the fake taskbar deskband object (qvtraydeskband.dll beside the tests) under
// HKLM\Software\Classes\CLSID for the scope, so that CoCreateInstance of CLSID_TrayDeskBand
// finds it, as on Windows 7 and later. Its calls are recorded to `recordPath`, one line each:
//   ShowDeskBand | HideDeskBand | IsDeskBandShown <class id text> <HRESULT as 0xXXXXXXXX>
//   DeskBandRegistrationChanged <empty> <HRESULT>
// ShowDeskBand starts the band host for the library registered for the class (per user first)
// and answers S_OK once the band's window is below the taskbar; HideDeskBand closes it.
// setCallDelay makes every call wait first, as a hung Explorer would.
namespace qvtest {

class ScopedTrayDeskBandServer {
 public:
  explicit ScopedTrayDeskBandServer(const std::wstring& recordPath);
  ~ScopedTrayDeskBandServer();
  ScopedTrayDeskBandServer(const ScopedTrayDeskBandServer&) = delete;
  ScopedTrayDeskBandServer& operator=(const ScopedTrayDeskBandServer&) = delete;

  // Every later call of the object waits `ms` before it does anything.
  void setCallDelay(DWORD ms) const;
};

}  // namespace qvtest
