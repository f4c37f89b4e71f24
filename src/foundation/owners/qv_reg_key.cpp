#include "foundation/owners/qv_reg_key.h"

#include <vector>

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

bool QVRegKey::getDword(HKEY key, const wchar_t* name, DWORD* value) {
  if (!key) return false;
  DWORD data = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return false;
  }
  *value = data;
  return true;
}

bool QVRegKey::getQword(HKEY key, const wchar_t* name, uint64_t* value) {
  if (!key) return false;
  uint64_t data = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_QWORD) {
    return false;
  }
  *value = data;
  return true;
}

bool QVRegKey::getString(HKEY key, const wchar_t* name, std::wstring* text, DWORD* type) {
  if (!key) return false;
  DWORD valueType = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  // (size + 1) wide characters for `size` bytes: the last one is never written, so the text
  // always ends in a NUL, whatever the type and length of the data.
  std::vector<wchar_t> buffer(static_cast<size_t>(size) + 1, L'\0');
  DWORD capacity = size * static_cast<DWORD>(sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()),
                       &capacity) != ERROR_SUCCESS) {
    return false;
  }
  *text = buffer.data();
  if (type) *type = valueType;
  return true;
}

bool QVRegKey::setDword(HKEY key, const wchar_t* name, DWORD value) {
  if (!key) return false;
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

bool QVRegKey::setQword(HKEY key, const wchar_t* name, uint64_t value) {
  if (!key) return false;
  return RegSetValueExW(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

namespace {

// The text and its terminating NUL: (length + 1) x 2 bytes.
bool SetText(HKEY key, const wchar_t* name, DWORD type, const std::wstring& value) {
  if (!key) return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

}  // namespace

bool QVRegKey::setString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return SetText(key, name, REG_SZ, value);
}

bool QVRegKey::setExpandString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return SetText(key, name, REG_EXPAND_SZ, value);
}
