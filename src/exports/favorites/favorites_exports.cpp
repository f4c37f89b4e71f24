#include <windows.h>

#include <algorithm>
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

constexpr wchar_t kFavoritesKey[] = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
constexpr REGSAM kFavoritesAccess = KEY_READ | KEY_WRITE;

// The bytes up to the first zero byte, as UTF-8; false for any invalid or incomplete sequence.
// A byte-order mark is not consumed: it stays as U+FEFF.
bool DecodeUtf8(const std::vector<char>& bytes, std::wstring* text) {
  const char* first = bytes.data();
  const char* last = first;
  const char* const end = first + bytes.size();
  while (last != end && *last != '\0') ++last;
  return QVUtf8::toWideStrict(first, static_cast<size_t>(last - first), text);
}

bool HasUtf16LeMark(const std::vector<char>& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}

// Little-endian code units up to the first zero unit; an odd last byte is dropped.
std::wstring DecodeUtf16Le(const std::vector<char>& bytes) {
  std::wstring text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (unit == L'\0') break;
    text += unit;
  }
  return text;
}

// The file's text, or false when it is in neither encoding the installer may bring.
bool DecodeFavorites(const std::vector<char>& bytes, std::wstring* text) {
  if (DecodeUtf8(bytes, text)) return true;
  Log::Stream() << L"QVNSIS_LoadFavorites: failed to convert data from UTF8 to UTF16, exception "
                << L"bad conversion";
  // Only a marked file is UTF-16: read as code units, any other text (a single-byte code page,
  // say) would turn pairs of bytes into unrelated characters and store those as favourites.
  if (!HasUtf16LeMark(bytes)) {
    Log::Stream() << L"QVNSIS_LoadFavorites: data is neither UTF8 nor UTF16 with a byte-order "
                     L"mark, nothing stored";
    return false;
  }
  Log::Stream() << L"QVNSIS_LoadFavorites: processing as UTF16";
  *text = DecodeUtf16Le(bytes);
  return true;
}

// Carriage returns at either end go; everything else, spaces included, is the entry's.
std::wstring StripCarriageReturns(const std::wstring& line) {
  const size_t first = line.find_first_not_of(L'\r');
  if (first == std::wstring::npos) return std::wstring();
  return line.substr(first, line.find_last_not_of(L'\r') - first + 1);
}

void LoadFavorites(const std::wstring& path) {
  Log::Stream() << L"QVNSIS_LoadFavorites: entered with: " << path;
  if (!QVPaths::fileExists(path)) {
    Log::Stream() << L"QVNSIS_LoadFavorites: failed to find " << path;
    return;
  }
  std::vector<char> bytes;
  if (!ReadWholeFile(path, &bytes)) {
    Log::Stream() << L"QVNSIS_LoadFavorites: failed to load " << path;
    return;
  }
  Log::Stream() << L"QVNSIS_LoadFavorites: loading in data from file";
  std::wstring text;
  if (!DecodeFavorites(bytes, &text)) return;
  Log::Stream() << L"QVNSIS_LoadFavorites: loaded data from file";

  QVRegKey key;
  if (key.open(HKEY_CURRENT_USER, kFavoritesKey, kFavoritesAccess) != ERROR_SUCCESS &&
      key.create(HKEY_CURRENT_USER, kFavoritesKey, kFavoritesAccess) != ERROR_SUCCESS) {
    // The entries are still logged, so the log shows what was meant to be stored.
    Log::Stream() << L"QVNSIS_LoadFavorites: Failed to open registry " << kFavoritesKey;
  }

  // Values left from an earlier, longer list stay: the engine reads the numbers it is given.
  unsigned counter = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t newline = std::min(text.find(L'\n', start), text.size());
    const std::wstring line = text.substr(start, newline - start);
    start = newline + 1;
    // Only a truly empty line is skipped; one holding just a carriage return is an (empty)
    // entry and keeps its number.
    if (line.empty()) continue;
    const std::wstring entry = StripCarriageReturns(line);
    Log::Stream() << L"QVNSIS_LoadFavorites: Adding favorite to sideloading: " << entry;
    // A value that cannot be written still takes its number, so the later ones keep theirs.
    QVSettings::setStringIn(key.get(), std::to_wstring(counter).c_str(), entry);
    ++counter;
  }
}

}  // namespace

QVNSIS_EXPORT void QVNSIS_LoadFavorites(const wchar_t* path) {
  GuardedExport([&] {
    LoadFavorites(path ? std::wstring(path) : std::wstring());
  });
}
