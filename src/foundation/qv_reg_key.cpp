#include "foundation/qv_reg_key.h"

LONG QVRegKey::open(HKEY root, const wchar_t* subKey, REGSAM access) {
  HKEY key = nullptr;
  const LONG result = RegOpenKeyExW(root, subKey, 0, access, &key);
  if (result == ERROR_SUCCESS) reset(key);
  return result;
}

LONG QVRegKey::create(HKEY root, const wchar_t* subKey, REGSAM access, bool* created) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG result = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                      nullptr, &key, &disposition);
  if (result != ERROR_SUCCESS) return result;
  reset(key);
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  return result;
}
