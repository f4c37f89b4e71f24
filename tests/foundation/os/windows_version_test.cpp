#include <gtest/gtest.h>

#include <regex>

#include "foundation/os/windows_version.h"
#include "support/child_process.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

using QVOS::WindowsVersion;

// An application manifest that declares the given supportedOS identifiers; Windows 8.1 and later
// report their own version only to programs that declare them.
std::string CompatibilityManifest(const std::vector<const char*>& supportedOs) {
  std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
      "    <application>\n";
  for (const char* id : supportedOs) manifest += std::string("      <supportedOS Id=\"") + id + "\"/>\n";
  return manifest + "    </application>\n  </compatibility>\n</assembly>\n";
}

const char kWindows81Id[] = "{1f676c76-80e1-4239-95bb-83d0f6d0da78}";
const char kWindows10Id[] = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}";

// Asks twice; exit code: the version's number, or 99 when the answers differ.
QV_TEST_CHILD(windows_version_twice) {
  const WindowsVersion first = QVOS::getWindowsVersion();
  const WindowsVersion second = QVOS::getWindowsVersion();
  return first == second ? static_cast<int>(first) : 99;
}

}  // namespace

TEST(WindowsVersion, EveryReleaseByItsNumbersAndNothingElse) {
  struct Case { DWORD major, minor; WindowsVersion expected; const wchar_t* name; } cases[] = {
      {4, 0, WindowsVersion::Win95, L"Win95"},       {4, 10, WindowsVersion::Win98, L"Win98"},
      {4, 90, WindowsVersion::WinME, L"WinME"},      {5, 0, WindowsVersion::Win2K, L"Win2K"},
      {5, 1, WindowsVersion::WinXP, L"WinXP"},       {6, 0, WindowsVersion::WinVista, L"WinVista"},
      {6, 1, WindowsVersion::Win7, L"Win7"},         {6, 2, WindowsVersion::Win8, L"Win8"},
      {6, 3, WindowsVersion::Win81, L"Win8.1"},
      // Server 2003 / XP x64, anything after 8.1, and the odd ones in between.
      {5, 2, WindowsVersion::Unknown, L"Unknown"},   {6, 4, WindowsVersion::Unknown, L"Unknown"},
      {10, 0, WindowsVersion::Unknown, L"Unknown"},  {7, 0, WindowsVersion::Unknown, L"Unknown"},
      {4, 1, WindowsVersion::Unknown, L"Unknown"},   {3, 51, WindowsVersion::Unknown, L"Unknown"},
      {0, 0, WindowsVersion::Unknown, L"Unknown"},
  };
  for (const auto& c : cases) {
    const WindowsVersion version = QVOS::detail::windowsVersionFor(c.major, c.minor);
    EXPECT_EQ(version, c.expected) << c.major << "." << c.minor;
    EXPECT_STREQ(QVOS::windowsVersionName(version), c.name) << c.major << "." << c.minor;
  }
  EXPECT_EQ(static_cast<int>(WindowsVersion::WinXP), 5);
  EXPECT_EQ(static_cast<int>(WindowsVersion::Win81), 9);
  EXPECT_GT(WindowsVersion::WinVista, WindowsVersion::WinXP) << "callers compare the numbers";
}

// Each emulated release, asked twice in one process: the right value and exactly one log line.
TEST(WindowsVersion, EachEmulatedReleaseIsReportedAndLoggedOncePerProcess) {
  struct Case {
    const wchar_t* wine;
    std::string manifest;
    WindowsVersion expected;
    const wchar_t* line;  // the log message, build number left open
  } cases[] = {
      {L"winxp", "", WindowsVersion::WinXP, LR"(QVOS::getWindowsVersion: 5\.1\.\d+; WindowsVersion = 5)"},
      {L"win7", "", WindowsVersion::Win7, LR"(QVOS::getWindowsVersion: 6\.1\.\d+; WindowsVersion = 7)"},
      {L"win8", "", WindowsVersion::Win8, LR"(QVOS::getWindowsVersion: 6\.2\.\d+; WindowsVersion = 8)"},
      // Windows 8.1 tells a program without a compatibility manifest that it is Windows 8...
      {L"win81", "", WindowsVersion::Win8, LR"(QVOS::getWindowsVersion: 6\.2\.\d+; WindowsVersion = 8)"},
      // ...and tells the truth to one that declares it.
      {L"win81", CompatibilityManifest({kWindows81Id}), WindowsVersion::Win81,
       LR"(QVOS::getWindowsVersion: 6\.3\.\d+; WindowsVersion = 9)"},
      // A later release is not one the library tells apart.
      {L"win10", CompatibilityManifest({kWindows81Id, kWindows10Id}), WindowsVersion::Unknown,
       LR"(QVOS::getWindowsVersion: 10\.0\.\d+; WindowsVersion = 0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.wine) + (c.manifest.empty() ? L"" : L" with manifest"));
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    qvtest::ChildOptions options;
    options.windowsVersion = c.wine;
    options.manifest = c.manifest;
    if (!c.manifest.empty()) options.exeName = std::wstring(L"qvchild_") + c.wine + L"_manifest.exe";
    EXPECT_EQ(qvtest::RunChild(L"windows_version_twice", {}, options).exitCode,
              static_cast<DWORD>(c.expected));

    const auto messages = qvtest::LogMessages(qvtest::TodayLogFile(dir.path()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(messages[0], std::wregex(c.line))) << messages[0];
  }
}
