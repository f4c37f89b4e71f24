#include "support/resource_usage.h"

namespace qvtest {

DWORD CountHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count) return count;
  // Kernel handles are multiples of 4.
  for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

DWORD CountGdiObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
  // Wine accepts a GDI handle by its table index alone.
  DWORD count = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
  }
  return count;
}

SIZE_T CommittedPrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* address = nullptr;
       VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
  }
  return total;
}

}  // namespace qvtest
