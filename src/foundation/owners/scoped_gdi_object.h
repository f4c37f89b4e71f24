#pragma once

#include <windows.h>

#include "foundation/owners/scoped_owner.h"

// One GDI object (bitmap, brush, region, ...), deleted on every way out.
template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type object) { DeleteObject(object); }
};

template <typename T>
using ScopedGdiObject = ScopedOwner<GdiObjectTraits<T>>;

using ScopedBitmap = ScopedGdiObject<HBITMAP>;
