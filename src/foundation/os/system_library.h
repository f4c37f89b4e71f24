#pragma once

#include <windows.h>

#include <string>

// Libraries that are neither among Windows's known DLLs nor already loaded by the NSIS stub are
// loaded on first use by their full path in Windows's own folders, never by a bare name: an
// installer started from a downloads folder on Windows XP, Vista, or 7 without the
// SetDefaultDllDirectories update looks a bare name up beside itself first, and the release hook
// loads this library into every program on the desktop, each with its own folder searched first.
// (MinGW's delay-load helper is no way round this: its __delayLoadHelper2 calls LoadLibraryA with
// the bare name.) docs/architecture.md lists which names may stay in the import table and why.
namespace QVOS {

// `fileName` in the system directory of this process's bitness: System32, or SysWOW64 for a
// 32-bit process on 64-bit Windows (asked for directly, so an installer that turned file-system
// redirection off still gets its own bitness). Empty when the directory cannot be had.
std::wstring systemLibraryPath(const wchar_t* fileName);

// Where the side-by-side assembly that `manifest` depends on keeps `fileName` (Windows XP keeps
// GDI+ only there): the assembly's folder, from an activation context made from `manifest`, with
// the file name appended. Empty when the manifest names no such assembly or the file is missing.
std::wstring sideBySideLibraryPath(const ACTCTXW& manifest, const wchar_t* fileName);

// Loads `fileName` from systemLibraryPath; where the system directory has no such file, from
// sideBySideLibraryPath with this library's manifest resource `manifestId` (0: none). Null when
// neither has it, with the last error of the attempt. The caller owns one reference.
HMODULE loadSystemLibrary(const wchar_t* fileName, WORD manifestId = 0);

}  // namespace QVOS
