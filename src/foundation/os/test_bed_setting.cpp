#include "foundation/os/test_bed_setting.h"

#include "foundation/owners/qv_reg_key.h"

namespace QVOS {

namespace {
constexpr wchar_t kTestBedKey[] = L"Software\\Wine\\qvnsis test bed";
}  // namespace

bool runsUnderWine() {
  static const bool underWine = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
  }();
  return underWine;
}

DWORD testBedMilliseconds(const wchar_t* name, DWORD fallback) {
  if (!runsUnderWine()) return fallback;
  QVRegKey key;
  if (key.open(HKEY_CURRENT_USER, kTestBedKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return fallback;
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return value;
}

}  // namespace QVOS
