// Benchmarks of the library, each row a ratio against a baseline measured in the same run.
// Run with `make bench` (under wine64); it prints one table.
#include <windows.h>

#include <sqlite3.h>

// GDI+'s headers expect min and max, and the property types that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
#include <png.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/library.h"

namespace {

double NowMicroseconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// Median over rounds of the mean cost of one call, in microseconds.
double MeasurePerCall(int rounds, int calls, const std::function<void()>& body) {
  std::vector<double> perCall;
  for (int r = 0; r < rounds; ++r) {
    const double start = NowMicroseconds();
    for (int i = 0; i < calls; ++i) body();
    perCall.push_back((NowMicroseconds() - start) / calls);
  }
  std::sort(perCall.begin(), perCall.end());
  return perCall[perCall.size() / 2];
}

// Measures the bodies in `rounds` alternating rounds of `calls` calls each, so drift hits all
// alike, after a warm-up of `warmCalls` calls each (0: none); `beforeEach` runs outside the clock
// before each measured round. The median per-call time of each body, in microseconds.
std::vector<double> CompareMedians(const std::vector<std::function<void()>>& bodies, int calls, int rounds,
                                   int warmCalls, const std::function<void()>& beforeEach = nullptr) {
  if (warmCalls > 0) {
    for (const auto& body : bodies) MeasurePerCall(1, warmCalls, body);
  }
  std::vector<std::vector<double>> times(bodies.size());
  for (int r = 0; r < rounds; ++r) {
    for (size_t b = 0; b < bodies.size(); ++b) {
      if (beforeEach) beforeEach();
      times[b].push_back(MeasurePerCall(1, calls, bodies[b]));
    }
  }
  std::vector<double> medians;
  for (auto& t : times) {
    std::sort(t.begin(), t.end());
    medians.push_back(t[t.size() / 2]);
  }
  return medians;
}

std::wstring ExecutableDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L"\\/") + 1);
}

// Points HKCU\SOFTWARE\Tovin "InstallDir" at `directory` for the scope, then puts the earlier
// value back as it was, or removes it.
class ScopedInstallDir {
 public:
  explicit ScopedInstallDir(const std::wstring& directory) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                    nullptr);
    had_ = RegQueryValueExW(key_, L"InstallDir", nullptr, &oldType_, reinterpret_cast<BYTE*>(old_), &oldSize_) ==
           ERROR_SUCCESS;
    RegSetValueExW(key_, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(directory.c_str()),
                   static_cast<DWORD>((directory.size() + 1) * sizeof(wchar_t)));
  }
  ~ScopedInstallDir() {
    if (had_) {
      RegSetValueExW(key_, L"InstallDir", 0, oldType_, reinterpret_cast<const BYTE*>(old_), oldSize_);
    } else {
      RegDeleteValueW(key_, L"InstallDir");
    }
    RegCloseKey(key_);
  }
  ScopedInstallDir(const ScopedInstallDir&) = delete;
  ScopedInstallDir& operator=(const ScopedInstallDir&) = delete;

 private:
  HKEY key_ = nullptr;
  wchar_t old_[MAX_PATH] = {};
  DWORD oldSize_ = sizeof(old_);
  DWORD oldType_ = REG_SZ;
  bool had_ = false;
};

struct Row {
  std::string name;
  double ours;
  double baseline;
  double goal;             // 0: the row explains another and has no goal of its own
  const char* unit = "us";  // of ours and baseline: "us" per call, or "B" for sizes
};

