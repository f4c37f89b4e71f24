#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "foundation/os/windows_version.h"
#include "support/child_process.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/windows_release.h"

namespace {

using QVOS::WindowsVersion;

// Asks twice; exit code: the version's number, or 99 when the answers differ.
QV_TEST_CHILD(windows_version_twice) {
  const WindowsVersion first = QVOS::getWindowsVersion();
  const WindowsVersion second = QVOS::getWindowsVersion();
  return first == second ? static_cast<int>(first) : 99;
}

qvtest::ChildOptions Emulated(const wchar_t* version) {
  qvtest::ChildOptions options;
  options.windowsVersion = version;
  return options;
}

qvtest::ChildOptions DeclaredWindows81() {
  qvtest::ChildOptions options = Emulated(L"win81");
  options.exeName = L"qvchild_win81_manifest.exe";
  options.manifest = qvtest::CompatibilityManifest({qvtest::kWindows81Id});
  return options;
}

}  // namespace

TEST(WindowsVersion, EveryReleaseByItsNumbersAndNothingElse) {
  struct Case {
    DWORD major, minor, build;
    WindowsVersion expected;
    const wchar_t* name;
  } cases[] = {
      {4, 0, 950, WindowsVersion::Win95, L"Win95"},
      {4, 10, 1998, WindowsVersion::Win98, L"Win98"},
      {4, 90, 3000, WindowsVersion::WinME, L"WinME"},
      {5, 0, 2195, WindowsVersion::Win2K, L"Win2K"},
      {5, 1, 2600, WindowsVersion::WinXP, L"WinXP"},
      {6, 0, 6002, WindowsVersion::WinVista, L"WinVista"},
      {6, 1, 7601, WindowsVersion::Win7, L"Win7"},
      {6, 2, 9200, WindowsVersion::Win8, L"Win8"},
      {6, 3, 9600, WindowsVersion::Win81, L"Win8.1"},
      // The build matters for 10.0 alone.
      {6, 1, 22000, WindowsVersion::Win7, L"Win7"},
      {5, 1, 0, WindowsVersion::WinXP, L"WinXP"},
      {10, 0, 10240, WindowsVersion::Win10, L"Win10"},
      {10, 0, 19045, WindowsVersion::Win10, L"Win10"},
      {10, 0, 21999, WindowsVersion::Win10, L"Win10"},
      {10, 0, 22000, WindowsVersion::Win11, L"Win11"},
      {10, 0, 26100, WindowsVersion::Win11, L"Win11"},
      // No build number: the Windows 10 taskbar, which may still host a deskband.
      {10, 0, 0, WindowsVersion::Win10, L"Win10"},
      // Server 2003 / XP x64, the never-released 6.4, and the odd ones in between and after.
      {5, 2, 3790, WindowsVersion::Unknown, L"Unknown"},
      {6, 4, 9841, WindowsVersion::Unknown, L"Unknown"},
      {10, 1, 22000, WindowsVersion::Unknown, L"Unknown"},
      {11, 0, 30000, WindowsVersion::Unknown, L"Unknown"},
      {7, 0, 0, WindowsVersion::Unknown, L"Unknown"},
      {4, 1, 0, WindowsVersion::Unknown, L"Unknown"},
      {3, 51, 1057, WindowsVersion::Unknown, L"Unknown"},
      {0, 0, 0, WindowsVersion::Unknown, L"Unknown"},
  };
  for (const auto& c : cases) {
    const WindowsVersion version = QVOS::detail::windowsVersionFor(c.major, c.minor, c.build);
    EXPECT_EQ(version, c.expected) << c.major << "." << c.minor << "." << c.build;
    EXPECT_STREQ(QVOS::windowsVersionName(version), c.name)
        << c.major << "." << c.minor << "." << c.build;
  }
  EXPECT_EQ(static_cast<int>(WindowsVersion::WinXP), 5);
  EXPECT_EQ(static_cast<int>(WindowsVersion::Win81), 9);
  EXPECT_EQ(static_cast<int>(WindowsVersion::Win10), 10);
  EXPECT_EQ(static_cast<int>(WindowsVersion::Win11), 11);
  // Callers compare the numbers: both new releases are later than XP and at least Vista.
  for (WindowsVersion later :
       {WindowsVersion::WinVista, WindowsVersion::Win10, WindowsVersion::Win11}) {
    EXPECT_GT(later, WindowsVersion::WinXP);
    EXPECT_GE(later, WindowsVersion::WinVista);
  }
}

