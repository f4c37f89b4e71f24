#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

// Owns one BSTR; frees it on every way out. A null BSTR is the empty string to COM.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  // Copies the text; null when memory for it could not be had.
  explicit ScopedBstr(const std::wstring& text)
      : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~ScopedBstr() { reset(); }

  ScopedBstr(ScopedBstr&& other) noexcept : bstr_(other.release()) {}
  ScopedBstr& operator=(ScopedBstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  explicit operator bool() const { return bstr_ != nullptr; }
  BSTR get() const { return bstr_; }

  void reset(BSTR bstr = nullptr) {
    BSTR old = std::exchange(bstr_, bstr);
    if (old && old != bstr) SysFreeString(old);
  }
  BSTR release() { return std::exchange(bstr_, nullptr); }

 private:
  BSTR bstr_ = nullptr;
};
