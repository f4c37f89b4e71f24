// Third baseline of the load benchmark: a minimal DLL whose DllMain writes, by hand, the three
// lines every load of the library writes to the day's log (the Windows version, the language
// manager's start, "DllMain: started"), each as the library writes a line: the temporary folder,
// the "OutputDebug" setting, the log mutex, one append. What a load of the library costs beyond
// this is what its own start-up and size cost.
#include <windows.h>

namespace {

void AppendLine(const wchar_t* message) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH - 32) return;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD value = 0, size = sizeof(value);
    RegQueryValueExW(key, L"OutputDebug", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
  }
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t path[MAX_PATH + 32] = {};
  wsprintfW(path, L"%sTovin-%04u-%02u-%02u.log", folder, now.wYear, now.wMonth, now.wDay);
  wchar_t line[256] = {};
  const int chars = wsprintfW(line, L"bench      %05u [%04u-%02u-%02u %02u:%02u:%02u] %s\r\n",
                              GetCurrentProcessId(), now.wYear, now.wMonth, now.wDay, now.wHour,
                              now.wMinute, now.wSecond, message);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "tovin_log_mutex");
  if (!mutex) return;
  const DWORD wait = WaitForSingleObject(mutex, 20);
  if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line, static_cast<DWORD>(chars * sizeof(wchar_t)), &written, nullptr);
      CloseHandle(file);
    }
    ReleaseMutex(mutex);
  }
  CloseHandle(mutex);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    AppendLine(L"QVOS::getWindowsVersion: 6.1.7601; WindowsVersion = 7");
    AppendLine(L"ThreadLocaleManager::Init: main thread id is 392, langid initialized to 0409");
    AppendLine(L"DllMain: started");
  }
  return TRUE;
}
