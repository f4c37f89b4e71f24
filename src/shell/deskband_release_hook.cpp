#include "shell/deskband_release_hook.h"

#include "foundation/module_instance.h"
#include "shell/deskband_hook_handle.h"
#include "shell/deskband_release.h"

QVDeskbandReleaseHook::QVDeskbandReleaseHook() {
  const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, UnloadLibrariesHookProc, GetModuleInstance(), 0);
  // A failed installation leaves nothing to remove.
  if (hook) SetSharedDeskbandHook(hook);
}

QVDeskbandReleaseHook::~QVDeskbandReleaseHook() {
  const HHOOK hook = GetSharedDeskbandHook();
  if (!hook) return;
  UnhookWindowsHookEx(hook);
  SetSharedDeskbandHook(nullptr);
}
