#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exports/installer_windows/default_browser.h"
#include "support/browsers.h"
#include "support/child_process.h"
#include "support/text.h"
#include "support/windows_release.h"

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Opens args[0] as the installer would, in a process with the Windows version of the caller's
// choosing.
QV_TEST_CHILD(open_url) {
  OpenUrlInDefaultBrowser(qvtest::Narrow(args.at(0)));
  return 0;
}

struct ChosenCase {
  const char* url;
  const wchar_t* commandTail;  // after the quoted program path
  const wchar_t* expected;     // what the chosen browser receives
};

}  // namespace

// The chosen browser's command is run unchanged but for the URL in every "%1".
TEST(DefaultBrowser, RunsTheChosenBrowsersCommandWithTheUrl) {
  const ChosenCase cases[] = {
      {"https://www.example.com/a?b=c", L" -- \"%1\"", L"-- \"https://www.example.com/a?b=c\""},
      // Scheme in capitals: accepted and passed on as written, through the https choice.
      {"HTTPS://WWW.EXAMPLE.COM/", L" https-choice \"%1\"",
       L"https-choice \"HTTPS://WWW.EXAMPLE.COM/\""},
      {"Http://h/x", L" http-choice \"%1\"", L"http-choice \"Http://h/x\""},
      // Every "%1" is replaced; one inside the URL is not replaced again.
      {"https://h/a%1b", L" \"%1\" \"%1\"", L"\"https://h/a%1b\" \"https://h/a%1b\""},
      // A URL cannot end its argument early: quotes and white space arrive percent-encoded.
      {"https://h/a\" --evil \"b", L" \"%1\"", L"\"https://h/a%22%20--evil%20%22b\""},
  };
  for (const ChosenCase& c : cases) {
    qvtest::ScopedBrowsers browsers;
    const std::wstring tail = c.commandTail;
    const bool https = tail.find(L"http-choice") == std::wstring::npos;
    const std::wstring command = Quoted(browsers.chosenBrowser()) + tail;
    browsers.setChoice(https ? L"https" : L"http", L"QvTestBrowserURL", command.c_str());
    OpenUrlInDefaultBrowser(c.url);
    EXPECT_EQ(browsers.chosenRecords(1), std::vector<std::wstring>{c.expected}) << c.url;
    EXPECT_TRUE(browsers.shellRecords(0, 0).empty()) << c.url;
  }
}

// Whatever stands between the URL and a started browser, the shell opens the URL instead.
TEST(DefaultBrowser, FallsBackToTheShellWhenTheChoiceCannotRun) {
  enum Setup { kNoChoice, kNoCommand, kUnquotedUrl, kUnquotedProgram, kOtherScheme };
  const Setup setups[] = {kNoChoice, kNoCommand, kUnquotedUrl, kUnquotedProgram, kOtherScheme};
  const std::string url = "https://www.example.com/fallback";
  for (Setup setup : setups) {
    qvtest::ScopedBrowsers browsers;
    const std::wstring program = browsers.chosenBrowser();
    switch (setup) {
      case kNoChoice:
        break;
      case kNoCommand:
        browsers.setChoice(L"https", L"QvTestBrowserURL", nullptr);
        break;
      case kUnquotedUrl: {
        // Wrapped whole in quotes, it names no program.
        const std::wstring command = Quoted(program) + L" %1";
        browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());
        break;
      }
      case kUnquotedProgram: {
        const std::wstring command = program + L" %1";
        browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());
        break;
      }
      case kOtherScheme: {
        // A choice for http only says nothing about https.
        const std::wstring command = Quoted(program) + L" \"%1\"";
        browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());
        break;
      }
    }
    OpenUrlInDefaultBrowser(url);
    EXPECT_EQ(browsers.shellRecords(1),
              std::vector<std::wstring>{L"\"https://www.example.com/fallback\""})
        << "setup " << setup;
    EXPECT_TRUE(browsers.chosenRecords(0, 0).empty()) << "setup " << setup;
  }
}

