#include "support/library.h"

#include "support/child_process.h"

namespace qvtest {

std::wstring LibraryPath() {
  std::wstring dir = ExecutableDirectory();
  const std::wstring children = L"children\\";
  if (dir.size() > children.size() &&
      _wcsicmp(dir.c_str() + dir.size() - children.size(), children.c_str()) == 0) {
    dir.resize(dir.size() - children.size());
  }
  return dir + L"qvnsis.dll";
}

Library::Library() : module_(LoadLibraryW(LibraryPath().c_str())) {}

Library::~Library() {
  if (module_) FreeLibrary(module_);
}

}  // namespace qvtest
