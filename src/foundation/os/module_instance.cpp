#include "foundation/os/module_instance.h"

#include <windows.h>

namespace {
HINSTANCE g_instance = nullptr;
LONG g_held = 0;  // 1 while HoldModuleLoaded's reference is the library's
}  // namespace

HINSTANCE GetModuleInstance() { return g_instance; }

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

void HoldModuleLoaded() {
  if (InterlockedCompareExchange(&g_held, 1, 0) != 0) return;
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&HoldModuleLoaded), &module)) {
    InterlockedExchange(&g_held, 0);
  }
}

bool HandOverModuleHold() { return InterlockedExchange(&g_held, 0) == 1; }
