#pragma once

#include <windows.h>

#include "support/import_table.h"

// Wine runs every process at the high integrity level. What a loaded library's integrity queries
// are told here is an elevated installer beside a normal Explorer: its own token high as it is,
// the token of any other process it opens (the shell's) medium. One at a time per process.
namespace qvtest {

class ScopedElevatedInstaller {
 public:
  explicit ScopedElevatedInstaller(HMODULE library);
  ~ScopedElevatedInstaller();
  ScopedElevatedInstaller(const ScopedElevatedInstaller&) = delete;
  ScopedElevatedInstaller& operator=(const ScopedElevatedInstaller&) = delete;

  // Both of the library's token imports were found and replaced.
  bool patched() const { return openToken_.patched() && tokenInformation_.patched(); }

 private:
  ScopedImportPatch openToken_;
  ScopedImportPatch tokenInformation_;
};

}  // namespace qvtest
