#include "shell/deskband_release/deskband_release_hook.h"

#include "foundation/os/module_instance.h"
#include "shell/deskband_release/deskband_release.h"

QVDeskbandReleaseHook::QVDeskbandReleaseHook() {
  const HHOOK hook =
      SetWindowsHookExW(WH_CALLWNDPROC, UnloadLibrariesHookProc, GetModuleInstance(), 0);
  // A failed installation leaves nothing to remove.
  if (hook) SetSharedDeskbandHook(hook);
}

QVDeskbandReleaseHook::~QVDeskbandReleaseHook() {
  // Explorer may be claiming it at this very moment: only one of us removes it.
  if (const HHOOK hook = ClaimSharedDeskbandHook()) UnhookWindowsHookEx(hook);
}

namespace {
// Initialised, so the linker keeps it in .shared rather than moving it to .bss.
HHOOK g_sharedHook __attribute__((section(".shared"), shared)) = nullptr;
}  // namespace

HHOOK GetSharedDeskbandHook() {
  return static_cast<HHOOK>(InterlockedCompareExchangePointer(
      reinterpret_cast<PVOID volatile*>(&g_sharedHook), nullptr, nullptr));
}

void SetSharedDeskbandHook(HHOOK hook) {
  InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_sharedHook), hook);
}

HHOOK ClaimSharedDeskbandHook() {
  return static_cast<HHOOK>(
      InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_sharedHook), nullptr));
}
