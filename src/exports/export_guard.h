#pragma once

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
