// Second baseline of the load benchmark: a DLL that does nothing when loaded but is as large as
// qvnsis.dll, whose bytes it carries as read-only data. Under Wine much of a load is the image's
// size, so against this the ratio leaves mostly the library's own start-up and shutdown.
#include <windows.h>

// QVNSIS_IMAGE: the path of the stripped library, given by the build.
asm(".section .rdata,\"dr\"\n"
    ".incbin \"" QVNSIS_IMAGE
    "\"\n"
    ".text\n");

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
