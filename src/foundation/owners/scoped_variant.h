#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

// Owns one VARIANT (empty when made) and clears it, with any string it holds, on every way out.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }

  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  // A string variant; false (and the variant left empty) when memory for it could not be had.
  bool setString(const std::wstring& text) {
    VariantClear(&value_);
    BSTR bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!bstr) return false;
    V_VT(&value_) = VT_BSTR;
    V_BSTR(&value_) = bstr;
    return true;
  }
  // A 4-byte integer variant.
  void setInt(LONG number) {
    VariantClear(&value_);
    V_VT(&value_) = VT_I4;
    V_I4(&value_) = number;
  }

  VARIANT* get() { return &value_; }
  // A shallow copy for calls that take a VARIANT by value; the original keeps ownership.
  const VARIANT& value() const { return value_; }

 private:
  VARIANT value_;
};
