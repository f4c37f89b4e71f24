#include "foundation/settings/file_queries.h"

#include <windows.h>

#include <cwchar>

#include "foundation/owners/scoped_handle.h"

namespace QVPaths {

bool fileExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool directoryExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring getFileCreationDate(const std::wstring& path) {
  FILETIME created = {};
  {
    // Backup semantics let directories be opened too.
    const ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::wstring();
    if (!GetFileTime(file.get(), &created, nullptr, nullptr)) return std::wstring();
  }
  return detail::localDateText(created);
}

namespace detail {

std::wstring localDateText(const FILETIME& utc) {
  // FileTimeToLocalFileTime would apply today's offset: a directory made in summer would move
  // by the hour daylight saving adds, across midnight into the day before or after. The offset
  // is the one in force at that moment.
  SYSTEMTIME universal = {};
  SYSTEMTIME fields = {};
  if (!FileTimeToSystemTime(&utc, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &fields)) {
    return std::wstring();
  }
  wchar_t text[32] = {};
  swprintf(text, 32, L"%d-%02d-%02d", fields.wYear, fields.wMonth, fields.wDay);
  return text;
}

}  // namespace detail

}  // namespace QVPaths
