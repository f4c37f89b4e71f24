#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <string>

#include "foundation/guid_text.h"
#include "foundation/log.h"
#include "foundation/qv_com_ptr.h"
#include "foundation/qv_paths.h"
#include "foundation/scoped_handle.h"
#include "shell/qv_deskband_util.h"

namespace {

// Spelled out here so this depends on no import library's list of identifiers.
const CLSID kClsidTrayDeskBand = {0xE6442437, 0x6C68, 0x4F52, {0x94, 0xDD, 0x2C, 0xFE, 0xD2, 0x67, 0xEF, 0xB9}};
const IID kIidTrayDeskBand = {0x6D67E846, 0x5B9C, 0x4DB8, {0x9C, 0xBC, 0xDD, 0xE1, 0x2F, 0x42, 0x54, 0xF1}};

constexpr wchar_t kSource[] = L"QVDeskbandUtil::Show: ";
constexpr wchar_t kReadyEventName[] = L"TovinExplorerPromptHelperReadyEvent";
constexpr int kAttempts = 5;
constexpr int kLaterDetections = 10;
constexpr DWORD kDetectSleepMs = 500;
constexpr DWORD kReadyWaitMs = 5000;
constexpr int kFirstAttemptShowCalls = 5;
constexpr DWORD kShowRetrySleepMs = 500;
constexpr size_t kCommandLineCapacity = 2000;

// The system's rundll32.exe by full path: a bare name would let the search find one planted
// beside an elevated installer.
std::wstring Rundll32Path() {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  return path + L"rundll32.exe";
}

// Windows before 7 have no ITrayDeskBand: Explorer loads the band when told of it through a
// global atom of its class text and SHLoadInProc.
void AnnounceThroughAtom(const CLSID& classId) {
  const std::wstring text = QVOS::guidToString(classId);
  if (!GlobalFindAtomW(text.c_str())) GlobalAddAtomW(text.c_str());
  SHLoadInProc(classId);
}

// Starts the deskband library's prompt helper inside its own rundll32.exe and, in the first two
// attempts, waits for it to report ready; tells the taskbar the registration changed.
void StartPromptHelper(ITrayDeskBand* tray, const std::wstring& library, int attempt) {
  Log::Stream() << kSource << L"installing window hook";
  const std::wstring command =
      L"rundll32.exe " + QVPaths::quoteArgument(library) + L",RunExplorerPromptHelper";
  const std::wstring application = Rundll32Path();
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
  tray->DeskBandRegistrationChanged();
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

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Log::Stream() << kSource << L"attempt " << (attempt + 1);

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

    QVComPtr<ITrayDeskBand> tray;
    if (FAILED(CoCreateInstance(kClsidTrayDeskBand, nullptr, CLSCTX_ALL, kIidTrayDeskBand,
                                tray.putVoid())) ||
        !tray) {
      AnnounceThroughAtom(InstalledClassId());
      continue;
    }

    StartPromptHelper(tray.get(), library, attempt);

    const CLSID classId = InstalledClassId();
    const int calls = attempt == 0 ? kFirstAttemptShowCalls : 1;
    bool shown = false;
    for (int call = 0; call < calls && !shown; ++call) {
      shown = tray->ShowDeskBand(classId) == S_OK;
      if (!shown && attempt == 0) Sleep(kShowRetrySleepMs);
    }
    tray.reset();
    Log::Stream() << kSource << L"ITrayDeskBand::ShowDeskBand returned "
                  << (shown ? L"success" : L"failure");
  }

  Log::Stream() << kSource << L"failed";
  return false;
}
