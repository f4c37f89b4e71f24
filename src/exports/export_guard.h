#pragma once

#include <windows.h>

#include <new>
#include <type_traits>

// Runs an export's body; an exception (out of memory, most likely) must never unwind into the
// installer, so it ends the call with the export's fallback result instead.
template <typename Body>
void GuardedExport(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

template <typename Body>
std::invoke_result_t<Body&> GuardedExport(std::invoke_result_t<Body&> fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

// Runs the body of an export that has no result. Its outcome reaches the script as the thread's
// last error (System::Call's "e" option): the body answers ERROR_SUCCESS when it did its work,
// else the Win32 code of what stopped it. The code is set here, after every destructor of the
// body has run, so no log write or handle close can overwrite it before the call returns.
template <typename Body>
void GuardedStatusExport(Body&& body) noexcept {
  DWORD status = ERROR_GEN_FAILURE;
  try {
    status = body();
  } catch (const std::bad_alloc&) {
    status = ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
  }
  SetLastError(status);
}