// Each emulated release, asked twice in one process: the right value and exactly one log line.
TEST(WindowsVersion, EachEmulatedReleaseIsReportedAndLoggedOncePerProcess) {
  struct Case {
    const wchar_t* what;
    qvtest::ChildOptions options;
    WindowsVersion expected;
    const wchar_t* line;  // the log message, build numbers left open
  } cases[] = {
      {L"winxp", Emulated(L"winxp"), WindowsVersion::WinXP,
       LR"(QVOS::getWindowsVersion: 5\.1\.\d+; WindowsVersion = 5)"},
      {L"win7", Emulated(L"win7"), WindowsVersion::Win7,
       LR"(QVOS::getWindowsVersion: 6\.1\.\d+; WindowsVersion = 7)"},
      {L"win8", Emulated(L"win8"), WindowsVersion::Win8,
       LR"(QVOS::getWindowsVersion: 6\.2\.\d+; WindowsVersion = 8)"},
      // Windows 8.1 tells a program without a compatibility manifest that it is Windows 8; the
      // library asks the system itself and takes it for what it is, declared or not...
      {L"win81", Emulated(L"win81"), WindowsVersion::Win81,
       LR"(QVOS::getWindowsVersion: 6\.3\.\d+; WindowsVersion = 9)"},
      {L"win81 declared", DeclaredWindows81(), WindowsVersion::Win81,
       LR"(QVOS::getWindowsVersion: 6\.3\.\d+; WindowsVersion = 9)"},
      // ...and so Windows 10, which says 6.2 to a program that does not declare it.
      {L"win10 declared", qvtest::Windows10Child(), WindowsVersion::Win10,
       LR"(QVOS::getWindowsVersion: 10\.0\.\d+; WindowsVersion = 10)"},
      {L"win10", qvtest::UndeclaredWindows10Child(), WindowsVersion::Win10,
       LR"(QVOS::getWindowsVersion: 10\.0\.\d+; WindowsVersion = 10)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    EXPECT_EQ(qvtest::RunChild(L"windows_version_twice", {}, c.options).exitCode,
              static_cast<DWORD>(c.expected));

    const auto messages = qvtest::LogMessages(qvtest::TodayLogFile(dir.path()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(messages[0], std::wregex(c.line))) << messages[0];
  }
}

// What Wine cannot report, through the injected query: a Windows 11 build, a 10.0 without a build
// number, a failing query. Each answer is kept and logged once; without the fake the system's
// own answer comes back.
TEST(WindowsVersion, InjectedAnswersWineCannotGive) {
  struct Case {
    const wchar_t* what;
    bool fails;
    DWORD build;
    WindowsVersion expected;
    const wchar_t* line;
  } cases[] = {
      {L"Windows 11", false, qvtest::kWindows11Build, WindowsVersion::Win11,
       L"QVOS::getWindowsVersion: 10.0.22621; WindowsVersion = 11"},
      {L"the first Windows 11 build", false, 22000, WindowsVersion::Win11,
       L"QVOS::getWindowsVersion: 10.0.22000; WindowsVersion = 11"},
      {L"the last Windows 10 build below it", false, 21999, WindowsVersion::Win10,
       L"QVOS::getWindowsVersion: 10.0.21999; WindowsVersion = 10"},
      {L"no build number", false, 0, WindowsVersion::Win10,
       L"QVOS::getWindowsVersion: 10.0 without a build number; WindowsVersion = 10"},
      {L"a failing query", true, 0, WindowsVersion::Unknown,
       L"QVOS::getWindowsVersion: GetVersionEx failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    {
      std::unique_ptr<qvtest::ScopedFakeWindowsVersion> fake =
          c.fails ? std::make_unique<qvtest::ScopedFakeWindowsVersion>()
                  : std::make_unique<qvtest::ScopedFakeWindowsVersion>(10, 0, c.build);
      EXPECT_EQ(QVOS::getWindowsVersion(), c.expected);
      EXPECT_EQ(QVOS::getWindowsVersion(), c.expected);
    }
    EXPECT_EQ(qvtest::LogMessages(qvtest::TodayLogFile(dir.path())),
              std::vector<std::wstring>{c.line});
  }

  OSVERSIONINFOW real = {};
  real.dwOSVersionInfoSize = sizeof(real);
  ASSERT_TRUE(QVOS::detail::queryVersion(&real));
  EXPECT_EQ(
      QVOS::getWindowsVersion(),
      QVOS::detail::windowsVersionFor(real.dwMajorVersion, real.dwMinorVersion, real.dwBuildNumber))
      << "the real query again once the fake is gone";
}
