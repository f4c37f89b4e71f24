#include "foundation/os/wow64.h"

#include <windows.h>

#include <atomic>

namespace QVOS {
namespace {

// Asked once per process; a second thread that asks meanwhile gets the same answer.
constexpr int kNotAsked = -1;
std::atomic<int> g_wow64{kNotAsked};

}  // namespace

bool isWow64() {
  int known = g_wow64.load(std::memory_order_acquire);
  if (known == kNotAsked) {
    BOOL emulated = FALSE;
    known = IsWow64Process(GetCurrentProcess(), &emulated) && emulated ? 1 : 0;
    g_wow64.store(known, std::memory_order_release);
  }
  return known == 1;
}

}  // namespace QVOS
