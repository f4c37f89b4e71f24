#pragma once

#include <string>

// Copies `text` and its terminator into the installer's buffer of `size` characters. Text that
// does not fit leaves the empty string (when there is room for one character) rather than a cut
// text the script would take for whole; a null buffer or a size of 0 or less is left untouched.
// True when the whole text arrived.
bool CopyToCallerBuffer(wchar_t* buffer, int size, const std::wstring& text);
