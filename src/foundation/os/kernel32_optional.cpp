#include "foundation/os/kernel32_optional.h"

namespace Kernel32Optional {
namespace {

// Holds kernel32 loaded for the library's lifetime and the entries found in it.
struct Table {
  Table() : module(LoadLibraryW(L"kernel32.dll")) {
    if (!module) return;
    getThreadUILanguage =
        reinterpret_cast<GetThreadUILanguageFn>(GetProcAddress(module, "GetThreadUILanguage"));
    setThreadUILanguage =
        reinterpret_cast<SetThreadUILanguageFn>(GetProcAddress(module, "SetThreadUILanguage"));
  }
  ~Table() {
    if (module) FreeLibrary(module);
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  HMODULE module;
  GetThreadUILanguageFn getThreadUILanguage = nullptr;
  SetThreadUILanguageFn setThreadUILanguage = nullptr;
};

const Table g_table;

}  // namespace

GetThreadUILanguageFn getThreadUILanguage() { return g_table.getThreadUILanguage; }

SetThreadUILanguageFn setThreadUILanguage() { return g_table.setThreadUILanguage; }

}  // namespace Kernel32Optional
