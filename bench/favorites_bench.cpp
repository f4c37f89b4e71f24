#include <windows.h>

#include "families.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace qvbench {

namespace {

// A favourites file of `entries` lines of `entryBytes` bytes each (ASCII, CRLF).
void WriteFavorites(const std::wstring& path, int entries, size_t entryBytes) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(entries) * (entryBytes + 2));
  for (int i = 0; i < entries; ++i) {
    std::string entry = "app" + std::to_string(i) + "-";
    entry.resize(entryBytes, static_cast<char>('a' + i % 26));
    bytes += entry + "\r\n";
  }
  qvtest::WriteFileBytes(path, bytes);
}

}  // namespace

// QVNSIS_LoadFavorites of 10,000 entries against the registry writes and log lines it must make,
// made directly; and a 64 MB file against four times a 16 MB one, which shows the import's cost
// grows with the file and no faster.
std::vector<Row> FavoritesRows(const std::wstring& scratch) {
  const qvtest::Library library;
  const auto load = QV_EXPORT(library, QVNSIS_LoadFavorites);
  const auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!load || !log) Abort("cannot load QVNSIS_LoadFavorites");
  const wchar_t* const favoritesKey = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
  HKEY sideload = nullptr;
  const bool hadSideload = RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload", 0,
                                         KEY_READ, &sideload) == ERROR_SUCCESS;
  if (sideload) RegCloseKey(sideload);

  const int entries = 10000;
  const std::wstring path = scratch + L"favorites.txt";
  WriteFavorites(path, entries, 40);
  std::vector<std::wstring> texts;
  for (int i = 0; i < entries; ++i) {
    std::wstring entry = L"app" + std::to_wstring(i) + L"-";
    entry.resize(40, static_cast<wchar_t>(L'a' + i % 26));
    texts.push_back(entry);
  }
  const std::wstring entered = L"QVNSIS_LoadFavorites: entered with: " + path;
  auto direct = [&] {
    log(entered.c_str());
    log(L"QVNSIS_LoadFavorites: loading in data from file");
    log(L"QVNSIS_LoadFavorites: loaded data from file");
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, favoritesKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                    &key, nullptr);
    for (int i = 0; i < entries; ++i) {
      log((L"QVNSIS_LoadFavorites: Adding favorite to sideloading: " + texts[i]).c_str());
      RegSetValueExW(key, std::to_wstring(i).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(texts[i].c_str()),
                     static_cast<DWORD>((texts[i].size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  };
  auto ours = [&] { load(path.c_str()); };
  auto clearLog = [&] { qvtest::DeleteLogFiles(scratch); };

  const std::vector<double> tenThousand = CompareMedians({direct, ours}, 1, 3, 1, clearLog);

  // Large files: long entries, so the registry and the log see few, big lines.
  const std::wstring quarter = scratch + L"favorites-16mb.txt";
  const std::wstring whole = scratch + L"favorites-64mb.txt";
  WriteFavorites(quarter, 256, 64 * 1024 - 2);
  WriteFavorites(whole, 1024, 64 * 1024 - 2);
  const std::vector<double> sizes = CompareMedians(
      {[&] { load(quarter.c_str()); }, [&] { load(whole.c_str()); }}, 1, 3, 0, clearLog);
  clearLog();

  if (hadSideload) {
    RegDeleteTreeW(HKEY_CURRENT_USER, favoritesKey);
  } else {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload");
  }
  DeleteFileW(path.c_str());
  DeleteFileW(quarter.c_str());
  DeleteFileW(whole.c_str());
  return {{"LoadFavorites 10k entries vs reg writes+log", tenThousand[1], tenThousand[0], 1.2},
          {"LoadFavorites 64 MB vs 4 x 16 MB", sizes[1], 4 * sizes[0], 1.2}};
}

}  // namespace qvbench
