#pragma once

#include <windows.h>

// The window hook that makes Explorer let go of the deskband library. Every process that loads
// the library sees the same value: it lives in the library's shared data section.
HHOOK GetSharedDeskbandHook();
void SetSharedDeskbandHook(HHOOK hook);
