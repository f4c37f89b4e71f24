#pragma once

#include <windows.h>

#include <string>

#include "exports/qvnsis_exports.h"

namespace qvtest {

// The built qvnsis.dll beside the test executables (also from a child copied into children\).
std::wstring LibraryPath();

// The real DLL, loaded for the scope.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  explicit operator bool() const { return module_ != nullptr; }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
};

// An export of a loaded module as the pointer type `F`; null when it is missing.
template <typename F>
F ExportOf(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(GetProcAddress(module, name)) : nullptr;
}
template <typename F>
F ExportOf(const Library& library, const char* name) {
  return ExportOf<F>(library.module(), name);
}

}  // namespace qvtest

// The export `name` of `library` (a Library or an HMODULE), typed from its declaration in
// exports/qvnsis_exports.h, so that a changed signature fails to compile here instead of
// calling through a wrong pointer type.
#define QV_EXPORT(library, name) ::qvtest::ExportOf<decltype(&name)>((library), #name)
// Calls the export `name` of `library` with the arguments that follow.
#define QV_CALL(library, name, ...) (QV_EXPORT(library, name)(__VA_ARGS__))
