#include "shell/deskband_release/deskband_release_hook.h"

#include "foundation/os/module_instance.h"
#include "shell/deskband_release/deskband_release.h"

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

namespace {
// Initialised, so the linker keeps it in .shared rather than moving it to .bss.
HHOOK g_sharedHook __attribute__((section(".shared"), shared)) = nullptr;
}  // namespace

HHOOK GetSharedDeskbandHook() { return g_sharedHook; }

void SetSharedDeskbandHook(HHOOK hook) { g_sharedHook = hook; }
