#include "shell/deskband/deskband_removal.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include "foundation/log/log.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/qv_com_ptr.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/deskband/qv_deskband_util.h"

namespace {

// Spelled out here so this depends on no import library's list of identifiers.
const CLSID kClsidTrayDeskBand = {0xE6442437, 0x6C68, 0x4F52, {0x94, 0xDD, 0x2C, 0xFE, 0xD2, 0x67, 0xEF, 0xB9}};
const IID kIidTrayDeskBand = {0x6D67E846, 0x5B9C, 0x4DB8, {0x9C, 0xBC, 0xDD, 0xE1, 0x2F, 0x42, 0x54, 0xF1}};
// The class the taskbar knows the platform's deskband by.
const CLSID kClsidPlatformDeskband = {0xDB5B5FAB, 0x8F4D, 0x4E27, {0x9D, 0xA1, 0x49, 0x4C, 0x73, 0xCF, 0x25, 0x6D}};

constexpr DWORD kRemovalMs = 5000;
constexpr DWORD kRoundSleepMs = 500;

}  // namespace

bool RemoveDeskBandFromTaskBar() {
  {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    if (QVDeskbandUtil::GetDeskBandHWND()) {
      // Only wanted while there is a deskband to take down: an uninstaller without one does not
      // pay for the lookup (which Wine, for a class nobody registered, makes in seconds). Absent
      // before Windows 7: the command to the deskband window alone has to do. Released before
      // COM is uninitialised.
      QVComPtr<ITrayDeskBand> tray;
      if (FAILED(CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand, tray.putVoid()))) {
        tray.reset();
      }
      const DWORD start = GetTickCount();
      do {
        if (GetTickCount() - start >= kRemovalMs) break;
        if (tray) tray->HideDeskBand(kClsidPlatformDeskband);
        if (const HWND deskband = QVDeskbandUtil::GetDeskBandHWND()) {
          SendDeskbandCommand(deskband, 0, kDeskbandCommandClose, std::wstring(), nullptr, std::wstring(), 0);
        }
        Sleep(kRoundSleepMs);
      } while (QVDeskbandUtil::GetDeskBandHWND());
    }
  }

  if (QVDeskbandUtil::GetDeskBandHWND()) {
    Log::Stream() << L"RemoveDeskBandFromTaskBar: couldn't close deskband";
  }
  return true;
}
