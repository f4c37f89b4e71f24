#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
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

  switch (WaitForSingleObject(released.get(), kReleaseWaitMs)) {
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
  GuardedExport([&] {
    FreeDeskband();
  });
}
