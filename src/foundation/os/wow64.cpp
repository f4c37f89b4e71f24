#include "foundation/os/wow64.h"

#include <windows.h>

namespace QVOS {
namespace {

bool g_wow64Known = false;
bool g_wow64 = false;

}  // namespace

bool isWow64() {
  if (!g_wow64Known) {
    BOOL emulated = FALSE;
    g_wow64 = IsWow64Process(GetCurrentProcess(), &emulated) && emulated;
    g_wow64Known = true;
  }
  return g_wow64;
}

}  // namespace QVOS
