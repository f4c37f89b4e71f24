#include "exports/caller_buffer.h"

#include <cwchar>

bool CopyToCallerBuffer(wchar_t* buffer, int size, const std::wstring& text) {
  if (!buffer || size <= 0) return false;
  if (text.size() + 1 > static_cast<size_t>(size)) {
    buffer[0] = L'\0';
    return false;
  }
  wmemcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}
