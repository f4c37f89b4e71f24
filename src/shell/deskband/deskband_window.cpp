#include "shell/deskband/qv_deskband_util.h"

#include <windows.h>

#include <atomic>
#include <commctrl.h>
#include <cstdint>
#include <cwchar>
#include <string>

#include "foundation/log/log.h"
#include "shell/deskband/deskband_command_message.h"

// The deskband's window below the taskbar, its band, and the commands it receives.

namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";
constexpr wchar_t kDeskbandClass[] = L"TovinDeskBandClass2";
// Longer than either class name, so a longer name never compares equal by truncation.
constexpr int kClassNameCapacity = 64;

// The last deskband window found. Exports may run on any thread: two that race only search twice.
std::atomic<HWND> g_deskbandWindow{nullptr};

bool ClassNameIs(HWND window, const wchar_t* name, bool ignoreCase) {
  wchar_t className[kClassNameCapacity] = {};
  if (GetClassNameW(window, className, kClassNameCapacity) == 0) return false;
  return (ignoreCase ? _wcsicmp(className, name) : wcscmp(className, name)) == 0;
}

struct ClassSearch {
  const wchar_t* name;
  HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<ClassSearch*>(lParam);
  if (!ClassNameIs(window, search->name, false)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND QVDeskbandUtil::FindTrayWindow() {
  ClassSearch search = {kTrayClass, nullptr};
  EnumWindows(MatchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND QVDeskbandUtil::GetDeskBandHWND() {
  const HWND known = g_deskbandWindow.load();
  if (known) {
    // Explorer may have recreated the band; a handle value can be reused by another window.
    if (IsWindow(known) && ClassNameIs(known, kDeskbandClass, true)) return known;
    Log::Stream() << L"QVDeskbandUtil::GetDeskBandHWND: " << L"deskband window handle changed";
    g_deskbandWindow.store(nullptr);
  }

  // Without a taskbar there is nothing to search: a null parent would search the top level.
  const HWND tray = FindTrayWindow();
  ClassSearch search = {kDeskbandClass, nullptr};
  if (tray) EnumChildWindows(tray, MatchClass, reinterpret_cast<LPARAM>(&search));
  g_deskbandWindow.store(search.found);
  return search.found;
}

bool QVDeskbandUtil::GetBandIndex(int* index, int* count) {
  const HWND deskband = GetDeskBandHWND();
  if (!deskband) return false;
  const HWND container = GetParent(deskband);
  if (!container) return false;
  // RB_GETBANDINFOW carries a pointer that Windows does not marshal: a container in another
  // process (Explorer's taskbar) would read and write that address in its own memory.
  DWORD owner = 0;
  GetWindowThreadProcessId(container, &owner);
  if (owner != GetCurrentProcessId()) {
    Log::Stream() << L"QVDeskbandUtil::GetBandIndex: "
                  << L"band container belongs to another process";
    return false;
  }

  const int bands = static_cast<int>(SendMessageW(container, RB_GETBANDCOUNT, 0, 0));
  if (count) *count = bands;
  *index = -1;
  for (int band = 0; band < bands; ++band) {
    REBARBANDINFOW info = {};
    info.cbSize = REBARBANDINFOW_V3_SIZE;
    info.fMask = RBBIM_CHILD | RBBIM_ID;
    if (!SendMessageW(container, RB_GETBANDINFOW, band, reinterpret_cast<LPARAM>(&info))) continue;
    if (info.hwndChild != deskband) continue;
    *index = static_cast<int>(SendMessageW(container, RB_IDTOINDEX, info.wID, 0));
    return true;
  }
  return false;
}

int QVDeskbandUtil::SendCommand(int command, const std::wstring& text, uint64_t* result,
                                const std::wstring& secondText, int value) {
  return SendDeskbandCommand(GetDeskBandHWND(), 0, command, text, result, secondText, value);
}
