#include "support/explorer_registration_keys.h"

namespace qvtest {

ScopedExplorerClassKeys::ScopedExplorerClassKeys() {
  for (const wchar_t* key : kExplorerClassKeys) {
    saved_.push_back(std::make_unique<ScopedRegistryKey>(HKEY_CURRENT_USER, key));
  }
}

}  // namespace qvtest
