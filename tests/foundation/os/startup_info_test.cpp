#include <gtest/gtest.h>

#include <cwchar>
#include <regex>

#include "foundation/log/log.h"
#include "foundation/os/startup_info.h"
#include "foundation/os/wow64.h"
#include "support/child_process.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/windows_bits.h"
#include "support/windows_release.h"

namespace {

using QVOS::WindowsVersion;

// Logs the description, as the installer's first call does.
QV_TEST_CHILD(log_startup_info) {
  Log::WriteLine(QVOS::getStartupInfo());
  return 0;
}

}  // namespace

TEST(StartupInfo, DescribesVersionBitnessAndTheTwoLanguages) {
  // 0x7FFF is no language: it has no ISO 639 name, and its part is left out.
  const LANGID kNoLanguage = 0x7FFF;
  struct Case {
    WindowsVersion version;
    bool windows64;
    LANGID system, user;
    const wchar_t* expected;
  } cases[] = {
      {WindowsVersion::Win7, true, 0x0409, 0x0407,
       L"Version: Win7 (64bit) - OS Language: en (0409) - UI Language: de (0407)"},
      {WindowsVersion::WinXP, false, 0x040C, 0x0411,
       L"Version: WinXP (32bit) - OS Language: fr (040c) - UI Language: ja (0411)"},
      {WindowsVersion::Win81, true, 0x0C01, 0x0409,
       L"Version: Win8.1 (64bit) - OS Language: ar (0c01) - UI Language: en (0409)"},
      {WindowsVersion::Unknown, false, 0x0409, kNoLanguage,
       L"Version: Unknown (32bit) - OS Language: en (0409)"},
      {WindowsVersion::Win8, true, kNoLanguage, 0x0407,
       L"Version: Win8 (64bit) - UI Language: de (0407)"},
      {WindowsVersion::WinVista, false, kNoLanguage, kNoLanguage, L"Version: WinVista (32bit)"},
      {WindowsVersion::Win10, true, 0x0409, 0x0407,
       L"Version: Win10 (64bit) - OS Language: en (0409) - UI Language: de (0407)"},
      {WindowsVersion::Win11, false, 0x0411, 0x0409,
       L"Version: Win11 (32bit) - OS Language: ja (0411) - UI Language: en (0409)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QVOS::detail::describeSystem(c.version, c.windows64, c.system, c.user), c.expected);
  }
}

// Under each emulated release, from a process of this build: the version line once, then the
// description, which names the bitness of Windows: "(64bit)" for a 64-bit process although it is
// not under WOW64, and for a 32-bit one only under WOW64.
TEST(StartupInfo, EachEmulatedReleaseFromThisBuild) {
#ifdef _WIN64
  ASSERT_FALSE(QVOS::isWow64()) << "a 64-bit process is not emulated";
#endif
  EXPECT_EQ(QVOS::isWow64(), sizeof(void*) == 4 && qvtest::WindowsIs64Bit());
  // The test bed's languages, as the system reports them to any of its processes.
  const std::wstring languages =
      L" - OS Language: ([a-z]{2,3}) \\(" + qvtest::Hex4(GetSystemDefaultUILanguage()) +
      L"\\) - UI Language: ([a-z]{2,3}) \\(" + qvtest::Hex4(GetUserDefaultUILanguage()) + L"\\)";
  // Windows 8.1 is named as itself, though GetVersionEx tells this child without a manifest 6.2.
  struct Case {
    const wchar_t* wine;
    const wchar_t* name;
    int number;
  } cases[] = {
      {L"winxp", L"WinXP", 5},  {L"win7", L"Win7", 7},    {L"win8", L"Win8", 8},
      {L"win81", L"Win8.1", 9}, {L"win10", L"Win10", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wine);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    qvtest::ChildOptions options;
    options.windowsVersion = c.wine;
    // Windows 10 as installers see it: declared in their manifests.
    if (c.number == 10) options = qvtest::Windows10Child();
    ASSERT_EQ(qvtest::RunChild(L"log_startup_info", {}, options).exitCode, 0u);

    const auto messages = qvtest::LogMessages(qvtest::TodayLogFile(dir.path()));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(
        std::regex_match(messages[0], std::wregex(L"QVOS::getWindowsVersion: \\d+\\.\\d+\\.\\d+; "
                                                  L"WindowsVersion = " +
                                                  std::to_wstring(c.number))))
        << messages[0];
    EXPECT_TRUE(
        std::regex_match(messages[1], std::wregex(std::wstring(L"Version: ") + c.name + L" \\(" +
                                                  qvtest::WindowsBitsText() + L"\\)" + languages)))
        << messages[1];
  }
}

// Windows 11, which Wine cannot report, through the injected version query.
TEST(StartupInfo, Windows11ThroughAnInjectedVersionQuery) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
  const std::wstring description = QVOS::getStartupInfo();
  // The bitness is the system's own, which the injected version does not change.
  EXPECT_EQ(description.rfind(L"Version: Win11 (" + qvtest::WindowsBitsText() + L")", 0), 0u)
      << description;
  EXPECT_EQ(qvtest::LogMessages(qvtest::TodayLogFile(dir.path())),
            std::vector<std::wstring>{L"QVOS::getWindowsVersion: 10.0.22621; WindowsVersion = 11"});
}
