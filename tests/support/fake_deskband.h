#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/registry.h"
#include "support/temp_dir.h"

// The fake deskband libraries qvdeskband_N.dll (N = 0..4) and their window. Each library records
// into "qvdeskband_record.txt" beside itself:
//   DllRegisterServer | DllUnregisterServer <N> <class id text> <Win32 result>
//   RunExplorerPromptHelper <N> <1 when it signalled the ready event, else 0> <its arguments>
//                           <rundll32's whole command line> <the process's bitness: 32 or 64>
//   window-created <N> <window handle> <parent handle>   window-destroyed <N>
//   command <N> <command> <text> <second text> <value> <wParam> <1 when zero-filled, else 0>
//   copydata-rejected <N> <dwData> <cbData>
// The window of class "TovinDeskBandClass2" is titled with its class id text and closes itself
// after recording command 25.
namespace qvtest {

// The braced class identifier of deskband build `number`, as text and as the identifier.
std::wstring DeskbandClsidText(int number);
CLSID DeskbandClsid(int number);

// "Software\Classes\CLSID\{...}" of every deskband build, in build order.
std::vector<std::wstring> DeskbandClassKeys();

// Copies qvdeskband_<number>.dll into `directory` (with a trailing backslash); its full path.
std::wstring InstallDeskbandLibrary(const std::wstring& directory, int number);

inline std::wstring DeskbandRecordPath(const std::wstring& directory) {
  return directory + L"qvdeskband_record.txt";
}

// Runs regsvr32.exe from the system directory with `arguments` to its end; its exit code.
DWORD RunRegsvr32(const std::wstring& arguments);

// The first window of class "TovinDeskBandClass2" below the "Shell_TrayWnd" window, or null.
HWND FindDeskbandWindow();
HWND WaitForDeskbandWindow(DWORD timeoutMs = 10000);

// Places the deskband window of `library` below the taskbar as Explorer would, without the
// taskbar's deskband object (as on systems before Windows 7). The band host process.
ScopedHandle StartBandHost(const std::wstring& library, const std::wstring& clsidText);

// Every build's class registration under each of `roots` removed for the test and put back
// after it.
class ScopedDeskbandRegistrations {
 public:
  explicit ScopedDeskbandRegistrations(std::initializer_list<HKEY> roots);
  ScopedDeskbandRegistrations(const ScopedDeskbandRegistrations&) = delete;
  ScopedDeskbandRegistrations& operator=(const ScopedDeskbandRegistrations&) = delete;

 private:
  std::vector<std::unique_ptr<ScopedRegistryKey>> saved_;
};

// Deskband build 1 installed in the folder `folderName` of a fresh folder, registered for the user
// by regsvr32.exe, and that installation recorded as InstallDir: what QVDeskbandUtil::Show looks
// for. The build's class key and HKCU\SOFTWARE\Tovin are put back at the end of the scope.
class ScopedInstalledDeskband {
 public:
  explicit ScopedInstalledDeskband(const std::wstring& folderName);
  ScopedInstalledDeskband(const ScopedInstalledDeskband&) = delete;
  ScopedInstalledDeskband& operator=(const ScopedInstalledDeskband&) = delete;

  // Installed, registered and recorded.
  bool ok() const { return ok_; }
  // The fresh folder holding the installation, with a trailing backslash: room for records.
  const std::wstring& root() const { return root_.path(); }
  // Without a trailing backslash, as InstallDir holds it.
  const std::wstring& installDir() const { return installDir_; }
  const std::wstring& library() const { return library_; }

 private:
  ScopedTempDir root_;
  ScopedRegistryKey build_;
  ScopedRegistryKey settings_;
  std::wstring installDir_;
  std::wstring library_;
  bool ok_ = false;
};

// For the test's scope: on the way out, closes every deskband window below the taskbar and
// removes the per-user class registration of all five builds.
class ScopedDeskbandCleanup {
 public:
  ScopedDeskbandCleanup() = default;
  ~ScopedDeskbandCleanup();
  ScopedDeskbandCleanup(const ScopedDeskbandCleanup&) = delete;
  ScopedDeskbandCleanup& operator=(const ScopedDeskbandCleanup&) = delete;
};

}  // namespace qvtest
