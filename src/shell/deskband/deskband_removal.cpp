#include "shell/deskband/deskband_removal.h"

#include <windows.h>
#include <objbase.h>

#include "foundation/log/log.h"
#include "foundation/owners/com_initializer.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/deskband/qv_deskband_util.h"
#include "shell/deskband/taskbar_deskband.h"

namespace {

// The class the taskbar knows the platform's deskband by.
const CLSID kClsidPlatformDeskband = {0xDB5B5FAB, 0x8F4D, 0x4E27, {0x9D, 0xA1, 0x49, 0x4C, 0x73, 0xCF, 0x25, 0x6D}};

constexpr DWORD kRemovalMs = 5000;
constexpr DWORD kRoundSleepMs = 500;
constexpr wchar_t kSource[] = L"RemoveDeskBandFromTaskBar: ";

}  // namespace

bool RemoveDeskBandFromTaskBar() {
  {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    if (QVDeskbandUtil::GetDeskBandHWND()) {
      // Only wanted while there is a deskband to take down: an uninstaller without one does not
      // pay for the lookup (which Wine, for a class nobody registered, makes in seconds). Absent
      // before Windows 7: the command to the deskband window alone has to do. Every call into
      // Explorer and every command is bounded, so a hung Explorer or deskband costs at most one
      // call's limit beyond the rounds.
      TaskbarDeskBand tray(kSource);
      const bool haveTray = tray.Create();
      const DWORD start = GetTickCount();
      do {
        if (GetTickCount() - start >= kRemovalMs) break;
        if (haveTray) tray.HideDeskBand(kClsidPlatformDeskband);
        if (const HWND deskband = QVDeskbandUtil::GetDeskBandHWND()) {
          SendDeskbandCommand(deskband, 0, kDeskbandCommandClose, std::wstring(), nullptr, std::wstring(), 0);
        }
        Sleep(kRoundSleepMs);
      } while (QVDeskbandUtil::GetDeskBandHWND());
    }
  }

  if (QVDeskbandUtil::GetDeskBandHWND()) {
    Log::Stream() << kSource << L"couldn't close deskband";
  }
  return true;
}
