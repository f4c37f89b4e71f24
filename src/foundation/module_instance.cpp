#include "foundation/module_instance.h"

namespace {
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE GetModuleInstance() { return g_instance; }

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }
