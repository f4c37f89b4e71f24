#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/message_wait.h"
#include "foundation/owners/scoped_handle.h"
#include "shell/deskband_release/deskband_release.h"
#include "shell/deskband_release/deskband_release_hook.h"

namespace {

constexpr wchar_t kSource[] = L"RunFreeDeskbandW: ";
// Bounds the wait on a hung Explorer; a responsive one answers long before.
constexpr UINT kTaskbarReplyTimeoutMs = 5000;
constexpr DWORD kReleaseWaitMs = 1000;

void FreeDeskband() {
  const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  ScopedHandle released(CreateEventW(nullptr, TRUE, FALSE, kFreeDeskbandEventName));
  QVDeskbandReleaseHook hook;
  Log::Stream() << kSource << L"hook ready";

  // Explorer's taskbar thread runs the hook procedure before it handles the message.
  DWORD_PTR reply = 0;
  SendMessageTimeoutW(taskbar, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTaskbarReplyTimeoutMs, &reply);

  // A thread that has installed a hook must keep handling messages: Windows may route calls of
  // the hook procedure to it (a 32-bit hook and 64-bit processes), and every thread waiting on
  // those would stall meanwhile.
  switch (QVOS::waitPumpingMessages(released.get(), kReleaseWaitMs)) {
    case WAIT_OBJECT_0:
      Log::Stream() << kSource << L"success event signalled";
      break;
    case WAIT_TIMEOUT:
      Log::Stream() << kSource << L"success event timed out";
      break;
    default:
      break;
  }
}

}  // namespace

// rundll32.exe "<path>\qvnsis.dll",RunFreeDeskbandW
QVNSIS_RUNDLL_EXPORT void RunFreeDeskbandW(HWND /*window*/, HINSTANCE /*instance*/,
                                           wchar_t* /*commandLine*/, int /*show*/) {
  GuardedExport(__func__, [&] { FreeDeskband(); });
}
