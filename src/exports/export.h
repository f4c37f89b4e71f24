#pragma once

// Exports use the C convention (the caller cleans the stack); names are fixed by qvnsis.def.
#define QVNSIS_EXPORT extern "C" __cdecl
// rundll32.exe entries: standard call with its four arguments (16 bytes on x86).
#define QVNSIS_RUNDLL_EXPORT extern "C" __stdcall
