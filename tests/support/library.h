#pragma once

#include <windows.h>

#include <string>

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

  template <typename F>
  F get(const char* name) const {
    return reinterpret_cast<F>(GetProcAddress(module_, name));
  }

 private:
  HMODULE module_;
};

}  // namespace qvtest
