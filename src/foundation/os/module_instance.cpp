#include "foundation/os/module_instance.h"

#include <windows.h>


namespace {
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE GetModuleInstance() { return g_instance; }

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

void KeepModuleLoaded() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&KeepModuleLoaded), &module);
}
