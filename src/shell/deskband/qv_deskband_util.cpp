#include "shell/deskband/qv_deskband_util.h"

#include <windows.h>
#include <atomic>
#include <commctrl.h>
#include <cwchar>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/log/log.h"
#include "foundation/os/guid_text.h"
#include "foundation/os/shell_execute.h"
#include "foundation/os/system_program.h"
#include "foundation/owners/qv_com_ptr.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "shell/deskband/deskband_classes.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/deskband/taskbar_deskband.h"

namespace {

constexpr wchar_t kLoadInstalledClsidSource[] = L"QVDeskbandUtil::LoadInstalledCLSID: ";
constexpr wchar_t kRegisterIfRequiredSource[] = L"QVDeskbandUtil::RegisterIfRequired: ";
constexpr wchar_t kGetDeskBandDllPathSource[] = L"QVDeskbandUtil::GetDeskBandDllPath: ";
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\CLSID";
// Explorer reads the 64-bit view on 64-bit Windows, whatever our own word size. Every open names
// the view: WOW64 does not carry it over from a parent key, so a subkey opened below a 64-bit
// handle without the flag is looked for in the 32-bit view (CLSID is redirected from Windows 7
// on, under HKEY_CURRENT_USER as well).
constexpr REGSAM kReadAccess64 = KEY_READ | KEY_WOW64_64KEY;
constexpr REGSAM kBuildKeyAccess64 = KEY_READ | KEY_WRITE | KEY_WOW64_64KEY;
constexpr DWORD kRegsvr32WaitMs = 10000;

// The registered build, guarded by g_classLock; `g_loaded` is also read without the lock.
QVCritSec g_classLock;
std::atomic<bool> g_loaded{false};
CLSID g_classId = {};
int g_number = -1;

// The remembered build's number, searched for first when none is remembered; -1 when none is
// registered.
int InstalledNumber() {
  if (!g_loaded.load(std::memory_order_acquire) && !QVDeskbandUtil::LoadInstalledCLSID()) return -1;
  return g_number;
}

}  // namespace

bool QVDeskbandUtil::LoadInstalledCLSID() {
  QVCritLock lock(&g_classLock);
  if (g_loaded.load(std::memory_order_relaxed)) return true;

  QVRegKey classes;
  if (classes.open(HKEY_CURRENT_USER, kClassesKey, kReadAccess64) == ERROR_SUCCESS) {
    for (int number = 0; number < kDeskbandBuildCount; ++number) {
      const std::wstring text = QVOS::guidToString(DeskbandClassId(number));
      QVRegKey build;
      if (build.open(classes.get(), text.c_str(), kBuildKeyAccess64) != ERROR_SUCCESS) continue;
      g_classId = DeskbandClassId(number);
      g_number = number;
      g_loaded.store(true, std::memory_order_release);
      Log::Stream() << kLoadInstalledClsidSource << text;
      return true;
    }
  }

  Log::Stream() << kLoadInstalledClsidSource << L"NOT FOUND";
  g_classId = CLSID();
  g_number = -1;
  g_loaded.store(false, std::memory_order_release);
  return false;
}

bool QVDeskbandUtil::IsRegisteredMachineWide() {
  if (!LoadInstalledCLSID()) return false;
  const std::wstring path = std::wstring(kClassesKey) + L"\\" + QVOS::guidToString(g_classId);
  QVRegKey key;
  return key.open(HKEY_LOCAL_MACHINE, path.c_str(), kReadAccess64) == ERROR_SUCCESS;
}

bool QVDeskbandUtil::RegisterIfRequired(bool force) {
  if (!force && LoadInstalledCLSID()) {
    Log::Stream() << kRegisterIfRequiredSource << L"already registered";
    return true;
  }

  const std::wstring fileName =
      QVSettings::getString(QVSettings::kRegisterDeskbandFilename, std::wstring(), false);
  if (fileName.empty()) {
    Log::Stream() << kRegisterIfRequiredSource
                  << L"RegisterDeskbandFilename not present in registry";
    return false;
  }

  const std::wstring library = QVPaths::getFilePath(PathKind::InstallDir, fileName, false);
  if (library.empty()) {
    Log::Stream() << kRegisterIfRequiredSource << L"installation directory not found";
    return false;
  }
  const std::wstring parameters = L"/s \"" + library + L"\"";
  // The system directory's regsvr32.exe: under WoW64 the 32-bit one, which hands a 64-bit library
  // on to the 64-bit regsvr32 by itself.
  const std::wstring regsvr32 = QVOS::systemProgramPath(L"regsvr32.exe");
  ScopedHandle process;
  if (!regsvr32.empty()) {
    QVOS::ShellExecuteOptions options;
    options.process = &process;
    QVOS::shellExecute(regsvr32, parameters, options);
  }
  if (!process) {
    const DWORD error = GetLastError();
    Log::Stream() << kRegisterIfRequiredSource << L"(err: " << error << L") "
                  << L"failed to execute regsvr32.exe with: " << parameters;
    return false;
  }
  // The exit code says nothing the registry does not: the search below decides.
  WaitForSingleObject(process.get(), kRegsvr32WaitMs);
  process.reset();

  {
    QVCritLock lock(&g_classLock);
    g_loaded.store(false, std::memory_order_release);
  }
  if (LoadInstalledCLSID()) {
    Log::Stream() << kRegisterIfRequiredSource << L"success";
    return true;
  }
  Log::Stream() << kRegisterIfRequiredSource << L"registration failed";
  return false;
}

