#pragma once

#include <windows.h>

#include <string>

#include "exports/export_guard.h"

// What a buffer-filling export hands the installer: its text, and the outcome to report once the
// text has arrived (ERROR_SUCCESS, or the code of what the text stands in for, such as a missing
// string's placeholder). An empty text is none to give: `status` then says why.
struct CallerText {
  std::wstring text;
  DWORD status = ERROR_SUCCESS;
};

namespace detail {
// The copy, once FillCallerBuffer has checked the buffer.
DWORD CopyCallerText(wchar_t* buffer, int size, const CallerText& text);
}  // namespace detail

// The whole body of an export that fills an installer's buffer of `size` characters (`function`
// is the export's __func__, as for GuardedStatusExport). The rules,
// in order, with the outcome left as the thread's last error (as GuardedStatusExport leaves it):
//   NULL buffer                    ERROR_INVALID_PARAMETER; `makeText` does not run
//   size 0 or less                 ERROR_INSUFFICIENT_BUFFER, buffer untouched; `makeText` does not
//   run no text (empty)                buffer untouched (the macros' buffer starts empty); its
//   status text and terminator too long   the empty string (buffer[0] only, rather than a cut text
//   the
//                                  script would take for whole); ERROR_INSUFFICIENT_BUFFER
//   otherwise                      text and terminator copied; its status
// Nothing here logs: a missing or short buffer is the script's mistake, told by the code, and
// the macros pass ${NSIS_MAX_STRLEN}. `makeText` logs, under the export's name, what its own work
// found worth knowing.
template <typename MakeText>
void FillCallerBuffer(const char* function, wchar_t* buffer, int size,
                      MakeText&& makeText) noexcept {
  GuardedStatusExport(function, [&]() -> DWORD {
    if (!buffer) return ERROR_INVALID_PARAMETER;
    if (size <= 0) return ERROR_INSUFFICIENT_BUFFER;
    return detail::CopyCallerText(buffer, size, makeText());
  });
}
