#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/registry.h"

// Windows releases for the tests: what Wine reports to a child, and, for what Wine cannot report,
// a fake answer to the library's version query.
namespace qvtest {

// supportedOS identifiers of an application manifest's compatibility section.
extern const char kWindows81Id[];
extern const char kWindows10Id[];

// A manifest that declares the given supportedOS identifiers; Windows 8.1 and later report their
// own version only to programs that declare them.
std::string CompatibilityManifest(const std::vector<const char*>& supportedOs);

// A child that Wine tells it runs on Windows 10 (10.0, a build below 22000): "win10", and a
// manifest declaring 8.1 and 10 as NSIS 3 installers and rundll32.exe carry.
ChildOptions Windows10Child();

// The same "win10" without that manifest: it is told 6.2, as on Windows.
ChildOptions UndeclaredWindows10Child();

// A Windows 11 build (22H2). Wine has no name for a release with a build from 22000 on.
constexpr DWORD kWindows11Build = 22621;

// A child Wine gives no release of its own ("qvchild_undeclared.exe", no per-program version,
// no manifest): it is told the release the system records (see ScopedSystemRelease), and, as on
// Windows, GetVersionEx tells it 6.2.9200 when that is Windows 8.1 or later.
ChildOptions UndeclaredChild();

// For the scope, the release the system records (CurrentVersion, CurrentMajorVersionNumber,
// CurrentMinorVersionNumber and CurrentBuildNumber of the key "Windows NT\CurrentVersion" below
// HKLM\Software\Microsoft), which Wine reports to every program started meanwhile that has no
// per-program version: the way to a real Windows 11 build. Written in this process's own
// registry view, where a child of the same bitness reads it. Every value is put back after.
class ScopedSystemRelease {
 public:
  ScopedSystemRelease(DWORD major, DWORD minor, DWORD build);
  ~ScopedSystemRelease();
  ScopedSystemRelease(const ScopedSystemRelease&) = delete;
  ScopedSystemRelease& operator=(const ScopedSystemRelease&) = delete;

 private:
  std::vector<std::unique_ptr<ScopedRegistryValue>> values_;
};

// For the scope, this process's own copy of the library (not a qvnsis.dll it loads) takes its
// Windows version from a fake query instead of the system's (RtlGetVersion): for a failing
// query, which Wine cannot produce, and a Windows 11 build where a child with its own release is
// not wanted. The answer the library keeps is forgotten on the way in and
// out, so the next call asks the query in force.
class ScopedFakeWindowsVersion {
 public:
  // Reports major.minor.build.
  ScopedFakeWindowsVersion(DWORD major, DWORD minor, DWORD build);
  // Fails.
  ScopedFakeWindowsVersion();
  ~ScopedFakeWindowsVersion();
  ScopedFakeWindowsVersion(const ScopedFakeWindowsVersion&) = delete;
  ScopedFakeWindowsVersion& operator=(const ScopedFakeWindowsVersion&) = delete;
};

}  // namespace qvtest
