#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A loaded module's import table, read and patched from the test process: after LoadLibraryW the
// module's calls to an imported function go through one slot of its import address table, so
// replacing that slot puts a stand-in between that module (and nothing else in the process) and
// the system. For what Windows does and Wine does not (a redirected registry view, a version
// query that lies, a process list that cannot be read, a process id taken over by another
// program), modelled where the real library meets the system.
namespace qvtest {

struct ImportedFunction {
  std::string module;  // as the import table names it, e.g. "ADVAPI32.dll"
  std::string name;    // empty when imported by ordinal
  WORD ordinal = 0;    // only when imported by ordinal
};

// Every function `module` imports at load time, in table order.
std::vector<ImportedFunction> ImportsOf(HMODULE module);

// Replaces the slot of `function` imported from `importedModule` (compared ignoring case) by
// `replacement` for the scope, and puts the original back at its end.
class ScopedImportPatch {
 public:
  ScopedImportPatch(HMODULE module, const char* importedModule, const char* function,
                    void* replacement);
  ~ScopedImportPatch();
  ScopedImportPatch(const ScopedImportPatch&) = delete;
  ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

  // False when the module does not import the function by that name: nothing was replaced.
  bool patched() const { return slot_ != nullptr; }
  // What the slot held before: the system's function.
  void* original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace qvtest
