#pragma once

#include <windows.h>

// The library's own module handle, stored by the entry point before anything else runs.
// Code that loads the library's resources takes it from here.
HINSTANCE GetModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Keeps the module holding this code loaded while a timer or a window subclass points into the
// library: a script that unloads the library meanwhile (System::Call's "u" option) would
// otherwise leave the next tick or message calling freed code. One reference, taken on the first
// call after the last hand-over.
void HoldModuleLoaded();

// Gives the reference HoldModuleLoaded took to the caller, who frees it (FreeLibrary) to let the
// library unload; false when none is held. The library never frees it itself: its own code
// would be running when the last reference went.
bool HandOverModuleHold();
