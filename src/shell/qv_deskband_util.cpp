#include "shell/qv_deskband_util.h"

#include <atomic>

#include "foundation/guid_text.h"
#include "foundation/log.h"
#include "foundation/qv_crit_lock.h"
#include "foundation/qv_paths.h"
#include "foundation/qv_reg_key.h"
#include "foundation/qv_settings.h"
#include "foundation/scoped_handle.h"
#include "foundation/shell_execute.h"
#include "shell/deskband_classes.h"

namespace {

constexpr wchar_t kClassesKey[] = L"Software\\Classes\\CLSID";
// Explorer reads the 64-bit view on 64-bit Windows, whatever our own word size.
constexpr REGSAM kReadAccess64 = KEY_READ | KEY_WOW64_64KEY;
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

// regsvr32.exe in the system directory. Named by its full path: an elevated installer that let
// the search find it would run any regsvr32.exe planted beside itself or in its working directory.
std::wstring Regsvr32Path() {
  wchar_t directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  return path + L"regsvr32.exe";
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
      if (build.open(classes.get(), text.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS) continue;
      g_classId = DeskbandClassId(number);
      g_number = number;
      g_loaded.store(true, std::memory_order_release);
      Log::Stream() << L"QVDeskbandUtil::LoadInstalledCLSID: " << text;
      return true;
    }
  }

  Log::Stream() << L"QVDeskbandUtil::LoadInstalledCLSID: " << L"NOT FOUND";
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
    Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: " << L"already registered";
    return true;
  }

  const std::wstring fileName =
      QVSettings::getString(QVSettings::kRegisterDeskbandFilename, std::wstring(), false);
  if (fileName.empty()) {
    Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: "
                  << L"RegisterDeskbandFilename not present in registry";
    return false;
  }

  const std::wstring library = QVPaths::getFilePath(PathKind::InstallDir, fileName, false);
  if (library.empty()) {
    Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: " << L"installation directory not found";
    return false;
  }
  const std::wstring parameters = L"/s \"" + library + L"\"";
  const std::wstring regsvr32 = Regsvr32Path();
  ScopedHandle process;
  if (!regsvr32.empty()) process = QVOS::shellExecute(regsvr32, parameters);
  if (!process) {
    const DWORD error = GetLastError();
    Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: " << L"(err: " << error << L") "
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
    Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: " << L"success";
    return true;
  }
  Log::Stream() << L"QVDeskbandUtil::RegisterIfRequired: " << L"registration failed";
  return false;
}

std::wstring QVDeskbandUtil::GetDeskBandDllPath() {
  const int number = InstalledNumber();
  const std::wstring path =
      QVPaths::getFilePath(PathKind::InstallDir, DeskbandLibraryFileName(number < 0 ? 0 : number), false);
  if (path.empty()) {
    Log::Stream() << L"QVDeskbandUtil::GetDeskBandDllPath: " << L"installation directory not found";
    return std::wstring();
  }
  if (QVPaths::fileExists(path)) {
    Log::Stream() << L"QVDeskbandUtil::GetDeskBandDllPath: " << path;
    return path;
  }
  Log::Stream() << L"QVDeskbandUtil::GetDeskBandDllPath: " << L"could not find deskband at " << path;
  return std::wstring();
}

CLSID QVDeskbandUtil::InstalledClassId() {
  if (!g_loaded.load(std::memory_order_acquire)) LoadInstalledCLSID();
  return g_classId;
}
