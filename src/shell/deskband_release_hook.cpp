#include "shell/deskband_release_hook.h"

#include "foundation/module_instance.h"
#include "shell/deskband_hook_handle.h"
#include "shell/deskband_release.h"

QVDeskbandReleaseHook::QVDeskbandReleaseHook() {
  const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, UnloadLibrariesHookProc, GetModuleInstance(), 0);
  SetSharedDeskbandHook(hook);
  installed_ = hook != nullptr;
}

QVDeskbandReleaseHook::~QVDeskbandReleaseHook() {
  const HHOOK hook = GetSharedDeskbandHook();
  if (!hook) return;
  UnhookWindowsHookEx(hook);
  SetSharedDeskbandHook(nullptr);
}
