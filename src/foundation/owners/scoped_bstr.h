#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "foundation/owners/scoped_owner.h"

struct BstrTraits {
  using Type = BSTR;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type bstr) { SysFreeString(bstr); }
};

// Owns one BSTR; frees it on every way out. A null BSTR is the empty string to COM.
class ScopedBstr : public ScopedOwner<BstrTraits> {
 public:
  ScopedBstr() = default;
  // Copies the text; null when memory for it could not be had.
  explicit ScopedBstr(const std::wstring& text)
      : ScopedOwner(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
};
