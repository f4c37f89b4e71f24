#include "shell/explorer_registrations/platform_explorer_utils.h"

#include <windows.h>

#include "foundation/log/log.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/qv_paths.h"

namespace PlatformExplorerUtils {
namespace {

constexpr wchar_t kContextMenuSource[] = L"PlatformExplorerUtils::RegisterContextMenuHandlers";
constexpr wchar_t kProtocolSource[] = L"PlatformExplorerUtils::RegisterProtocolHandler";

// KEY_READ | KEY_WRITE (0x2001F).
constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;

constexpr wchar_t kDefaultMenuText[] = L"Add to Tovin menu";

// The verb keys, in the order they are written; each gets a "command" subkey.
constexpr const wchar_t* kVerbKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin",
    L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin",
};

constexpr wchar_t kProtocolKey[] = L"Software\\Classes\\tovin";
constexpr wchar_t kProtocolCommandKey[] = L"Software\\Classes\\tovin\\shell\\open\\command";
constexpr wchar_t kProtocolName[] = L"URL:Tovin Protocol";
constexpr wchar_t kUrlProtocolValue[] = L"URL Protocol";

// The engine, quoted so that an installation directory with spaces stays one argument, its
// environment variables left for Explorer to expand (the commands are REG_EXPAND_SZ). Empty when
// there is no engine to name: a command line without one would put a dead verb on every file
// and overwrite a working registration. A double quote cannot be in a Windows path, and inside
// the quotes it would end the engine's argument early and make the rest of the text arguments.
std::wstring QuotedEnginePath(const wchar_t* source, DWORD* status) {
  const std::wstring engine = QVPaths::getPath(PathKind::EngineExe, Expansion::kAsStored);
  if (engine.empty()) {
    Log::Stream() << source << L": installation directory not found";
    *status = ERROR_PATH_NOT_FOUND;
    return std::wstring();
  }
  if (engine.find(L'"') != std::wstring::npos) {
    Log::Stream() << source << L": engine path not usable in a command line: " << engine;
    *status = ERROR_INVALID_NAME;
    return std::wstring();
  }
  return L"\"" + engine + L"\"";
}

// Keeps the first failure of a registration, which goes on writing what it can.
void Note(DWORD* status, DWORD failure) {
  if (*status == ERROR_SUCCESS) *status = failure;
}

// Creates or opens `path` as the one key held, closing the one held before. On failure nothing
// is held, so no value can land in the previous key.
bool CreateKey(QVRegKey& key, const wchar_t* path, const wchar_t* source, DWORD* status) {
  key.reset();
  const LONG result = key.create(HKEY_CURRENT_USER, path, kKeyAccess);
  if (result == ERROR_SUCCESS) return true;
  Log::Stream() << source << L": " << Log::OsError{static_cast<unsigned long>(result)}
                << L"could not create key " << path;
  Note(status, static_cast<DWORD>(result));
  return false;
}

void ReportWrite(bool written, const wchar_t* source, const wchar_t* path, const wchar_t* name,
                 DWORD* status) {
  if (written) return;
  Log::Stream() << source << L": could not write value " << (name ? name : L"(default)")
                << L" of key " << path;
  Note(status, ERROR_CANTWRITE);
}

void WriteString(QVRegKey& key, const wchar_t* path, const wchar_t* name, const std::wstring& text,
                 const wchar_t* source, DWORD* status) {
  ReportWrite(key.setString(name, text), source, path, name, status);
}

void WriteExpandString(QVRegKey& key, const wchar_t* path, const wchar_t* name,
                       const std::wstring& text, const wchar_t* source, DWORD* status) {
  ReportWrite(key.setExpandString(name, text), source, path, name, status);
}

}  // namespace

DWORD RegisterContextMenuHandlers(const std::wstring& menuText) {
  Log::Stream() << kContextMenuSource << L": registering";
  DWORD status = ERROR_SUCCESS;
  const std::wstring engine = QuotedEnginePath(kContextMenuSource, &status);
  if (engine.empty()) return status;
  // No space before the quoted item: the engine reads the path glued to its switch.
  const std::wstring command = engine + L" /ADDFAVORITE\"%1\"";
  const std::wstring text = menuText.empty() ? std::wstring(kDefaultMenuText) : menuText;

  QVRegKey key;
  for (const wchar_t* verbKey : kVerbKeys) {
    if (CreateKey(key, verbKey, kContextMenuSource, &status)) {
      WriteString(key, verbKey, nullptr, text, kContextMenuSource, &status);
    }
    const std::wstring commandKey = std::wstring(verbKey) + L"\\command";
    if (CreateKey(key, commandKey.c_str(), kContextMenuSource, &status)) {
      WriteExpandString(key, commandKey.c_str(), nullptr, command, kContextMenuSource, &status);
    }
  }
  return status;
}

DWORD RegisterProtocolHandler() {
  Log::Stream() << kProtocolSource << L": registering";
  DWORD status = ERROR_SUCCESS;
  const std::wstring engine = QuotedEnginePath(kProtocolSource, &status);
  if (engine.empty()) return status;
  // The whole URL as the engine's one argument: quoted, so that a URL with a space in it
  // ("tovin:x /QUIT") cannot hand the engine switches of its own.
  const std::wstring command = engine + L" \"%1\"";

  QVRegKey key;
  if (CreateKey(key, kProtocolKey, kProtocolSource, &status)) {
    WriteString(key, kProtocolKey, nullptr, kProtocolName, kProtocolSource, &status);
    WriteString(key, kProtocolKey, kUrlProtocolValue, std::wstring(), kProtocolSource, &status);
  }
  if (CreateKey(key, kProtocolCommandKey, kProtocolSource, &status)) {
    WriteExpandString(key, kProtocolCommandKey, nullptr, command, kProtocolSource, &status);
  }
  return status;
}

}  // namespace PlatformExplorerUtils
