#include <windows.h>

#include "foundation/log.h"
#include "foundation/module_instance.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  SetModuleInstance(instance);
  if (reason == DLL_PROCESS_ATTACH) {
    Log::WriteLine(L"DllMain: started");
  }
  return TRUE;
}
