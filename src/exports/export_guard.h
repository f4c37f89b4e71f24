#pragma once

#include <windows.h>

#include <new>
#include <type_traits>
#include <utility>

// The one boundary of every export. Its body runs inside; an exception (out of memory, most
// likely) must never unwind into the installer, so it is logged as "<export>: <what was caught>"
// and the export answers its failure value. The export's name comes from the function itself
// (pass __func__) and reaches the body, which may take it as a `const wchar_t*` for its own log
// lines, so no export writes its name by hand.
//
//   QVNSIS_EXPORT int QVNSIS_ShowDeskband() {
//     return GuardedExport(__func__, 0, [&](const wchar_t* name) { ... });
//   }

// An export's name as wide text, from its function's name (ASCII).
class ExportName {
 public:
  explicit ExportName(const char* function) noexcept {
    size_t i = 0;
    for (; function && function[i] && i + 1 < sizeof(text_) / sizeof(text_[0]); ++i) {
      text_[i] = static_cast<wchar_t>(static_cast<unsigned char>(function[i]));
    }
    text_[i] = L'\0';
  }
  const wchar_t* get() const { return text_; }

 private:
  wchar_t text_[64];
};

// Writes "<export>: <what the current exception is>". Only inside a catch block.
void LogCaughtException(const wchar_t* exportName) noexcept;

namespace export_guard_detail {

template <typename Body>
decltype(auto) Run(Body& body, const wchar_t* name) {
  if constexpr (std::is_invocable_v<Body&, const wchar_t*>) {
    return body(name);
  } else {
    return body();
  }
}

template <typename Body>
using Result = decltype(Run(std::declval<Body&>(), static_cast<const wchar_t*>(nullptr)));

}  // namespace export_guard_detail

template <typename Body>
void GuardedExport(const char* function, Body&& body) noexcept {
  const ExportName name(function);
  try {
    export_guard_detail::Run(body, name.get());
  } catch (...) {
    LogCaughtException(name.get());
  }
}

template <typename Body>
export_guard_detail::Result<Body> GuardedExport(
    const char* function, std::common_type_t<export_guard_detail::Result<Body>> fallback,
    Body&& body) noexcept {
  const ExportName name(function);
  try {
    return export_guard_detail::Run(body, name.get());
  } catch (...) {
    LogCaughtException(name.get());
    return fallback;
  }
}

// The boundary of an export that has no result. Its outcome reaches the script as the thread's
// last error (System::Call's "e" option): the body answers ERROR_SUCCESS when it did its work,
// else the Win32 code of what stopped it. The code is set here, after every destructor of the
// body has run, so no log write or handle close can overwrite it before the call returns.
template <typename Body>
void GuardedStatusExport(const char* function, Body&& body) noexcept {
  const ExportName name(function);
  DWORD status = ERROR_GEN_FAILURE;
  try {
    status = export_guard_detail::Run(body, name.get());
  } catch (const std::bad_alloc&) {
    LogCaughtException(name.get());
    status = ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    LogCaughtException(name.get());
  }
  SetLastError(status);
}
