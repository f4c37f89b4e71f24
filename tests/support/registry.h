#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// Registry helpers for tests that touch keys the library uses (HKCU\SOFTWARE\Tovin): every test
// puts the key back as it found it.
namespace qvtest {

struct RegistryValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::string bytes;
};

// A key's values and, recursively, its subkeys.
struct RegistrySnapshot {
  bool existed = false;
  std::vector<RegistryValue> values;
  std::vector<std::pair<std::wstring, RegistrySnapshot>> subkeys;
};

RegistrySnapshot TakeRegistrySnapshot(HKEY root, const std::wstring& path);
// Deletes the key with everything under it, then recreates what the snapshot holds (nothing when
// the key did not exist).
void RestoreRegistrySnapshot(HKEY root, const std::wstring& path, const RegistrySnapshot& snapshot);

// Saves a key with its subkeys for the scope and removes it, so the test starts without it; at the
// end of the scope the key is put back exactly as it was, or deleted when it did not exist.
class ScopedRegistryKey {
 public:
  ScopedRegistryKey(HKEY root, std::wstring path);
  ~ScopedRegistryKey();
  ScopedRegistryKey(const ScopedRegistryKey&) = delete;
  ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

 private:
  HKEY root_;
  std::wstring path_;
  RegistrySnapshot saved_;
};

// Sets one value for the scope; at the end the earlier value is put back exactly (its type and
// all its bytes, however long), or removed when there was none.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::wstring path, std::wstring name, DWORD type,
                      const std::string& bytes);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

 private:
  HKEY root_;
  std::wstring path_;
  RegistryValue saved_;
  bool had_;
};

// `view` may add KEY_WOW64_64KEY or KEY_WOW64_32KEY to the access, to look at one registry view
// from a process of the other bitness.
bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
void DeleteRegistryKey(HKEY root, const std::wstring& path);
// Creates the key when needed and writes the value with exactly these bytes. True on success.
bool WriteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                        const std::string& bytes, REGSAM view = 0);
// Reads a value as stored; false when it (or the key) is missing. `view` as above.
bool ReadRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name,
                       RegistryValue* value, REGSAM view = 0);

// Registers a test double's in-process COM class under HKEY_LOCAL_MACHINE (where Wine looks classes
// up): `classKey` is "Software\\Classes\\CLSID\\{...}", `library` a DLL beside the test
// executables, and "RecordFile" in the class key tells the double where to record.
void RegisterTestComServer(const std::wstring& classKey, const std::wstring& description,
                           const std::wstring& library, const std::wstring& recordPath);

// Bytes of a REG_DWORD, a REG_QWORD and a wide string with its terminating NUL.
std::string DwordBytes(DWORD value);
std::string QwordBytes(unsigned long long value);
std::string WideBytes(const std::wstring& text);

}  // namespace qvtest
