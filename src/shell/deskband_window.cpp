#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "foundation/log.h"
#include "shell/deskband_command_message.h"
#include "shell/qv_deskband_util.h"

namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";
constexpr wchar_t kDeskbandClass[] = L"TovinDeskBandClass2";
// Longer than either class name, so a longer name never compares equal by truncation.
constexpr int kClassNameCapacity = 64;

// The last deskband window found; only the installer's or rundll32's one thread uses it.
HWND g_deskbandWindow = nullptr;

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
  if (g_deskbandWindow) {
    // Explorer may have recreated the band; a handle value can be reused by another window.
    if (IsWindow(g_deskbandWindow) && ClassNameIs(g_deskbandWindow, kDeskbandClass, true)) {
      return g_deskbandWindow;
    }
    Log::Stream() << L"QVDeskbandUtil::GetDeskBandHWND: " << L"deskband window handle changed";
    g_deskbandWindow = nullptr;
  }

  // Without a taskbar there is nothing to search: a null parent would search the top level.
  const HWND tray = FindTrayWindow();
  ClassSearch search = {kDeskbandClass, nullptr};
  if (tray) EnumChildWindows(tray, MatchClass, reinterpret_cast<LPARAM>(&search));
  g_deskbandWindow = search.found;
  return g_deskbandWindow;
}

bool QVDeskbandUtil::GetBandIndex(int* index, int* count) {
  const HWND deskband = GetDeskBandHWND();
  if (!deskband) return false;
  const HWND container = GetParent(deskband);
  if (!container) return false;

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
