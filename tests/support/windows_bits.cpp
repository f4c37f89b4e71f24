#include "support/windows_bits.h"

#include <windows.h>

namespace qvtest {

bool WindowsIs64Bit() {
#ifdef _WIN64
  return true;
#else
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::wstring WindowsBitsText() { return WindowsIs64Bit() ? L"64bit" : L"32bit"; }

}  // namespace qvtest
