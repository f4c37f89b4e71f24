// Baseline of the load benchmark: a DLL from the same toolchain and link flags as qvnsis.dll that
// does nothing when loaded, so the ratio shows what the library's own start-up costs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
