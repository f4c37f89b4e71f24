#pragma once

#include <memory>
#include <vector>

#include "support/registry.h"

// The per-user keys under HKCU that the Explorer registrations (the verb "tovin" and the "tovin:"
// protocol) may create, written out here rather than taken from the library.
namespace qvtest {

// Every class key the registrations may create, from the top.
inline constexpr const wchar_t* kExplorerClassKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects",
    L"Software\\Classes\\Directory",
    L"Software\\Classes\\Drive",
    L"Software\\Classes\\lnkfile",
    L"Software\\Classes\\tovin",
};

// The verb keys, each with a "command" subkey.
inline constexpr const wchar_t* kExplorerVerbKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin",
    L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin",
};

// Every class key removed for the scope and put back as it was at its end.
class ScopedExplorerClassKeys {
 public:
  ScopedExplorerClassKeys();
  ScopedExplorerClassKeys(const ScopedExplorerClassKeys&) = delete;
  ScopedExplorerClassKeys& operator=(const ScopedExplorerClassKeys&) = delete;

 private:
  std::vector<std::unique_ptr<ScopedRegistryKey>> saved_;
};

}  // namespace qvtest
