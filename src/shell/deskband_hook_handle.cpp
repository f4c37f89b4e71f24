#include "shell/deskband_hook_handle.h"

namespace {
// Initialised, so the linker keeps it in .shared rather than moving it to .bss.
HHOOK g_sharedHook __attribute__((section(".shared"), shared)) = nullptr;
}  // namespace

HHOOK GetSharedDeskbandHook() { return g_sharedHook; }

void SetSharedDeskbandHook(HHOOK hook) { g_sharedHook = hook; }
