#include "shell/deskband_release/deskband_release.h"

#include <objbase.h>

#include <cwchar>
#include <cwctype>

#include "foundation/log/log.h"
#include "foundation/owners/scoped_handle.h"
#include "shell/deskband_release/deskband_release_hook.h"

const wchar_t kFreeDeskbandEventName[] = L"TovinFreeDeskbandEvent";

namespace {

bool ProcessPathNamesExplorer() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0) return false;
  for (DWORD i = 0; i < length && i < MAX_PATH; ++i) path[i] = towlower(path[i]);
  return wcsstr(path, L"explorer.exe") != nullptr;
}

// Explorer runs many GUI threads, and each of them calls the hook procedure; the release belongs
// to the one that owns the taskbar window, where the message of RunFreeDeskbandW arrives.
bool OnTaskbarThread() {
  const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  return taskbar && GetWindowThreadProcessId(taskbar, nullptr) == GetCurrentThreadId();
}

}  // namespace

bool ReleaseIfInExplorer() {
  if (!GetSharedDeskbandHook()) return false;
  if (!ProcessPathNamesExplorer()) return false;
  // The delay is the time a library must have answered "can unload" before COM frees it; it
  // does not block this thread.
  for (int i = 0; i < 3; ++i) CoFreeUnusedLibrariesEx(500, 0);
  return true;
}

LRESULT CALLBACK UnloadLibrariesHookProc(int code, WPARAM wParam, LPARAM lParam) {
  // Negative codes belong to the hook chain alone.
  if (code < 0 || !OnTaskbarThread() || !ReleaseIfInExplorer()) {
    return CallNextHookEx(GetSharedDeskbandHook(), code, wParam, lParam);
  }
  // Claimed in one step: RunFreeDeskbandW may be taking the hook away at this moment, and a call
  // nested in this one may get this far too; only the one that claims it removes and reports.
  const HHOOK hook = ClaimSharedDeskbandHook();
  const LRESULT result = CallNextHookEx(hook, code, wParam, lParam);
  if (!hook) return result;
  UnhookWindowsHookEx(hook);
  // This runs on Explorer's taskbar thread: nothing may escape into its message dispatch.
  try {
    Log::Stream() << L"UnloadLibrariesHookProc: " << L"unloaded libraries from explorer";
  } catch (...) {
  }
  ScopedHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, kFreeDeskbandEventName));
  if (event) SetEvent(event.get());
  return result;
}
