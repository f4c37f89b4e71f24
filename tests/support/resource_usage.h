#pragma once

#include <windows.h>

// What a leak would raise in this process. Wine answers 0 to GetProcessHandleCount,
// GetGuiResources and the private-usage counter, so there the handles and GDI objects are counted
// by probing and the committed private memory by walking the address space.
namespace qvtest {

DWORD CountHandles();
DWORD CountGdiObjects();
SIZE_T CommittedPrivateBytes();

}  // namespace qvtest
