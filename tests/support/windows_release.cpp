#include "support/windows_release.h"

#include "foundation/os/windows_version.h"

namespace qvtest {
namespace {

// The fake's answer; one fake at a time.
DWORD g_major = 0, g_minor = 0, g_build = 0;

bool ReportFake(OSVERSIONINFOW* info) {
  info->dwMajorVersion = g_major;
  info->dwMinorVersion = g_minor;
  info->dwBuildNumber = g_build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return true;
}

bool Fail(OSVERSIONINFOW*) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

}  // namespace

const char kWindows81Id[] = "{1f676c76-80e1-4239-95bb-83d0f6d0da78}";
const char kWindows10Id[] = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}";

std::string CompatibilityManifest(const std::vector<const char*>& supportedOs) {
  std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
      "    <application>\n";
  for (const char* id : supportedOs)
    manifest += std::string("      <supportedOS Id=\"") + id + "\"/>\n";
  return manifest + "    </application>\n  </compatibility>\n</assembly>\n";
}

ChildOptions Windows10Child() {
  ChildOptions options;
  options.windowsVersion = L"win10";
  options.exeName = L"qvchild_win10_declared.exe";
  options.manifest = CompatibilityManifest({kWindows81Id, kWindows10Id});
  return options;
}

ChildOptions UndeclaredWindows10Child() {
  ChildOptions options;
  options.windowsVersion = L"win10";
  return options;
}

ChildOptions UndeclaredChild() {
  ChildOptions options;
  options.exeName = L"qvchild_undeclared.exe";
  return options;
}

ScopedSystemRelease::ScopedSystemRelease(DWORD major, DWORD minor, DWORD build) {
  const wchar_t kKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
  const std::wstring version = std::to_wstring(major) + L"." + std::to_wstring(minor);
  values_.push_back(std::make_unique<ScopedRegistryValue>(
      HKEY_LOCAL_MACHINE, kKey, L"CurrentVersion", REG_SZ, WideBytes(version)));
  values_.push_back(std::make_unique<ScopedRegistryValue>(
      HKEY_LOCAL_MACHINE, kKey, L"CurrentMajorVersionNumber", REG_DWORD, DwordBytes(major)));
  values_.push_back(std::make_unique<ScopedRegistryValue>(
      HKEY_LOCAL_MACHINE, kKey, L"CurrentMinorVersionNumber", REG_DWORD, DwordBytes(minor)));
  values_.push_back(std::make_unique<ScopedRegistryValue>(
      HKEY_LOCAL_MACHINE, kKey, L"CurrentBuildNumber", REG_SZ, WideBytes(std::to_wstring(build))));
}

ScopedSystemRelease::~ScopedSystemRelease() = default;

ScopedFakeWindowsVersion::ScopedFakeWindowsVersion(DWORD major, DWORD minor, DWORD build) {
  g_major = major;
  g_minor = minor;
  g_build = build;
  QVOS::detail::setVersionQuery(&ReportFake);
}

ScopedFakeWindowsVersion::ScopedFakeWindowsVersion() { QVOS::detail::setVersionQuery(&Fail); }

ScopedFakeWindowsVersion::~ScopedFakeWindowsVersion() { QVOS::detail::setVersionQuery(nullptr); }

}  // namespace qvtest
