#pragma once

#include <string>

// Full paths of Windows's own programs. Always a full path: an elevated installer that let the
// search find a bare name would run a program planted beside itself or in its working directory.
namespace QVOS {

// `name` in the system directory, as this process sees it (a 32-bit process on 64-bit Windows is
// shown the 32-bit SysWOW64 there). Empty when the directory cannot be had.
std::wstring systemProgramPath(const wchar_t* name);

// `name` of the Windows's own bitness: for a 32-bit process on 64-bit Windows (QVOS::isWow64) the
// 64-bit program, through the Windows folder's "Sysnative" alias of the 64-bit system directory;
// otherwise the same as systemProgramPath. For what must load a 64-bit library on 64-bit Windows.
// The alias exists from Vista on (64-bit XP and Server 2003 only with update KB942589).
std::wstring nativeSystemProgramPath(const wchar_t* name);

}  // namespace QVOS
