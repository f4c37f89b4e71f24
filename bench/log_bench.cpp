// QVNSIS_Log against a raw open-append-close of the same bytes, and against what the design asks
// of every line beyond the append.
#include <windows.h>

#include "families.h"
#include "support/library.h"

namespace qvbench {

std::vector<Row> LogLineRows(const std::wstring& scratch) {
  const qvtest::Library library;
  const auto log = QV_EXPORT(library, QVNSIS_Log);
  if (!log) Abort("cannot load qvnsis.dll");

  const std::wstring message = L"QVNSIS_Bench: a log line of ordinary length, value 12345";
  // The same bytes the library writes for that message.
  const std::wstring line = L"qvnsis_ben 01234 [2014-03-03 09:05:07] " + message + L"\r\n";
  const std::wstring rawPath = scratch + L"raw.log";
  auto rawAppend = [&] {
    HANDLE file = CreateFileW(rawPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
  };
  auto libraryLine = [&] { log(message.c_str()); };
  // What the design itself asks of every line beyond the append: read "OutputDebug" and take
  // and give back the log mutex. Under Wine each of these is a wineserver round trip.
  auto designFloor = [&] {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD value = 0, size = sizeof(value);
      RegQueryValueExW(key, L"OutputDebug", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size);
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
  return {{"QVNSIS_Log line vs raw open-append-close", t[1], t[0], 1.3},
          {"QVNSIS_Log line vs append+registry+mutex", t[1], t[2], 0}};
}

}  // namespace qvbench
