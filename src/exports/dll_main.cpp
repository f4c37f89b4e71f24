#include <windows.h>

#include "foundation/localization/thread_locale_manager.h"
#include "foundation/log/log.h"
#include "foundation/os/module_instance.h"

// Everything below runs under the loader lock, and so does all it reaches (the module instance,
// the thread-language manager, the log, the Windows version query): none of it loads or frees a
// library, starts a thread, initialises COM, sleeps or waits without a bound. static.loader-lock
// (tests/static/check_loader_lock.py) lists that code and holds it to the rule.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  SetModuleInstance(instance);
  if (reason == DLL_PROCESS_ATTACH) {
    ThreadLocaleManager::Init();
    Log::WriteLine(L"DllMain: started");
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    // Unloaded by FreeLibrary (System::Call's "u" option does it after every call); at process
    // exit there is nothing to give back.
    ThreadLocaleManager::Shutdown();
  }
  // The Explorer release is not run from here, although the release hook is what loads the
  // library into Explorer: this code holds the loader lock, and CoFreeUnusedLibrariesEx takes
  // COM's apartment lock (which COM holds while it loads servers, so Explorer could deadlock)
  // and may FreeLibrary other servers. The hook procedure runs on the same thread right after
  // the load, outside the lock, and performs the release there.
  return TRUE;
}
