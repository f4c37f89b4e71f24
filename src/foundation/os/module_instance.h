#pragma once

#include <windows.h>

// The library's own module handle, stored by the entry point before anything else runs.
// Code that loads the library's resources takes it from here.
HINSTANCE GetModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Keeps the module holding this code loaded until the process ends. Called once a timer or a
// window subclass points into the library: a script that unloads the library afterwards
// (System::Call's "u" option) would otherwise leave the next tick or message calling freed code.
void KeepModuleLoaded();
