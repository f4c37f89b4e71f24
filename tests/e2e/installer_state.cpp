#include "e2e/installer_state.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include "support/registry.h"

namespace qve2e {

std::wstring LocalAppData() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path), S_OK);
  return path;
}

std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type) {
  qvtest::RegistryValue value;
  if (!qvtest::ReadRegistryValue(HKEY_CURRENT_USER, path, name, &value, kPlatformView)) return L"<missing>";
  if (type) *type = value.type;
  std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace qve2e
