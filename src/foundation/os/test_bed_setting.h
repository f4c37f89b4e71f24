#pragma once

#include <windows.h>

// Settings that only the Wine test bed writes (tests/testbed/testbed.sh), for what Wine does
// more slowly than Windows: under HKEY_CURRENT_USER "Software\Wine\qvnsis test bed", and read
// only when the library runs under Wine, so that no installer on Windows can be slowed by them,
// whatever its registry holds.
namespace QVOS {

// True when this process runs under Wine (its ntdll exports wine_get_version).
bool runsUnderWine();

// The DWORD `name` of the test bed's key, or `fallback` when it is absent or not running under
// Wine. Read on every call: tests may change it.
DWORD testBedMilliseconds(const wchar_t* name, DWORD fallback);

}  // namespace QVOS
