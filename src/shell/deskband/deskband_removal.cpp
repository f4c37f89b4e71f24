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
const CLSID kClsidPlatformDeskband = {
    0xDB5B5FAB, 0x8F4D, 0x4E27, {0x9D, 0xA1, 0x49, 0x4C, 0x73, 0xCF, 0x25, 0x6D}};

constexpr DWORD kRemovalMs = 5000;
constexpr DWORD kRoundSleepMs = 500;
constexpr wchar_t kSource[] = L"RemoveDeskBandFromTaskBar: ";

}  // namespace

bool RemoveDeskBandFromTaskBar() {
  {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    if (QVDeskbandUtil::GetDeskBandHWND()) {
      // Only wanted while there is a deskband to take down: an uninstaller without one does not
      // pay for the lookup. Absent before Windows 7: the command to the deskband window alone has
      // to do. The 5 s hold everything, the taskbar object's creation and calls too, so a hung
      // Explorer or deskband window costs at most one command's limit beyond them; the first
      // round is always made, so the deskband window is asked even when the creation used them up.
      const DWORD start = GetTickCount();
      TaskbarDeskBand tray(kSource);
      const bool haveTray = tray.create();
      // What the Wine test bed lets a creation take beyond Windows's limit is not the rounds'.
      const DWORD created = GetTickCount() - start;
      const DWORD budget = kRemovalMs + (created > TaskbarDeskBand::kCreateTimeoutMs
                                             ? created - TaskbarDeskBand::kCreateTimeoutMs
                                             : 0);
      auto left = [&]() -> DWORD {
        const DWORD elapsed = GetTickCount() - start;
        return elapsed >= budget ? 0 : budget - elapsed;
      };
      for (;;) {
        if (haveTray) tray.hideDeskBand(kClsidPlatformDeskband, left());
        if (const HWND deskband = QVDeskbandUtil::GetDeskBandHWND()) {
          SendDeskbandCommand(deskband, 0, kDeskbandCommandClose, std::wstring(), nullptr,
                              std::wstring(), 0);
        }
        // A round whose wait takes the rest of the time is the last: the tick count can lag a
        // short Sleep, and rounds started on a last millisecond or two would each send again.
        const DWORD remaining = left();
        Sleep(remaining < kRoundSleepMs ? remaining : kRoundSleepMs);
        if (!QVDeskbandUtil::GetDeskBandHWND() || remaining <= kRoundSleepMs) break;
      }
    }
  }

  if (QVDeskbandUtil::GetDeskBandHWND()) {
    Log::Stream() << kSource << L"couldn't close deskband";
  }
  return true;
}