std::vector<Row> LogLineRows(const std::wstring& scratch) {
  SetEnvironmentVariableW(L"TMP", scratch.c_str());
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!log) {
    std::fprintf(stderr, "cannot load qvnsis.dll\n");
    ExitProcess(1);
  }

  const std::wstring message = L"QVNSIS_Bench: a log line of ordinary length, value 12345";
  // The same bytes the library writes for that message.
  const std::wstring line = L"qvnsis_ben 01234 [2014-03-03 09:05:07] " + message + L"\r\n";
  const std::wstring rawPath = scratch + L"raw.log";
  auto rawAppend = [&] {
    HANDLE file = CreateFileW(rawPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
  };
  auto libraryLine = [&] { log(message.c_str()); };
  // What the design itself asks of every line beyond the append: read "OutputDebug" and take
  // and give back the log mutex. Under Wine each of these is a wineserver round trip.
  auto designFloor = [&] {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD value = 0, size = sizeof(value);
      RegQueryValueExW(key, L"OutputDebug", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
      RegCloseKey(key);
    }
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "tovin_log_mutex");
    WaitForSingleObject(mutex, 20);
    rawAppend();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  };

  // Warm both paths, then measure them in alternating rounds so drift hits both alike.
  const std::vector<double> t = CompareMedians({rawAppend, libraryLine, designFloor}, 1000, 5, 200);
  FreeLibrary(library);
  return {{"QVNSIS_Log line vs raw open-append-close", t[1], t[0], 1.3},
          {"QVNSIS_Log line vs append+registry+mutex", t[1], t[2], 0}};
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  return out;
}

// QVNSIS_PinAppStore on an installed-apps database of 10,000 "features" rows, against the select,
// delete and insert it issues, run directly through SQLite on a second connection kept open.
// Before each call the first connection puts the app store's list back to "-pinned,+other", so
// every call writes, and both sides find their page cache stale alike.
std::vector<Row> PinAppStoreRows(const std::wstring& scratch) {
  const std::wstring installDir = scratch + L"Tovin";
  const std::wstring appsDir = installDir + L"\\Tovines";
  CreateDirectoryW(installDir.c_str(), nullptr);
  CreateDirectoryW(appsDir.c_str(), nullptr);
  const std::wstring dbPath = appsDir + L"\\installed_tovines.db";

  const ScopedInstallDir installed(installDir);

  const std::string app = "6cad4a268d116ece1738f7d93d9c172411e20b8f";
  sqlite3* db = nullptr;
  sqlite3_open_v2(Utf8(dbPath).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::string setup =
      "BEGIN;"
      "CREATE TABLE tovines (tovin_id TEXT,hash TEXT,hashcheck TEXT,disabled TEXT,install_time INT,"
      "install_source TEXT,install_campaign TEXT);"
      "CREATE TABLE tovinstate (tovin_id TEXT,state_id TEXT,value TEXT);"
      "CREATE TABLE settings (id_or_folder TEXT,name TEXT,value TEXT,type TEXT);"
      "CREATE TABLE features (id_or_folder TEXT,feature_list TEXT);";
  for (int i = 0; i < 9999; ++i) {
    char row[160];
    std::snprintf(row, sizeof(row), "INSERT INTO features VALUES ('%040d', '+f%d,-pinned,+other');", i, i);
    setup += row;
  }
  setup += "INSERT INTO features VALUES ('" + app + "', '-pinned,+other');COMMIT;";
  sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);

  const std::string where = "id_or_folder = '" + app + "'";
  const std::string reset = "UPDATE features SET feature_list = '-pinned,+other' WHERE " + where;
  const std::string select = "SELECT ROWID, features.* FROM features WHERE " + where + ";";
  const std::string remove = "delete from features where " + where;
  const std::string insert =
      "insert into features (id_or_folder, feature_list) values ('" + app + "', '+pinned,+other')";

  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto pin = QV_EXPORT(library, QVNSIS_PinAppStore);
  if (!pin) {
    std::fprintf(stderr, "cannot load QVNSIS_PinAppStore\n");
    ExitProcess(1);
  }
  auto direct = [&](sqlite3* connection) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(connection, select.c_str(), -1, &statement, nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    sqlite3_exec(connection, remove.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(connection, insert.c_str(), nullptr, nullptr, nullptr);
  };
  sqlite3* kept = nullptr;
  sqlite3_open_v2(Utf8(dbPath).c_str(), &kept, SQLITE_OPEN_READWRITE, nullptr);
  auto baseline = [&] {
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    direct(kept);
  };
  // The same, opening and closing the file each time as the export must.
  auto reopened = [&] {
    sqlite3* connection = nullptr;
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    sqlite3_open_v2(Utf8(dbPath).c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr);
    direct(connection);
    sqlite3_close(connection);
  };
  auto ours = [&] {
    sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
    pin();
  };

  const std::vector<double> t = CompareMedians({baseline, ours, reopened}, 50, 5, 20);

  // The export must have written what the direct statements write.
  sqlite3_exec(db, reset.c_str(), nullptr, nullptr, nullptr);
  pin();
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, ("SELECT count(*), max(feature_list) FROM features WHERE " + where).c_str(), -1,
                     &check, nullptr);
  const bool wrote = sqlite3_step(check) == SQLITE_ROW && sqlite3_column_int(check, 0) == 1 &&
                     std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 1))) ==
                         "+pinned,+other";
  sqlite3_finalize(check);
  if (!wrote) {
    std::fprintf(stderr, "QVNSIS_PinAppStore did not write the expected row\n");
    ExitProcess(1);
  }

  FreeLibrary(library);
  sqlite3_close(kept);
  sqlite3_close(db);
  DeleteFileW(dbPath.c_str());
  RemoveDirectoryW(appsDir.c_str());
  RemoveDirectoryW(installDir.c_str());
  return {{"QVNSIS_PinAppStore, 10k rows vs direct SQL", t[1], t[0], 1.5},
          {"QVNSIS_PinAppStore vs direct SQL+open/close", t[1], t[2], 0}};
}

