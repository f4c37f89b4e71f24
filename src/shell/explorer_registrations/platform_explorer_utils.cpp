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
std::wstring QuotedEnginePath(const wchar_t* source) {
  const std::wstring engine = QVPaths::getPath(PathKind::EngineExe, true);
  if (engine.empty()) {
    Log::Stream() << source << L": installation directory not found";
    return std::wstring();
  }
  if (engine.find(L'"') != std::wstring::npos) {
    Log::Stream() << source << L": engine path not usable in a command line: " << engine;
    return std::wstring();
  }
  return L"\"" + engine + L"\"";
}

// Creates or opens `path` as the one key held, closing the one held before. On failure nothing
// is held, so no value can land in the previous key.
bool CreateKey(QVRegKey& key, const wchar_t* path, const wchar_t* source) {
  key.reset();
  const LONG result = key.create(HKEY_CURRENT_USER, path, kKeyAccess);
  if (result == ERROR_SUCCESS) return true;
  Log::Stream() << source << L": (err: " << static_cast<long>(result) << L") could not create key "
                << path;
  return false;
}

void ReportWrite(bool written, const wchar_t* source, const wchar_t* path, const wchar_t* name) {
  if (written) return;
  Log::Stream() << source << L": could not write value " << (name ? name : L"(default)")
                << L" of key " << path;
}

void WriteString(QVRegKey& key, const wchar_t* path, const wchar_t* name, const std::wstring& text,
                 const wchar_t* source) {
  ReportWrite(key.setString(name, text), source, path, name);
}

void WriteExpandString(QVRegKey& key, const wchar_t* path, const wchar_t* name,
                       const std::wstring& text, const wchar_t* source) {
  ReportWrite(key.setExpandString(name, text), source, path, name);
}

}  // namespace

void RegisterContextMenuHandlers(const std::wstring& menuText) {
  Log::Stream() << kContextMenuSource << L": registering";
  const std::wstring engine = QuotedEnginePath(kContextMenuSource);
  if (engine.empty()) return;
  // No space before the quoted item: the engine reads the path glued to its switch.
  const std::wstring command = engine + L" /ADDFAVORITE\"%1\"";
  const std::wstring text = menuText.empty() ? std::wstring(kDefaultMenuText) : menuText;

  QVRegKey key;
  for (const wchar_t* verbKey : kVerbKeys) {
    if (CreateKey(key, verbKey, kContextMenuSource)) {
      WriteString(key, verbKey, nullptr, text, kContextMenuSource);
    }
    const std::wstring commandKey = std::wstring(verbKey) + L"\\command";
    if (CreateKey(key, commandKey.c_str(), kContextMenuSource)) {
      WriteExpandString(key, commandKey.c_str(), nullptr, command, kContextMenuSource);
    }
  }
}

void RegisterProtocolHandler() {
  Log::Stream() << kProtocolSource << L": registering";
  const std::wstring engine = QuotedEnginePath(kProtocolSource);
  if (engine.empty()) return;
  // The whole URL as the engine's one argument: quoted, so that a URL with a space in it
  // ("tovin:x /QUIT") cannot hand the engine switches of its own.
  const std::wstring command = engine + L" \"%1\"";

  QVRegKey key;
  if (CreateKey(key, kProtocolKey, kProtocolSource)) {
    WriteString(key, kProtocolKey, nullptr, kProtocolName, kProtocolSource);
    WriteString(key, kProtocolKey, kUrlProtocolValue, std::wstring(), kProtocolSource);
  }
  if (CreateKey(key, kProtocolCommandKey, kProtocolSource)) {
    WriteExpandString(key, kProtocolCommandKey, nullptr, command, kProtocolSource);
  }
}

}  // namespace PlatformExplorerUtils
