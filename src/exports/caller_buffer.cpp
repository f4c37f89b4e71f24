#include "exports/caller_buffer.h"

#include <cwchar>

namespace detail {

DWORD CopyCallerText(wchar_t* buffer, int size, const CallerText& text) {
  if (text.text.empty()) return text.status;
  if (text.text.size() + 1 > static_cast<size_t>(size)) {
    buffer[0] = L'\0';
    return ERROR_INSUFFICIENT_BUFFER;
  }
  wmemcpy(buffer, text.text.c_str(), text.text.size() + 1);
  return text.status;
}

}  // namespace detail