// QVNSIS_StopTovin against the fake engine, which quits 200 ms after "/QUIT" (no deskband, so
// no removal rounds). Baseline: the engine's own exit, from starting "tovin.exe /QUIT" directly to
// the end of the running engine's process. What the export adds beyond that is the goal: under
// 100 ms, expressed as the ratio it allows against the baseline of this run.
void StartProgram(const std::wstring& exe, const std::wstring& arguments, HANDLE* process) {
  std::wstring line = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  *process = nullptr;
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return;
  CloseHandle(info.hThread);
  *process = info.hProcess;
}

// Starts the engine and waits for its window; its process handle.
HANDLE StartEngineWithWindow(const std::wstring& exe) {
  HANDLE engine = nullptr;
  StartProgram(exe, L"/PLATFORMINSTALLED", &engine);
  if (!engine) {
    std::fprintf(stderr, "cannot start the fake engine\n");
    ExitProcess(1);
  }
  for (int i = 0; i < 500 && !FindWindowW(L"TOVIN_CLASS", nullptr); ++i) Sleep(10);
  return engine;
}

std::vector<Row> StopTovinRows(const std::wstring& scratch) {
  const std::wstring installDir = scratch + L"StopTovin";
  const std::wstring engineDir = installDir + L"\\Engine\\";
  CreateDirectoryW(installDir.c_str(), nullptr);
  CreateDirectoryW(engineDir.c_str(), nullptr);
  const std::wstring exe = engineDir + L"tovin.exe";
  const std::wstring ini = engineDir + L"tovin_behaviour.ini";
  CopyFileW((ExecutableDirectory() + L"tovin.exe").c_str(), exe.c_str(), FALSE);
  WritePrivateProfileStringW(L"engine", L"quit", L"obey", ini.c_str());
  WritePrivateProfileStringW(L"engine", L"quit_delay_ms", L"200", ini.c_str());
  WritePrivateProfileStringW(L"engine", L"stay", L"1", ini.c_str());

  const ScopedInstallDir installed(installDir);

  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto stop = QV_EXPORT(library, QVNSIS_StopTovin);
  if (!stop) {
    std::fprintf(stderr, "cannot load QVNSIS_StopTovin\n");
    ExitProcess(1);
  }

  std::vector<double> ours, baseline;
  for (int i = 0; i < 7; ++i) {
    HANDLE engine = StartEngineWithWindow(exe);
    double start = NowMicroseconds();
    HANDLE quitter = nullptr;
    StartProgram(exe, L"/QUIT", &quitter);
    WaitForSingleObject(engine, 10000);
    baseline.push_back(NowMicroseconds() - start);
    if (quitter) {
      WaitForSingleObject(quitter, 10000);
      CloseHandle(quitter);
    }
    CloseHandle(engine);

    engine = StartEngineWithWindow(exe);
    start = NowMicroseconds();
    const int result = stop();
    ours.push_back(NowMicroseconds() - start);
    const bool ended = WaitForSingleObject(engine, 0) == WAIT_OBJECT_0;
    CloseHandle(engine);
    if (result != 1 || !ended) {
      std::fprintf(stderr, "QVNSIS_StopTovin did not stop the engine\n");
      ExitProcess(1);
    }
  }
  std::sort(ours.begin(), ours.end());
  std::sort(baseline.begin(), baseline.end());
  FreeLibrary(library);

  for (const wchar_t* name : {L"tovin.exe", L"tovin_behaviour.ini", L"tovin_record.txt"}) {
    DeleteFileW((engineDir + name).c_str());
  }
  RemoveDirectoryW(engineDir.c_str());
  RemoveDirectoryW(installDir.c_str());

  const double allowedExtraUs = 100000;
  const double base = baseline[baseline.size() / 2];
  return {{"QVNSIS_StopTovin vs engine exit (+100ms max)", ours[ours.size() / 2], base,
           (base + allowedExtraUs) / base}};
}

