#include "foundation/settings/system_folders.h"

#include <windows.h>

#include <shlobj.h>
#include <userenv.h>

#include "foundation/owners/scoped_handle.h"

namespace QVPaths {

std::wstring getKnownFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) {
    return std::wstring();
  }
  return path;
}

std::wstring getUserProfileDir() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return std::wstring();
  const ScopedHandle token(rawToken);
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!GetUserProfileDirectoryW(token.get(), path, &size)) return std::wstring();
  return path;
}

std::wstring getTempDir() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, path);
  // A length of MAX_PATH or more is the size the path would need: it did not fit.
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(path, length);
}

}  // namespace QVPaths
