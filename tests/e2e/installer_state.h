#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What an installer under test leaves behind for the end-to-end checks to read.
namespace qve2e {

// The user's local application data folder, where the platform installs.
std::wstring LocalAppData();

// The registry view the 64-bit Explorer and engine read on 64-bit Windows, whatever the bitness
// of the installer and of this test (32-bit Windows has only the one view).
constexpr REGSAM kPlatformView = KEY_WOW64_64KEY;

// A value of HKEY_CURRENT_USER as text, "<missing>" when there is none; `type` receives its type.
// Read in the platform's view.
std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type = nullptr);

// Where qvnsis.nsh puts the copies of the DLL that Explorer loads for the deskband's release
// (QVNSIS_RELEASE_DIR's default), with a trailing backslash.
std::wstring ReleaseFolder();

// Every file and folder below `dir` (which ends in a backslash), as paths relative to it; folders
// end in a backslash.
std::vector<std::wstring> FilesBelow(const std::wstring& dir);

// What `files` (from FilesBelow) holds of this library: a copy of the DLL, or NSIS's plug-ins
// folder (ns*.tmp), which holds the copy the installer extracted.
std::vector<std::wstring> LibraryLeftovers(const std::vector<std::wstring>& files);

// The paths queued in the Windows prefix for deletion or renaming at the next reboot
// (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager "PendingFileRenameOperations"),
// without their "\??\" prefix; empty targets (deletions) are left out.
std::vector<std::wstring> PendingFileRenames();

// The entries of `pending` at or below `dir`, case ignored.
std::vector<std::wstring> PendingBelow(const std::vector<std::wstring>& pending,
                                       const std::wstring& dir);

// Fails the test for every copy of the library or NSIS plug-ins folder left below `temp`, and
// every path below it queued for deletion at the next reboot; `after` says after what.
void ExpectNothingOfTheLibraryLeftIn(const std::wstring& temp, const std::string& after);

// The per-user Explorer registrations the library writes (the verb on four classes, the
// protocol), below HKEY_CURRENT_USER.
constexpr const wchar_t* kExplorerRegistrationKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin", L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin", L"Software\\Classes\\tovin"};

}  // namespace qve2e