// QVNSIS_IsDeskbandRegistered with no build registered: every call searches again and logs
// "NOT FOUND". Baselines: the registry probes the search makes (the class key and five subkeys),
// alone and followed by one QVNSIS_Log line.
std::vector<Row> IsDeskbandRegisteredRows(const std::wstring& scratch) {
  SetEnvironmentVariableW(L"TMP", scratch.c_str());
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  const wchar_t* const builds[] = {
      L"{6513270E-269E-4D37-B2A7-4DE452E6B438}", L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}",
      L"{9531985D-5D9D-49F8-9818-E811892F902B}", L"{36F675CC-81E7-4EF5-A8E2-5D940ED90475}",
      L"{6B0D549B-6F03-475A-9600-A35A099950D8}"};
  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto isRegistered = QV_EXPORT(library, QVNSIS_IsDeskbandRegistered);
  auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!isRegistered || !log) {
    std::fprintf(stderr, "cannot load QVNSIS_IsDeskbandRegistered\n");
    ExitProcess(1);
  }
  if (isRegistered() != 0) {
    std::fprintf(stderr, "a deskband build is registered in this prefix\n");
    ExitProcess(1);
  }
  auto probes = [&] {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0, KEY_READ | KEY_WOW64_64KEY, &classes) !=
        ERROR_SUCCESS) {
      return;
    }
    for (const wchar_t* build : builds) {
      HKEY subkey = nullptr;
      if (RegOpenKeyExW(classes, build, 0, KEY_READ | KEY_WRITE, &subkey) == ERROR_SUCCESS) RegCloseKey(subkey);
    }
    RegCloseKey(classes);
  };
  auto probesAndLine = [&] {
    probes();
    log(L"QVDeskbandUtil::LoadInstalledCLSID: NOT FOUND");
  };
  auto ours = [&] { isRegistered(); };

  const std::vector<double> t = CompareMedians({probes, ours, probesAndLine}, 500, 5, 200);
  FreeLibrary(library);
  return {{"IsDeskbandRegistered (none) vs probes+log", t[1], t[2], 1.3},
          {"IsDeskbandRegistered (none) vs reg probes", t[1], t[0], 0}};
}

