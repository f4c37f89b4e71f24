// Benchmarks of the library, each row a ratio against a baseline measured in the same run.
// Run with `make bench` (under wine64); it prints one table.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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

std::wstring ExecutableDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L"\\/") + 1);
}

struct Row {
  std::string name;
  double ours;
  double baseline;
  double goal;  // 0: the row explains another and has no goal of its own
};

std::vector<Row> LogLineRows(const std::wstring& scratch) {
  SetEnvironmentVariableW(L"TMP", scratch.c_str());
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  HMODULE library = LoadLibraryW((ExecutableDirectory() + L"qvnsis.dll").c_str());
  auto log = reinterpret_cast<void(__cdecl*)(const wchar_t*)>(GetProcAddress(library, "QVNSIS_Log"));
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
  MeasurePerCall(1, 200, rawAppend);
  MeasurePerCall(1, 200, libraryLine);
  std::vector<double> ours, baseline, floor;
  for (int i = 0; i < 5; ++i) {
    baseline.push_back(MeasurePerCall(1, 1000, rawAppend));
    ours.push_back(MeasurePerCall(1, 1000, libraryLine));
    floor.push_back(MeasurePerCall(1, 1000, designFloor));
  }
  std::sort(ours.begin(), ours.end());
  std::sort(baseline.begin(), baseline.end());
  std::sort(floor.begin(), floor.end());
  FreeLibrary(library);
  return {{"QVNSIS_Log line vs raw open-append-close", ours[2], baseline[2], 1.3},
          {"QVNSIS_Log line vs append+registry+mutex", ours[2], floor[2], 0}};
}

void DeleteScratch(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir.c_str());
}

}  // namespace

int main() {
  const std::wstring scratch = ExecutableDirectory() + L"bench-scratch\\";
  DeleteScratch(scratch);
  CreateDirectoryW(scratch.c_str(), nullptr);

  std::vector<Row> rows;
  for (const Row& row : LogLineRows(scratch)) rows.push_back(row);

  std::printf("| %-44s | %12s | %12s | %7s | %6s |\n", "benchmark", "ours (us)", "baseline (us)", "ratio",
              "goal");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(14, '-').c_str(),
              std::string(15, '-').c_str(), std::string(9, '-').c_str(), std::string(8, '-').c_str());
  bool allMet = true;
  for (const Row& row : rows) {
    const double ratio = row.ours / row.baseline;
    char goal[16] = "     -";
    if (row.goal > 0) {
      const bool met = ratio <= row.goal;
      allMet = allMet && met;
      std::snprintf(goal, sizeof(goal), "%s%4.2fx", met ? "<=" : "> ", row.goal);
    }
    std::printf("| %-44s | %12.1f | %13.1f | %6.2fx | %s |\n", row.name.c_str(), row.ours, row.baseline,
                ratio, goal);
  }
  DeleteScratch(scratch);
  std::printf("%s\n", allMet ? "every goal met" : "some goal missed");
  return 0;
}
