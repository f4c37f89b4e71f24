#pragma once

#include <windows.h>

#include <utility>

// Owns one open registry key; closes it when replaced or destroyed.
class QVRegKey {
 public:
  QVRegKey() = default;
  explicit QVRegKey(HKEY key) : key_(key) {}
  ~QVRegKey() { reset(); }

  QVRegKey(QVRegKey&& other) noexcept : key_(other.release()) {}
  QVRegKey& operator=(QVRegKey&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  QVRegKey(const QVRegKey&) = delete;
  QVRegKey& operator=(const QVRegKey&) = delete;

  // Opens an existing key; the held key is replaced only on success. Returns the Win32 result.
  LONG open(HKEY root, const wchar_t* subKey, REGSAM access);
  // Opens or creates a key. `created`, when given, tells whether it was new.
  LONG create(HKEY root, const wchar_t* subKey, REGSAM access, bool* created = nullptr);

  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

  void reset(HKEY key = nullptr) {
    if (key_ && key_ != key) RegCloseKey(key_);
    key_ = key;
  }
  HKEY release() { return std::exchange(key_, nullptr); }

 private:
  HKEY key_ = nullptr;
};
