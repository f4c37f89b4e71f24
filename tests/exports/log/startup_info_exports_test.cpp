#include <gtest/gtest.h>

#include <regex>

#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/windows_bits.h"
#include "support/windows_release.h"

namespace {

// Loads the real library (args: its path) and calls QVNSIS_LogStartupInfo twice, as an installer
// may.
QV_TEST_CHILD(log_startup_info_twice) {
  const HMODULE library = LoadLibraryW(args.at(0).c_str());
  if (!library) return 2;
  const auto logStartupInfo = QV_EXPORT(library, QVNSIS_LogStartupInfo);
  if (!logStartupInfo) return 3;
  logStartupInfo();
  logStartupInfo();
  FreeLibrary(library);
  return 0;
}

}  // namespace

// Through the real DLL under each release: the version line once per process, then the
// description, without a source name, on each call, naming the bitness of the Windows it runs on.
TEST(Library, QVNSIS_LogStartupInfoWritesTheSystemDescription) {
  struct Case {
    const wchar_t* wine;
    const wchar_t* version;
    const wchar_t* name;
  } cases[] = {
      {L"winxp", L"5\\.1\\.\\d+; WindowsVersion = 5", L"WinXP"},
      {L"win7", L"6\\.1\\.\\d+; WindowsVersion = 7", L"Win7"},
      // Windows 8.1 and 10 are themselves whether the installer's manifest declares them or not.
      {L"win81", L"6\\.3\\.\\d+; WindowsVersion = 9", L"Win8.1"},
      // Declared in the installer's manifest, as NSIS 3 does.
      {L"win10 declared", L"10\\.0\\.\\d+; WindowsVersion = 10", L"Win10"},
      {L"win10", L"10\\.0\\.\\d+; WindowsVersion = 10", L"Win10"},
  };
  const std::wregex description(LR"(Version: (\S+) \()" + qvtest::WindowsBitsText() +
                                LR"(\) - OS Language: [a-z]{2,3} \([0-9a-f]{4}\) - )"
                                LR"(UI Language: [a-z]{2,3} \([0-9a-f]{4}\))");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wine);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    qvtest::ChildOptions options;
    options.windowsVersion = c.wine;
    if (std::wstring(c.wine) == L"win10 declared") options = qvtest::Windows10Child();
    ASSERT_EQ(qvtest::RunChild(L"log_startup_info_twice",
                               {qvtest::ExecutableDirectory() + L"qvnsis.dll"}, options)
                  .exitCode,
              0u);

    // Loading logs the version (asked by the language manager), the language and the start.
    const auto messages = qvtest::LogMessages(qvtest::TodayLogFile(dir.path()));
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_TRUE(std::regex_match(
        messages[0], std::wregex(std::wstring(L"QVOS::getWindowsVersion: ") + c.version)))
        << messages[0];
    EXPECT_EQ(messages[1].rfind(L"ThreadLocaleManager::Init: ", 0), 0u) << messages[1];
    EXPECT_EQ(messages[2], L"DllMain: started");
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(messages[3], m, description)) << messages[3];
    EXPECT_EQ(m.str(1), c.name);
    EXPECT_EQ(messages[4], messages[3]);
  }
}
