#pragma once

#include <windows.h>

#include "foundation/owners/scoped_owner.h"

// A directory search (FindFirstFileW), closed with FindClose; a failed search is "none".
struct FindHandleTraits {
  using Type = HANDLE;
  static Type InvalidValue() { return INVALID_HANDLE_VALUE; }
  static void Free(Type handle) { FindClose(handle); }
};

using ScopedFindHandle = ScopedOwner<FindHandleTraits>;
