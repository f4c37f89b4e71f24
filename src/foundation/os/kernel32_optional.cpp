#include "foundation/os/kernel32_optional.h"

namespace Kernel32Optional {
namespace {

// kernel32 is in every process and never unloaded: its handle needs no reference of its own, and
// looking an entry up needs no loading or freeing (nothing to do under the loader lock).
FARPROC Lookup(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

}  // namespace

GetThreadUILanguageFn getThreadUILanguage() {
  return reinterpret_cast<GetThreadUILanguageFn>(Lookup("GetThreadUILanguage"));
}

SetThreadUILanguageFn setThreadUILanguage() {
  return reinterpret_cast<SetThreadUILanguageFn>(Lookup("SetThreadUILanguage"));
}

}  // namespace Kernel32Optional
