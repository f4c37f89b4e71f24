#pragma once

// Whether this process is a 32-bit one running on 64-bit Windows.
namespace QVOS {

// True only when IsWow64Process succeeds and reports emulation; asked once per process.
// A 64-bit process is not emulated, so the 64-bit build always answers false.
bool isWow64();

}  // namespace QVOS