// Removes the day logs the library wrote into the scratch directory, so each round starts alike.
void DeleteScratchLogs(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"Tovin-*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileW((dir + found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// Window images: QVNSIS_SetWindowImageFromFile of a 1920 x 1080 PNG into a 640 x 360 control,
// against GDI+ alone loading the same file and drawing it, with the same filter, into a DIB of the
// control's size.
std::vector<Row> WindowImageRows(const std::wstring& scratch) {
  const int width = 1920, height = 1080;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint32_t noise = 12345;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / width + (noise >> 28));
      p[1] = static_cast<uint8_t>(y * 255 / height + (noise >> 29));
      p[2] = static_cast<uint8_t>((x + y) / 12 + (noise >> 27));
    }
  }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
  std::vector<uint8_t> encoded(size);
  if (!size || !png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr)) {
    std::fprintf(stderr, "cannot encode the benchmark PNG\n");
    ExitProcess(1);
  }
  const std::wstring path = scratch + L"banner-1920x1080.png";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, encoded.data(), static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);

  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto setImage = QV_EXPORT(library, QVNSIS_SetWindowImageFromFile);
  if (!setImage) {
    std::fprintf(stderr, "cannot load QVNSIS_SetWindowImageFromFile\n");
    ExitProcess(1);
  }
  HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 640, 360, nullptr, nullptr,
                                 nullptr, nullptr);
  SetWindowPos(control, nullptr, 0, 0, 640, 360, SWP_NOZORDER | SWP_NOACTIVATE);

  namespace Gdip = Gdiplus::DllExports;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  auto gdiplusAlone = [&] {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 640;
    info.bmiHeader.biHeight = -360;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, target);
    Gdiplus::GpImage* picture = nullptr;
    Gdip::GdipLoadImageFromFile(path.c_str(), &picture);
    Gdiplus::GpGraphics* graphics = nullptr;
    Gdip::GdipCreateFromHDC(dc, &graphics);
    Gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
    Gdip::GdipDrawImageRectRectI(graphics, picture, 0, 0, 640, 360, 0, 0, width, height, Gdiplus::UnitPixel,
                                 nullptr, nullptr, nullptr);
    Gdip::GdipDeleteGraphics(graphics);
    Gdip::GdipDisposeImage(picture);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(target);
  };
  auto ours = [&] { setImage(control, path.c_str()); };

  const std::vector<double> t = CompareMedians({gdiplusAlone, ours}, 4, 5, 2);

  // The export must have shown a picture of the control's size.
  BITMAP shown = {};
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (!bitmap || !GetObjectW(bitmap, sizeof(shown), &shown) || shown.bmWidth != 640 || shown.bmHeight != 360) {
    std::fprintf(stderr, "QVNSIS_SetWindowImageFromFile did not show a 640 x 360 bitmap\n");
    ExitProcess(1);
  }
  DestroyWindow(control);
  DeleteObject(bitmap);
  FreeLibrary(library);
  DeleteFileW(path.c_str());
  return {{"SetWindowImageFromFile 1920x1080 vs GDI+", t[1], t[0], 1.5}};
}

