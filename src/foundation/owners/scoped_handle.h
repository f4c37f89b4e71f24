#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/owners/scoped_owner.h"

// Kernel handles come in two families that fail differently, so each has its own owner:
//  - ScopedHandle: processes, threads, events, mutexes, tokens, ... (OpenProcess, CreateEventW,
//    CreateProcessW's handles). Failure is null. INVALID_HANDLE_VALUE is the same number as
//    GetCurrentProcess(), so it is not "none" here: a pseudo-handle (the current process, thread
//    or token) is held like any handle but never closed.
//  - ScopedFileHandle: files and snapshots (CreateFileW, CreateToolhelp32Snapshot), whose failure
//    is INVALID_HANDLE_VALUE; that value and null are both "none".

// GetCurrentProcess() is -1, GetCurrentThread() -2, and the token pseudo-handles -4 to -6.
inline bool IsPseudoHandle(HANDLE handle) {
  const intptr_t value = reinterpret_cast<intptr_t>(handle);
  return value < 0 && value >= -6;
}

struct KernelHandleTraits {
  using Type = HANDLE;
  static Type InvalidValue() { return nullptr; }
  static void Free(Type handle) {
    if (!IsPseudoHandle(handle)) CloseHandle(handle);
  }
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type InvalidValue() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Free(Type handle) { CloseHandle(handle); }
};

using ScopedHandle = ScopedOwner<KernelHandleTraits>;
using ScopedFileHandle = ScopedOwner<FileHandleTraits>;