TEST(DefaultBrowser, DropsShortAndNonHttpUrls) {
  qvtest::ScopedBrowsers browsers;
  const std::wstring command = Quoted(browsers.chosenBrowser()) + L" \"%1\"";
  browsers.setChoice(L"http", L"QvTestBrowserURL", command.c_str());
  browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());

  for (const char* url :
       {"", "http://", "https:/", "ftp://www.example.com/file", "file:///C:/x.html",
        "mailto:someone@example.com", "www.example.com", "https//www.example.com"}) {
    OpenUrlInDefaultBrowser(url);
  }
  // The shortest URL that counts, last: once it is recorded, any earlier start would have been.
  OpenUrlInDefaultBrowser("http://a");
  EXPECT_EQ(browsers.chosenRecords(1), std::vector<std::wstring>{L"\"http://a\""});
  Sleep(1000);
  EXPECT_EQ(browsers.chosenRecords(0, 0).size(), 1u);
  EXPECT_TRUE(browsers.shellRecords(0, 0).empty());
}

// Windows XP has no per-user choice: the shell opens the URL even when one is registered.
TEST(DefaultBrowser, WindowsXpAlwaysOpensThroughTheShell) {
  qvtest::ScopedBrowsers browsers;
  const std::wstring command = Quoted(browsers.chosenBrowser()) + L" \"%1\"";
  browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());

  qvtest::ChildOptions xp;
  xp.windowsVersion = L"winxp";
  ASSERT_EQ(qvtest::RunChild(L"open_url", {L"https://www.example.com/xp"}, xp).exitCode, 0u);
  EXPECT_EQ(browsers.shellRecords(1), std::vector<std::wstring>{L"\"https://www.example.com/xp\""});
  EXPECT_TRUE(browsers.chosenRecords(0, 0).empty());

  // The same process on Windows 7 takes the choice.
  qvtest::ChildOptions win7;
  win7.windowsVersion = L"win7";
  ASSERT_EQ(qvtest::RunChild(L"open_url", {L"https://www.example.com/7"}, win7).exitCode, 0u);
  EXPECT_EQ(browsers.chosenRecords(1), std::vector<std::wstring>{L"\"https://www.example.com/7\""});
}

// Windows 10 takes the user's choice whether the installer's manifest declares it or not (told
// 6.2 by GetVersionEx, it is still Windows 10 to the library), and so does Windows 11, which Wine
// has no name for and the injected version query stands in for; a failed version query is the
// unknown release, which opens through the shell as XP does.
TEST(DefaultBrowser, Windows10And11TakeTheUsersChoice) {
  struct Case {
    const wchar_t* what;
    qvtest::ChildOptions options;
    const wchar_t* url;
  } cases[] = {
      {L"win10 declared", qvtest::Windows10Child(), L"https://www.example.com/10"},
      {L"win10 undeclared", qvtest::UndeclaredWindows10Child(),
       L"https://www.example.com/10-undeclared"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::ScopedBrowsers browsers;
    const std::wstring command = Quoted(browsers.chosenBrowser()) + L" \"%1\"";
    browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());
    ASSERT_EQ(qvtest::RunChild(L"open_url", {c.url}, c.options).exitCode, 0u);
    EXPECT_EQ(browsers.chosenRecords(1), std::vector<std::wstring>{Quoted(c.url)});
    EXPECT_TRUE(browsers.shellRecords(0, 0).empty());
  }

  qvtest::ScopedBrowsers browsers;
  const std::wstring command = Quoted(browsers.chosenBrowser()) + L" \"%1\"";
  browsers.setChoice(L"https", L"QvTestBrowserURL", command.c_str());
  {
    qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
    OpenUrlInDefaultBrowser("https://www.example.com/11");
  }
  EXPECT_EQ(browsers.chosenRecords(1),
            std::vector<std::wstring>{L"\"https://www.example.com/11\""});
  {
    qvtest::ScopedFakeWindowsVersion failing;
    OpenUrlInDefaultBrowser("https://www.example.com/unknown");
  }
  EXPECT_EQ(browsers.shellRecords(1),
            std::vector<std::wstring>{L"\"https://www.example.com/unknown\""});
  EXPECT_EQ(browsers.chosenRecords(1, 0).size(), 1u);
}
