#include "shell/deskband/qv_deskband_util.h"

#include <windows.h>

#include <string>

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_crit_sec.h"
#include "foundation/log/log.h"
#include "foundation/os/guid_text.h"
#include "foundation/os/shell_execute.h"
#include "foundation/os/system_program.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "shell/deskband/deskband_classes.h"

// Which build of the deskband is registered for the user, and registering it.

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

// The registered build, read and written only under g_classLock (a thread's own nested use of
// the lock is allowed: the search runs inside it).
QVCritSec g_classLock;
bool g_loaded = false;
CLSID g_classId = {};
int g_number = -1;

// The remembered build's number, searched for first when none is remembered; -1 when none is
// registered.
int InstalledNumber() {
  QVCritLock lock(&g_classLock);
  if (!g_loaded && !QVDeskbandUtil::LoadInstalledCLSID()) return -1;
  return g_number;
}

}  // namespace

bool QVDeskbandUtil::LoadInstalledCLSID() {
  QVCritLock lock(&g_classLock);
  if (g_loaded) return true;

  QVRegKey classes;
  if (classes.open(HKEY_CURRENT_USER, kClassesKey, kReadAccess64) == ERROR_SUCCESS) {
    for (int number = 0; number < kDeskbandBuildCount; ++number) {
      const std::wstring text = QVOS::guidToString(DeskbandClassId(number));
      QVRegKey build;
      if (build.open(classes.get(), text.c_str(), kBuildKeyAccess64) != ERROR_SUCCESS) continue;
      g_classId = DeskbandClassId(number);
      g_number = number;
      g_loaded = true;
      Log::Stream() << kLoadInstalledClsidSource << text;
      return true;
    }
  }

  Log::Stream() << kLoadInstalledClsidSource << L"NOT FOUND";
  g_classId = CLSID();
  g_number = -1;
  g_loaded = false;
  return false;
}

bool QVDeskbandUtil::IsRegisteredMachineWide() {
  if (!LoadInstalledCLSID()) return false;
  const std::wstring path =
      std::wstring(kClassesKey) + L"\\" + QVOS::guidToString(InstalledClassId());
  QVRegKey key;
  return key.open(HKEY_LOCAL_MACHINE, path.c_str(), kReadAccess64) == ERROR_SUCCESS;
}

bool QVDeskbandUtil::RegisterIfRequired(bool force) {
  if (!force && LoadInstalledCLSID()) {
    Log::Stream() << kRegisterIfRequiredSource << L"already registered";
    return true;
  }

  const std::wstring fileName = QVSettings::getString(QVSettings::kRegisterDeskbandFilename,
                                                      std::wstring(), Expansion::kAsStored);
  if (fileName.empty()) {
    Log::Stream() << kRegisterIfRequiredSource
                  << L"RegisterDeskbandFilename not present in registry";
    return false;
  }

  const std::wstring library =
      QVPaths::getFilePath(PathKind::InstallDir, fileName, Expansion::kExpanded);
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
    Log::Stream() << kRegisterIfRequiredSource << Log::OsError{error}
                  << L"failed to execute regsvr32.exe with: " << parameters;
    return false;
  }
  // The exit code says nothing the registry does not: the search below decides.
  WaitForSingleObject(process.get(), kRegsvr32WaitMs);
  process.reset();

  {
    QVCritLock lock(&g_classLock);
    g_loaded = false;
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
  const std::wstring path = QVPaths::getFilePath(
      PathKind::InstallDir, DeskbandLibraryFileName(number < 0 ? 0 : number), Expansion::kExpanded);
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
  QVCritLock lock(&g_classLock);
  if (!g_loaded) LoadInstalledCLSID();
  return g_classId;
}