std::wstring QVDeskbandUtil::GetDeskBandDllPath() {
  const int number = InstalledNumber();
  const std::wstring path =
      QVPaths::getFilePath(PathKind::InstallDir, DeskbandLibraryFileName(number < 0 ? 0 : number), false);
  if (path.empty()) {
    Log::Stream() << kGetDeskBandDllPathSource << L"installation directory not found";
    return std::wstring();
  }
  if (QVPaths::fileExists(path)) {
    Log::Stream() << kGetDeskBandDllPathSource << path;
    return path;
  }
  Log::Stream() << kGetDeskBandDllPathSource << L"could not find deskband at " << path;
  return std::wstring();
}

CLSID QVDeskbandUtil::InstalledClassId() {
  if (!g_loaded.load(std::memory_order_acquire)) LoadInstalledCLSID();
  return g_classId;
}

namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";
constexpr wchar_t kDeskbandClass[] = L"TovinDeskBandClass2";
// Longer than either class name, so a longer name never compares equal by truncation.
constexpr int kClassNameCapacity = 64;

// The last deskband window found; only the installer's or rundll32's one thread uses it.
HWND g_deskbandWindow = nullptr;

bool ClassNameIs(HWND window, const wchar_t* name, bool ignoreCase) {
  wchar_t className[kClassNameCapacity] = {};
  if (GetClassNameW(window, className, kClassNameCapacity) == 0) return false;
  return (ignoreCase ? _wcsicmp(className, name) : wcscmp(className, name)) == 0;
}

struct ClassSearch {
  const wchar_t* name;
  HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<ClassSearch*>(lParam);
  if (!ClassNameIs(window, search->name, false)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND QVDeskbandUtil::FindTrayWindow() {
  ClassSearch search = {kTrayClass, nullptr};
  EnumWindows(MatchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND QVDeskbandUtil::GetDeskBandHWND() {
  if (g_deskbandWindow) {
    // Explorer may have recreated the band; a handle value can be reused by another window.
    if (IsWindow(g_deskbandWindow) && ClassNameIs(g_deskbandWindow, kDeskbandClass, true)) {
      return g_deskbandWindow;
    }
    Log::Stream() << L"QVDeskbandUtil::GetDeskBandHWND: " << L"deskband window handle changed";
    g_deskbandWindow = nullptr;
  }

  // Without a taskbar there is nothing to search: a null parent would search the top level.
  const HWND tray = FindTrayWindow();
  ClassSearch search = {kDeskbandClass, nullptr};
  if (tray) EnumChildWindows(tray, MatchClass, reinterpret_cast<LPARAM>(&search));
  g_deskbandWindow = search.found;
  return g_deskbandWindow;
}

bool QVDeskbandUtil::GetBandIndex(int* index, int* count) {
  const HWND deskband = GetDeskBandHWND();
  if (!deskband) return false;
  const HWND container = GetParent(deskband);
  if (!container) return false;
  // RB_GETBANDINFOW carries a pointer that Windows does not marshal: a container in another
  // process (Explorer's taskbar) would read and write that address in its own memory.
  DWORD owner = 0;
  GetWindowThreadProcessId(container, &owner);
  if (owner != GetCurrentProcessId()) {
    Log::Stream() << L"QVDeskbandUtil::GetBandIndex: " << L"band container belongs to another process";
    return false;
  }

  const int bands = static_cast<int>(SendMessageW(container, RB_GETBANDCOUNT, 0, 0));
  if (count) *count = bands;
  *index = -1;
  for (int band = 0; band < bands; ++band) {
    REBARBANDINFOW info = {};
    info.cbSize = REBARBANDINFOW_V3_SIZE;
    info.fMask = RBBIM_CHILD | RBBIM_ID;
    if (!SendMessageW(container, RB_GETBANDINFOW, band, reinterpret_cast<LPARAM>(&info))) continue;
    if (info.hwndChild != deskband) continue;
    *index = static_cast<int>(SendMessageW(container, RB_IDTOINDEX, info.wID, 0));
    return true;
  }
  return false;
}

int QVDeskbandUtil::SendCommand(int command, const std::wstring& text, uint64_t* result,
                                const std::wstring& secondText, int value) {
  return SendDeskbandCommand(GetDeskBandHWND(), 0, command, text, result, secondText, value);
}

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

  // Every call into Explorer is bounded; one that goes unanswered ends the use of the taskbar
  // for this whole operation. A taskbar whose process ended is asked again in the next attempt,
  // as Explorer restarts and registers the object anew.
  TaskbarDeskBand tray(kSource);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Log::Stream() << kSource << L"attempt " << (attempt + 1);
    tray.AskAgainIfGone();

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

    if (!tray.Create()) {
      // A taskbar that stopped answering is left alone; one without the object (before
      // Windows 7) is told through the atom.
      if (!tray.Unanswered()) AnnounceThroughAtom(InstalledClassId());
      continue;
    }

    StartPromptHelper(&tray, library, attempt);

    const CLSID classId = InstalledClassId();
    const int calls = attempt == 0 ? kFirstAttemptShowCalls : 1;
    bool shown = false;
    for (int call = 0; call < calls && !shown; ++call) {
      shown = tray.ShowDeskBand(classId) == S_OK;
      if (!shown && attempt == 0 && !tray.Unanswered()) Sleep(kShowRetrySleepMs);
    }
    Log::Stream() << kSource << L"ITrayDeskBand::ShowDeskBand returned "
                  << (shown ? L"success" : L"failure");
  }

  Log::Stream() << kSource << L"failed";
  return false;
}
