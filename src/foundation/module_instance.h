#pragma once

#include <windows.h>

// The library's own module handle, stored by the entry point before anything else runs.
// Code that loads the library's resources takes it from here.
HINSTANCE GetModuleInstance();
void SetModuleInstance(HINSTANCE instance);
