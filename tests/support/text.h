#pragma once

#include <string>

// Text conversions for test messages, file names and comparisons. Written against the system's
// converter rather than the library's own (store/variants/utf8.h), so a test that checks what
// the library stored does not check it with the code under test.
namespace qvtest {

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// Each UTF-16 unit cut to one byte: for ASCII texts only (names, switches, messages).
std::string Narrow(const std::wstring& text);

// A language identifier as four lower-case hex digits, as the log writes it.
std::wstring Hex4(unsigned short languageId);

}  // namespace qvtest
