#include "shell/deskband/qv_deskband_util.h"

#include <windows.h>

#include <cwchar>
#include <objbase.h>
#include <shlobj.h>
#include <string>

#include "foundation/log/log.h"
#include "foundation/os/guid_text.h"
#include "foundation/os/system_program.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "shell/deskband/taskbar_deskband.h"

// Asking the taskbar to show the deskband: its prompt helper in Explorer, the taskbar object, and
// the attempts until the band's window exists.

namespace {

constexpr wchar_t kSource[] = L"QVDeskbandUtil::Show: ";
constexpr wchar_t kReadyEventName[] = L"TovinExplorerPromptHelperReadyEvent";
constexpr int kAttempts = 5;
constexpr int kLaterDetections = 10;
constexpr DWORD kDetectSleepMs = 500;
constexpr DWORD kReadyWaitMs = 5000;
constexpr int kFirstAttemptShowCalls = 5;
constexpr DWORD kShowRetrySleepMs = 500;
constexpr size_t kCommandLineCapacity = 2000;

// Windows before 7 have no ITrayDeskBand: Explorer loads the band when told of it through a
// global atom of its class text and SHLoadInProc.
void AnnounceThroughAtom(const CLSID& classId) {
  const std::wstring text = QVOS::guidToString(classId);
  if (!GlobalFindAtomW(text.c_str())) GlobalAddAtomW(text.c_str());
  SHLoadInProc(classId);
}

// Starts the deskband library's prompt helper inside its own rundll32.exe and, in the first two
// attempts, waits for it to report ready; tells the taskbar the registration changed.
void StartPromptHelper(TaskbarDeskBand* tray, const std::wstring& library, int attempt) {
  Log::Stream() << kSource << L"installing window hook";
  const std::wstring command =
      L"rundll32.exe " + QVPaths::quoteArgument(library) + L",RunExplorerPromptHelper";
  // The deskband library has the Windows's own bitness, so a 32-bit process on 64-bit Windows
  // starts the 64-bit rundll32.exe: the 32-bit one cannot load it.
  const std::wstring application = QVOS::nativeSystemProgramPath(L"rundll32.exe");
  ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, kReadyEventName));

  // A library path of ordinary length never comes near the buffer; a longer one is not cut short
  // into a different command but not started at all.
  PROCESS_INFORMATION process = {};
  bool started = false;
  if (command.size() < kCommandLineCapacity && !application.empty()) {
    wchar_t commandLine[kCommandLineCapacity] = {};
    wcsncpy(commandLine, command.c_str(), kCommandLineCapacity - 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    started = CreateProcessW(application.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process) != FALSE;
  }
  if (!started) {
    Log::Stream() << kSource << L"could not start ExplorerPromptHelper";
    return;
  }
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);

  Log::Stream() << kSource << L"notifying tray of deskband registration change";
  tray->deskBandRegistrationChanged();
  if (attempt < 2) {
    Log::Stream() << kSource << L"started ExplorerPromptHelper";
    const DWORD waited = WaitForSingleObject(ready.get(), kReadyWaitMs);
    Log::Stream() << kSource << L"TovinExplorerPromptHelperReadyEvent return = " << waited;
  }
}

}  // namespace

bool QVDeskbandUtil::Show() {
  const std::wstring library = GetDeskBandDllPath();
  if (library.empty()) return false;

  // Every call into Explorer is bounded; one that goes unanswered ends the use of the taskbar
  // for this whole operation. A taskbar whose process ended is asked again in the next attempt,
  // as Explorer restarts and registers the object anew.
  TaskbarDeskBand tray(kSource);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Log::Stream() << kSource << L"attempt " << (attempt + 1);
    tray.askAgainIfGone();

    // A show asked for in one attempt takes effect asynchronously: the next attempt's detection
    // is what sees it.
    const int detections = attempt == 0 ? 1 : kLaterDetections;
    for (int detect = 0; detect < detections; ++detect) {
      Log::Stream() << kSource << L"detect = " << detect;
      if (GetDeskBandHWND()) {
        Log::Stream() << kSource << L"GetDeskBandHWND returned a value";
        return true;
      }
      if (attempt > 0) {
        Log::Stream() << kSource << L"detect sleep";
        Sleep(kDetectSleepMs);
      }
    }
    Log::Stream() << kSource << L"could not detect deskband";

    if (!tray.create()) {
      // A taskbar that stopped answering is left alone; one without the object (before
      // Windows 7) is told through the atom.
      if (!tray.unanswered()) AnnounceThroughAtom(InstalledClassId());
      continue;
    }

    StartPromptHelper(&tray, library, attempt);

    const CLSID classId = InstalledClassId();
    const int calls = attempt == 0 ? kFirstAttemptShowCalls : 1;
    bool shown = false;
    for (int call = 0; call < calls && !shown; ++call) {
      shown = tray.showDeskBand(classId) == S_OK;
      if (!shown && attempt == 0 && !tray.unanswered()) Sleep(kShowRetrySleepMs);
    }
    Log::Stream() << kSource << L"ITrayDeskBand::ShowDeskBand returned "
                  << (shown ? L"success" : L"failure");
  }

  Log::Stream() << kSource << L"failed";
  return false;
}
