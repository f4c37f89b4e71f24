#pragma once

#include <string>

// Text conversions at the store's edges: wide values are kept as UTF-8 in their text form.
namespace QVUtf8 {

// Invalid input is replaced the way the system's converter does it, never an error.
std::string fromWide(const std::wstring& text);

std::wstring toWide(const std::string& text);

// False, leaving `text` as it was, for any invalid or incomplete sequence (overlong forms and
// encoded surrogates included); no replacement characters.
bool toWideStrict(const char* bytes, size_t count, std::wstring* text);

// Each byte becomes one UTF-16 unit (0xE9 becomes U+00E9); no decoding.
std::wstring widenBytes(const std::string& bytes);

}  // namespace QVUtf8
