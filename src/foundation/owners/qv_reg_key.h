#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/owners/scoped_owner.h"

struct RegKeyTraits {
  using Type = HKEY;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type key) { RegCloseKey(key); }
};

// Owns one open registry key; closes it when replaced or destroyed.
//
// The typed value operations work on the held key; each also exists as a static taking a key
// handle that someone else owns. Every read answers false and leaves its output untouched when no
// key is given, the value is missing, or it does not have the type asked for. Only
// RegQueryValueExW and RegSetValueExW are used (no RegGetValueW: the product loads on XP).
// A 64-bit view is asked for by adding KEY_WOW64_64KEY to the access of open() or create(), of
// every one of them: a key opened relative to a 64-bit one does not inherit its view.
class QVRegKey : public ScopedOwner<RegKeyTraits> {
 public:
  QVRegKey() = default;
  explicit QVRegKey(HKEY key) : ScopedOwner(key) {}

  // Opens an existing key; the held key is replaced only on success. Returns the Win32 result.
  LONG open(HKEY root, const wchar_t* subKey, REGSAM access);
  // Opens or creates a key. `created`, when given, tells whether it was new.
  LONG create(HKEY root, const wchar_t* subKey, REGSAM access, bool* created = nullptr);

  // A REG_DWORD read into a zero-filled 4-byte buffer; data longer than 4 bytes does not count.
  static bool getDword(HKEY key, const wchar_t* name, DWORD* value);
  bool getDword(const wchar_t* name, DWORD* value) const { return getDword(get(), name, value); }

  // A REG_QWORD read into a zero-filled 8-byte buffer; data longer than 8 bytes does not count.
  static bool getQword(HKEY key, const wchar_t* name, uint64_t* value);
  bool getQword(const wchar_t* name, uint64_t* value) const { return getQword(get(), name, value); }

  // The data of a value of any type taken as text, up to its first NUL; `type`, when given,
  // receives the registry type. The size is asked first, then the data is read into a
  // zero-filled buffer of (size + 1) wide characters.
  static bool getString(HKEY key, const wchar_t* name, std::wstring* text, DWORD* type = nullptr);
  bool getString(const wchar_t* name, std::wstring* text, DWORD* type = nullptr) const {
    return getString(get(), name, text, type);
  }

  // Writes a REG_DWORD of 4 bytes. True on success.
  static bool setDword(HKEY key, const wchar_t* name, DWORD value);
  bool setDword(const wchar_t* name, DWORD value) { return setDword(get(), name, value); }

  // Writes a REG_QWORD of 8 bytes, little-endian. True on success.
  static bool setQword(HKEY key, const wchar_t* name, uint64_t value);
  bool setQword(const wchar_t* name, uint64_t value) { return setQword(get(), name, value); }

  // Writes a REG_SZ: the text and its terminating NUL, (length + 1) x 2 bytes. True on success.
  static bool setString(HKEY key, const wchar_t* name, const std::wstring& value);
  bool setString(const wchar_t* name, const std::wstring& value) {
    return setString(get(), name, value);
  }

  // Writes a REG_EXPAND_SZ the same way: placeholders stay unexpanded until the reader expands
  // them. True on success.
  static bool setExpandString(HKEY key, const wchar_t* name, const std::wstring& value);
  bool setExpandString(const wchar_t* name, const std::wstring& value) {
    return setExpandString(get(), name, value);
  }
};
