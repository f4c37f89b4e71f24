#include "support/registry.h"

#include <shlwapi.h>

#include <utility>

#include "foundation/owners/qv_reg_key.h"
#include "support/child_process.h"

namespace qvtest {

RegistrySnapshot TakeRegistrySnapshot(HKEY root, const std::wstring& path) {
  RegistrySnapshot snapshot;
  QVRegKey key;
  if (key.open(root, path.c_str(), KEY_READ) != ERROR_SUCCESS) return snapshot;
  snapshot.existed = true;

  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    RegistryValue value;
    value.name.assign(name, nameLength);
    value.type = type;
    value.bytes.resize(size);
    DWORD read = size;
    RegQueryValueExW(key.get(), value.name.c_str(), nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&value.bytes[0]), &read);
    value.bytes.resize(read);
    snapshot.values.push_back(value);
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring subkey(name, nameLength);
    snapshot.subkeys.emplace_back(subkey, TakeRegistrySnapshot(root, path + L"\\" + subkey));
  }
  return snapshot;
}

namespace {

void Recreate(HKEY root, const std::wstring& path, const RegistrySnapshot& snapshot) {
  if (!snapshot.existed) return;
  QVRegKey key;
  if (key.create(root, path.c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
  for (const RegistryValue& value : snapshot.values) {
    RegSetValueExW(key.get(), value.name.c_str(), 0, value.type,
                   reinterpret_cast<const BYTE*>(value.bytes.data()),
                   static_cast<DWORD>(value.bytes.size()));
  }
  for (const auto& subkey : snapshot.subkeys) {
    Recreate(root, path + L"\\" + subkey.first, subkey.second);
  }
}

}  // namespace

void RestoreRegistrySnapshot(HKEY root, const std::wstring& path,
                             const RegistrySnapshot& snapshot) {
  DeleteRegistryKey(root, path);
  Recreate(root, path, snapshot);
}

ScopedRegistryKey::ScopedRegistryKey(HKEY root, std::wstring path)
    : root_(root), path_(std::move(path)), saved_(TakeRegistrySnapshot(root_, path_)) {
  DeleteRegistryKey(root_, path_);
}

ScopedRegistryKey::~ScopedRegistryKey() { RestoreRegistrySnapshot(root_, path_, saved_); }

bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  QVRegKey key;
  return key.open(root, path.c_str(), KEY_READ | view) == ERROR_SUCCESS;
}

void DeleteRegistryKey(HKEY root, const std::wstring& path) { SHDeleteKeyW(root, path.c_str()); }

bool WriteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                        const std::string& bytes, REGSAM view) {
  QVRegKey key;
  if (key.create(root, path.c_str(), KEY_SET_VALUE | view) != ERROR_SUCCESS) return false;
  return RegSetValueExW(key.get(), name.c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring path, std::wstring name,
                                         DWORD type, const std::string& bytes)
    : root_(root), path_(std::move(path)) {
  had_ = ReadRegistryValue(root_, path_, name, &saved_);
  saved_.name = std::move(name);
  WriteRegistryValue(root_, path_, saved_.name, type, bytes);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  if (had_) {
    WriteRegistryValue(root_, path_, saved_.name, saved_.type, saved_.bytes);
    return;
  }
  QVRegKey key;
  if (key.open(root_, path_.c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
    RegDeleteValueW(key.get(), saved_.name.c_str());
}

bool ReadRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name,
                       RegistryValue* value, REGSAM view) {
  QVRegKey key;
  if (key.open(root, path.c_str(), KEY_QUERY_VALUE | view) != ERROR_SUCCESS) return false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  std::string bytes(size, '\0');
  if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]),
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  bytes.resize(size);
  value->name = name;
  value->type = type;
  value->bytes = bytes;
  return true;
}

std::string DwordBytes(DWORD value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

std::string QwordBytes(unsigned long long value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

std::string WideBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()),
                     (text.size() + 1) * sizeof(wchar_t));
}

void RegisterTestComServer(const std::wstring& classKey, const std::wstring& description,
                           const std::wstring& library, const std::wstring& recordPath) {
  const std::wstring server = classKey + L"\\InprocServer32";
  WriteRegistryValue(HKEY_LOCAL_MACHINE, classKey, L"", REG_SZ, WideBytes(description));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, classKey, L"RecordFile", REG_SZ, WideBytes(recordPath));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, server, L"", REG_SZ,
                     WideBytes(ExecutableDirectory() + library));
  WriteRegistryValue(HKEY_LOCAL_MACHINE, server, L"ThreadingModel", REG_SZ, WideBytes(L"Both"));
}

}  // namespace qvtest
