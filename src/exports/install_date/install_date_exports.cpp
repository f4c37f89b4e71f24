#include <windows.h>
#include <shlobj.h>

#include <ctime>

#include "exports/caller_buffer.h"
#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/local_date.h"
#include "foundation/os/windows_version.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "foundation/settings/settings_names.h"

namespace {

constexpr wchar_t kSource[] = L"QVNSIS_SetInstallDate: ";
struct InstallDate {
  std::wstring text;
  int64_t seconds = -1;
};

// The day of first install: the creation date of an installation directory that already exists
// (a reinstall keeps its history), otherwise today and now.
InstallDate FindInstallDate() {
  const std::wstring installDir = QVPaths::getPath(PathKind::InstallDir, Expansion::kExpanded);
  InstallDate date;
  if (!installDir.empty() && QVPaths::directoryExists(installDir)) {
    date.text = QVPaths::getFileCreationDate(installDir);
    date.seconds = QVDate::localMidnightSeconds(date.text);
    Log::Stream() << kSource << L"got install date from existing directory " << installDir;
  } else {
    date.text = QVDate::todayText();
    date.seconds = static_cast<int64_t>(std::time(nullptr));
    Log::Stream() << kSource << L"got install date from system";
  }
  return date;
}

// ERROR_SUCCESS when a date is recorded afterwards; else why not.
DWORD SetInstallDate() {
  // The key first: on a first install it does not exist yet, and the client identifier
  // generated below could not be stored in it.
  QVRegKey key;
  const LONG opened = key.create(HKEY_CURRENT_USER, QVSettings::kKeyPath, QVSettings::kKeyAccess);
  QVPaths::getClientId(true);

  const std::wstring recorded = QVSettings::getInstallDate();
  if (!recorded.empty()) {
    Log::Stream() << kSource << L"install date is already set";
    if (QVSettings::getInstallDate2() == 0) {
      const int64_t seconds = QVDate::localMidnightSeconds(recorded);
      const bool written = key.setQword(QVSettings::kInstallDate2, static_cast<uint64_t>(seconds));
      Log::Stream() << kSource << L"added UTC install date";
      if (!written) return opened != ERROR_SUCCESS ? static_cast<DWORD>(opened) : ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
  }

  const InstallDate date = FindInstallDate();
  Log::Stream() << kSource << L"storing install date of " << date.text << L" / "
                << static_cast<long long>(date.seconds);
  const bool text = key.setString(QVSettings::kInstallDate, date.text);
  const bool seconds = key.setQword(QVSettings::kInstallDate2, static_cast<uint64_t>(date.seconds));
  if (!text || !seconds)
    return opened != ERROR_SUCCESS ? static_cast<DWORD>(opened) : ERROR_CANTWRITE;
  // The folder's creation date could not be read: the empty date stored counts as none, and
  // the next call records one.
  if (date.text.empty()) return ERROR_INVALID_DATA;
  return ERROR_SUCCESS;
}

// Lower-cases A to Z only, as the classic locale does: the folder names stay byte-comparable.
std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

// The XP form: the local application-data folder with the profile replaced by its placeholder,
// so the text still names the right folder for whichever user runs the installer.
std::wstring XpInstallDir() {
  const std::wstring local = LowerAscii(QVPaths::getKnownFolderPath(CSIDL_LOCAL_APPDATA));
  if (local.empty()) return std::wstring();
  const std::wstring profile = LowerAscii(QVPaths::getUserProfileDir());
  if (profile.empty()) return std::wstring();

  std::wstring text;
  size_t start = 0;
  for (size_t found; (found = local.find(profile, start)) != std::wstring::npos;
       start = found + profile.size()) {
    text.append(local, start, found - start);
    text += L"%USERPROFILE%";
  }
  text.append(local, start, std::wstring::npos);
  return text + L"\\Tovin";
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_SetInstallDate() {
  GuardedStatusExport(__func__, [&] { return SetInstallDate(); });
}

QVNSIS_EXPORT void QVNSIS_GetInstallDir(wchar_t* buffer, int size) {
  FillCallerBuffer(__func__, buffer, size, [] {
    CallerText dir;
    dir.text = QVOS::getWindowsVersion() > QVOS::WindowsVersion::WinXP
                   ? std::wstring(L"%LOCALAPPDATA%\\Tovin")
                   : XpInstallDir();
    // No folder to name (XP without its folders).
    if (dir.text.empty()) dir.status = ERROR_PATH_NOT_FOUND;
    return dir;
  });
}
