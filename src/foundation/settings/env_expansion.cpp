#include "foundation/settings/env_expansion.h"

#include <windows.h>

#include <vector>

namespace QVPaths {

std::wstring expandEnvironment(const std::wstring& text) {
  if (text.empty()) return std::wstring();
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  DWORD needed =
      ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (needed == 0) return text;
  if (needed > buffer.size()) {
    buffer.assign(static_cast<size_t>(needed) + 1, L'\0');
    needed =
        ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed == 0) return text;
  }
  return buffer.data();
}

}  // namespace QVPaths
