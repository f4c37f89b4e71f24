#include <windows.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "foundation/log/log.h"
#include "foundation/os/read_whole_file.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/settings/qv_paths.h"
#include "foundation/settings/qv_settings.h"
#include "store/variants/utf8.h"

namespace {

constexpr wchar_t kSource[] = L"QVNSIS_LoadFavorites: ";
constexpr wchar_t kFavoritesKey[] = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
constexpr REGSAM kFavoritesAccess = KEY_READ | KEY_WRITE;

bool StartsWith(const std::vector<char>& bytes, const char* mark, size_t length) {
  return bytes.size() >= length && std::memcmp(bytes.data(), mark, length) == 0;
}

// The bytes from `offset` up to the first zero byte, as UTF-8. False when they are not UTF-8,
// or are UTF-16LE that merely looks like it: an ASCII first character followed by its zero byte
// would otherwise decode as a one-character text.
bool DecodeUtf8(const std::vector<char>& bytes, size_t offset, std::wstring* text) {
  const char* first = bytes.data() + offset;
  const size_t available = bytes.size() - offset;
  if (available >= 2 && first[0] != '\0' && first[1] == '\0') return false;
  const void* zero = std::memchr(first, '\0', available);
  const size_t size =
      zero ? static_cast<size_t>(static_cast<const char*>(zero) - first) : available;
  return QVUtf8::toWideStrict(first, size, text);
}

// Little-endian code units after the two-byte mark, up to the first zero unit; an odd last byte
// is dropped.
std::wstring DecodeUtf16Le(const std::vector<char>& bytes) {
  const char* first = bytes.data() + 2;
  const size_t units = (bytes.size() - 2) / 2;
  size_t length = 0;
  while (length < units && (first[2 * length] != '\0' || first[2 * length + 1] != '\0')) ++length;
  std::wstring text(length, L'\0');
  for (size_t i = 0; i < length; ++i) {
    text[i] = static_cast<wchar_t>(static_cast<unsigned char>(first[2 * i]) |
                                   (static_cast<unsigned char>(first[2 * i + 1]) << 8));
  }
  return text;
}

// The file's text without its byte-order mark (which would otherwise begin the first entry and
// make it match no app), or false when it is in neither encoding the installer may bring.
bool DecodeFavorites(const std::vector<char>& bytes, std::wstring* text) {
  const size_t utf8Mark = StartsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
  if (DecodeUtf8(bytes, utf8Mark, text)) return true;
  // The converter's own wording, which the log has always carried.
  Log::Stream() << kSource << L"failed to convert data from UTF8 to UTF16, exception "
                << L"bad conversion";
  // Only a marked file is UTF-16: read as code units, any other text (a single-byte code page,
  // say) would turn pairs of bytes into unrelated characters and store those as favourites.
  if (!StartsWith(bytes, "\xFF\xFE", 2)) {
    Log::Stream() << kSource
                  << L"data is neither UTF8 nor UTF16 with a byte-order "
                     L"mark, nothing stored";
    return false;
  }
  Log::Stream() << kSource << L"processing as UTF16";
  *text = DecodeUtf16Le(bytes);
  return true;
}

// ERROR_SUCCESS when every entry of the file is stored; else the first failure.
DWORD LoadFavorites(const std::wstring& path) {
  Log::Stream() << kSource << L"entered with: " << path;
  if (!QVPaths::fileExists(path)) {
    Log::Stream() << kSource << L"failed to find " << path;
    return ERROR_FILE_NOT_FOUND;
  }
  std::vector<char> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    Log::Stream() << kSource << L"failed to load " << path;
    return ERROR_READ_FAULT;
  }
  Log::Stream() << kSource << L"loading in data from file";
  std::wstring text;
  if (!DecodeFavorites(bytes, &text)) return ERROR_INVALID_DATA;
  std::vector<char>().swap(bytes);  // the text is all that is needed from here on
  Log::Stream() << kSource << L"loaded data from file";

  DWORD status = ERROR_SUCCESS;
  QVRegKey key;
  if (key.open(HKEY_CURRENT_USER, kFavoritesKey, kFavoritesAccess) != ERROR_SUCCESS &&
      key.create(HKEY_CURRENT_USER, kFavoritesKey, kFavoritesAccess) != ERROR_SUCCESS) {
    // The entries are still logged, so the log shows what was meant to be stored.
    Log::Stream() << kSource << L"Failed to open registry " << kFavoritesKey;
    status = ERROR_CANTOPEN;
  }

  // Values left from an earlier, longer list stay: the engine reads the numbers it is given.
  unsigned counter = 0;
  std::wstring entry;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    // Only a truly empty line is skipped; one holding just a carriage return is an (empty)
    // entry and keeps its number.
    if (end > start) {
      // Carriage returns at either end go; everything else, spaces included, is the entry's.
      size_t first = start, last = end;
      while (first < last && text[first] == L'\r') ++first;
      while (last > first && text[last - 1] == L'\r') --last;
      entry.assign(text, first, last - first);
      Log::Stream() << kSource << L"Adding favorite to sideloading: " << entry;
      // A value that cannot be written still takes its number, so the later ones keep theirs.
      if (!QVSettings::setStringIn(key.get(), std::to_wstring(counter).c_str(), entry) &&
          status == ERROR_SUCCESS) {
        status = ERROR_CANTWRITE;
      }
      ++counter;
    }
    start = end + 1;
  }
  return status;
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_LoadFavorites(const wchar_t* path) {
  GuardedStatusExport(__func__, [&]() -> DWORD {
    const std::wstring file = path ? std::wstring(path) : std::wstring();
    try {
      return LoadFavorites(file);
    } catch (const std::bad_alloc&) {
      // A text too large to decode in this process: what was stored before stays.
      Log::Stream() << kSource << L"out of memory, stopped loading " << file;
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  });
}