// A favourites file of `entries` lines of `entryBytes` bytes each (ASCII, CRLF).
void WriteFavorites(const std::wstring& path, int entries, size_t entryBytes) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(entries) * (entryBytes + 2));
  for (int i = 0; i < entries; ++i) {
    std::string entry = "app" + std::to_string(i) + "-";
    entry.resize(entryBytes, static_cast<char>('a' + i % 26));
    bytes += entry + "\r\n";
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// QVNSIS_LoadFavorites of 10,000 entries against the registry writes and log lines it must make,
// made directly; and a 64 MB file against four times a 16 MB one, which shows the import's cost
// grows with the file and no faster.
std::vector<Row> FavoritesRows(const std::wstring& scratch) {
  SetEnvironmentVariableW(L"TMP", scratch.c_str());
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto load = QV_EXPORT(library, QVNSIS_LoadFavorites);
  auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!load || !log) {
    std::fprintf(stderr, "cannot load QVNSIS_LoadFavorites\n");
    ExitProcess(1);
  }
  const wchar_t* const favoritesKey = L"SOFTWARE\\Tovin\\Sideload\\Favorites";
  HKEY sideload = nullptr;
  const bool hadSideload =
      RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin\\Sideload", 0, KEY_READ, &sideload) == ERROR_SUCCESS;
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
    RegCreateKeyExW(HKEY_CURRENT_USER, favoritesKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    for (int i = 0; i < entries; ++i) {
      log((L"QVNSIS_LoadFavorites: Adding favorite to sideloading: " + texts[i]).c_str());
      RegSetValueExW(key, std::to_wstring(i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(texts[i].c_str()),
                     static_cast<DWORD>((texts[i].size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
  };
  auto ours = [&] { load(path.c_str()); };
  auto clearLog = [&] { DeleteScratchLogs(scratch); };

  const std::vector<double> tenThousand = CompareMedians({direct, ours}, 1, 3, 1, clearLog);

  // Large files: long entries, so the registry and the log see few, big lines.
  const std::wstring quarter = scratch + L"favorites-16mb.txt";
  const std::wstring whole = scratch + L"favorites-64mb.txt";
  WriteFavorites(quarter, 256, 64 * 1024 - 2);
  WriteFavorites(whole, 1024, 64 * 1024 - 2);
  const std::vector<double> sizes =
      CompareMedians({[&] { load(quarter.c_str()); }, [&] { load(whole.c_str()); }}, 1, 3, 0, clearLog);
  clearLog();

  FreeLibrary(library);
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

// Occurrences of `text` in the day logs the library wrote into `dir` (UTF-16LE).
int CountInScratchLogs(const std::wstring& dir, const std::wstring& text) {
  int count = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"Tovin-*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    HANDLE file = CreateFileW((dir + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    std::wstring content(found.nFileSizeLow / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, &content[0], static_cast<DWORD>(content.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    content.resize(read / sizeof(wchar_t));
    for (size_t at = content.find(text); at != std::wstring::npos; at = content.find(text, at + text.size())) {
      ++count;
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

// LoadLibraryW + FreeLibrary of qvnsis.dll per call, against the same for two DLLs of the same
// toolchain and link flags that do nothing when loaded: a minimal one, and one as large as the
// library (see same_size_dll.cpp). What the first ratio shows is all the library's loading costs
// beyond a minimal DLL; the second leaves mostly its own start-up and shutdown: its static
// initialisers and DllMain, which writes "DllMain: started" to the day's log on every load. The
// system libraries an NSIS stub imports are loaded first and kept, as they are in the installer's
// process, so no side pays for them.
std::vector<Row> LoadUnloadRows(const std::wstring& scratch) {
  SetEnvironmentVariableW(L"TMP", scratch.c_str());
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  for (const wchar_t* name :
       {L"advapi32.dll", L"comctl32.dll", L"gdi32.dll", L"ole32.dll", L"shell32.dll", L"user32.dll"}) {
    LoadLibraryW(name);
  }
  const std::wstring ours = ExecutableDirectory() + L"qvnsis.dll";
  const std::wstring minimal = ExecutableDirectory() + L"bench_empty.dll";
  const std::wstring sameSize = ExecutableDirectory() + L"bench_same_size.dll";
  auto loadUnload = [](const std::wstring& path) {
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) {
      std::fprintf(stderr, "cannot load %ls\n", path.c_str());
      ExitProcess(1);
    }
    FreeLibrary(library);
  };
  DeleteScratchLogs(scratch);
  // Few calls: every load leaves three thread-local slots allocated for the rest of the process
  // (the language manager's two, never freed, and one the static C++ runtime takes), and a
  // process has 1088.
  const int calls = 20, rounds = 7, warmCalls = 5;
  const std::vector<double> t = CompareMedians(
      {[&] { loadUnload(minimal); }, [&] { loadUnload(ours); }, [&] { loadUnload(sameSize); }}, calls, rounds,
      warmCalls);

  // Every call must have been a load from scratch: the libraries are gone again, and DllMain
  // logged each load of ours.
  const int started = CountInScratchLogs(scratch, L"DllMain: started");
  if (GetModuleHandleW(L"qvnsis.dll") || GetModuleHandleW(L"bench_empty.dll") ||
      GetModuleHandleW(L"bench_same_size.dll") || started != warmCalls + calls * rounds) {
    std::fprintf(stderr, "load benchmark: a library stayed loaded (%d of %d loads logged)\n", started,
                 warmCalls + calls * rounds);
    ExitProcess(1);
  }
  DeleteScratchLogs(scratch);
  return {{"qvnsis.dll load+unload vs minimal DLL", t[1], t[0], 0},
          {"qvnsis.dll load+unload vs equal-size DLL", t[1], t[2], 0}};
}

// The sizes bench/installer_sizes.sh measured with makensis for one build of the DLL: the file,
// a solid-LZMA installer without it, and the same installer with it.
struct InstallerSizes {
  std::string target;
  double dll;
  double emptyInstaller;
  double withDll;
};

// Arguments of the form <target>=<dll bytes>,<empty installer bytes>,<installer with DLL bytes>.
std::vector<InstallerSizes> ParseInstallerSizes(int argc, char** argv) {
  std::vector<InstallerSizes> sizes;
  for (int i = 1; i < argc; ++i) {
    char target[32] = {};
    double dll = 0, empty = 0, with = 0;
    if (std::sscanf(argv[i], "%31[^=]=%lf,%lf,%lf", target, &dll, &empty, &with) != 4 || dll <= 0 ||
        empty <= 0 || with <= empty) {
      std::fprintf(stderr, "not a size word <target>=<dll>,<empty installer>,<with dll>: %s\n", argv[i]);
      ExitProcess(2);
    }
    sizes.push_back({target, dll, empty, with});
  }
  return sizes;
}

std::vector<Row> SizeRows(const std::vector<InstallerSizes>& sizes) {
  std::vector<Row> rows;
  for (const InstallerSizes& s : sizes) {
    const std::string arch = s.target.substr(0, s.target.find('-'));
    rows.push_back({arch + " DLL file vs empty lzma installer", s.dll, s.emptyInstaller, 0, "B"});
    rows.push_back({arch + " DLL in lzma installer vs DLL file", s.withDll - s.emptyInstaller, s.dll, 0, "B"});
  }
  return rows;
}

// Removes `dir` (ending in a backslash) and everything in it: a run that stopped early leaves
// its database under the scratch folder, and the next run must not build on it.
void DeleteScratch(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteScratch(dir + name + L"\\");
      } else {
        DeleteFileW((dir + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<InstallerSizes> sizes = ParseInstallerSizes(argc, argv);
  if (sizes.empty()) {
    std::fprintf(stderr, "no DLL sizes given: `make bench` measures them with makensis and passes them\n");
  }
  const std::wstring scratch = ExecutableDirectory() + L"bench-scratch\\";
  DeleteScratch(scratch);
  CreateDirectoryW(scratch.c_str(), nullptr);

  std::vector<Row> rows = SizeRows(sizes);
  // First, before any other row had the library loaded.
  for (const Row& row : LoadUnloadRows(scratch)) rows.push_back(row);
  for (const Row& row : LogLineRows(scratch)) rows.push_back(row);
  for (const Row& row : PinAppStoreRows(scratch)) rows.push_back(row);
  for (const Row& row : WindowImageRows(scratch)) rows.push_back(row);
  for (const Row& row : FavoritesRows(scratch)) rows.push_back(row);
  for (const Row& row : StopTovinRows(scratch)) rows.push_back(row);
  for (const Row& row : IsDeskbandRegisteredRows(scratch)) rows.push_back(row);

  std::printf("| %-44s | %15s | %15s | %7s | %6s |\n", "benchmark", "ours", "baseline", "ratio", "goal");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(17, '-').c_str(),
              std::string(17, '-').c_str(), std::string(9, '-').c_str(), std::string(8, '-').c_str());
  // Times to a tenth of a microsecond, sizes in whole bytes.
  auto amount = [](double value, const char* unit) {
    char text[32];
    if (std::string(unit) == "B") {
      std::snprintf(text, sizeof(text), "%.0f B ", value);
    } else {
      std::snprintf(text, sizeof(text), "%.1f %s", value, unit);
    }
    return std::string(text);
  };
  bool allMet = true;
  for (const Row& row : rows) {
    const double ratio = row.ours / row.baseline;
    char goal[16] = "     -";
    if (row.goal > 0) {
      const bool met = ratio <= row.goal;
      allMet = allMet && met;
      std::snprintf(goal, sizeof(goal), "%s%4.2fx", met ? "<=" : "> ", row.goal);
    }
    std::printf("| %-44s | %15s | %15s | %6.2fx | %s |\n", row.name.c_str(), amount(row.ours, row.unit).c_str(),
                amount(row.baseline, row.unit).c_str(), ratio, goal);
  }
  DeleteScratch(scratch);
  std::printf("%s\n", allMet ? "every goal met" : "some goal missed");
  return 0;
}
