#pragma once

#include <string>

namespace qvtest {

// Whether the test bed plays 64-bit Windows: always for a 64-bit process, and for a 32-bit one
// when it runs under WoW64. Asked of the system, not of the library under test.
bool WindowsIs64Bit();

// "64bit" or "32bit", as the startup line names the system.
std::wstring WindowsBitsText();

}  // namespace qvtest
