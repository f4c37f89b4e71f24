// The path and file helpers of QVPaths that do not depend on the settings key.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "foundation/settings/qv_paths.h"
#include "support/temp_dir.h"
#include "support/time_zone.h"

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[32768] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
  return length ? std::wstring(buffer, length) : std::wstring();
}

std::wstring DateOf(const SYSTEMTIME& t) {
  wchar_t text[32];
  swprintf(text, 32, L"%d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
  return text;
}

std::wstring LocalToday() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  return DateOf(now);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
         CSTR_EQUAL;
}

}  // namespace

TEST(QuoteArgument, QuotesOnceAndLeavesQuotedTextAlone) {
  EXPECT_EQ(QVPaths::quoteArgument(L""), L"");
  EXPECT_EQ(QVPaths::quoteArgument(L"C:\\P\\Engine\\tovin.exe"), L"\"C:\\P\\Engine\\tovin.exe\"");
  EXPECT_EQ(QVPaths::quoteArgument(L"\"C:\\a b\\x.dll\""), L"\"C:\\a b\\x.dll\"");
  EXPECT_EQ(QVPaths::quoteArgument(L"\"open"), L"\"\"open\"");
  EXPECT_EQ(QVPaths::quoteArgument(L"open\""), L"\"open\"\"");
  EXPECT_EQ(QVPaths::quoteArgument(L"\""), L"\"") << "one quote character is first and last";
  EXPECT_EQ(QVPaths::quoteArgument(L"a \"b\" c"), L"\"a \"b\" c\"")
      << "inner quotes stay as they are";
  EXPECT_EQ(QVPaths::quoteArgument(L"\"\""), L"\"\"");
}

TEST(GetFileStem, TheFileNameWithoutDirectoryAndExtension) {
  EXPECT_EQ(QVPaths::getFileStem(L"C:\\P\\Engine\\tovin.exe"), L"tovin");
  EXPECT_EQ(QVPaths::getFileStem(L"qvdeskband_1234.dll"), L"qvdeskband_1234");
  EXPECT_EQ(QVPaths::getFileStem(L"C:/P/archive.tar.gz"), L"archive.tar");
  EXPECT_EQ(QVPaths::getFileStem(L"C:\\P\\noextension"), L"noextension");
  EXPECT_EQ(QVPaths::getFileStem(L"C:\\P\\"), L"");
  EXPECT_EQ(QVPaths::getFileStem(L"C:\\P.d\\name"), L"name");
  EXPECT_EQ(QVPaths::getFileStem(L""), L"");
  // Components longer than the splitter's 256 characters: Wine's splitter gives nothing, XP's
  // cuts them; either way nothing is written past a buffer.
  const std::wstring longName(600, L'n');
  const std::wstring stem =
      QVPaths::getFileStem(L"C:\\" + std::wstring(400, L'd') + L"\\" + longName + L".x");
  EXPECT_EQ(stem, longName.substr(0, stem.size()));
}

TEST(ExpandEnvironment, ExpandsVariablesAndKeepsTextItCannotExpand) {
  SetEnvironmentVariableW(L"QV_PATHS_VAR", L"C:\\Expanded");
  EXPECT_EQ(QVPaths::expandEnvironment(L""), L"");
  EXPECT_EQ(QVPaths::expandEnvironment(L"%QV_PATHS_VAR%\\Tovin"), L"C:\\Expanded\\Tovin");
  EXPECT_EQ(QVPaths::expandEnvironment(L"no variables"), L"no variables");
  EXPECT_EQ(QVPaths::expandEnvironment(L"%QV_PATHS_UNSET_VAR%\\x"), L"%QV_PATHS_UNSET_VAR%\\x");

  const std::wstring longValue(700, L'v');
  SetEnvironmentVariableW(L"QV_PATHS_VAR", longValue.c_str());
  EXPECT_EQ(QVPaths::expandEnvironment(L"%QV_PATHS_VAR%\\%QV_PATHS_VAR%"),
            longValue + L"\\" + longValue)
      << "a result longer than the first 260-character buffer";
  SetEnvironmentVariableW(L"QV_PATHS_VAR", nullptr);
}

TEST(SystemFolders, TempDirIsWhatTheSystemGivesWithItsBackslash) {
  qvtest::ScopedTempDir dir;
  {
    qvtest::ScopedTempEnv env(dir.path());
    EXPECT_EQ(QVPaths::getTempDir(), dir.path());
  }
  const std::wstring temp = QVPaths::getTempDir();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
}

TEST(SystemFolders, KnownFolderByCsidl) {
  const std::wstring local = QVPaths::getKnownFolderPath(CSIDL_LOCAL_APPDATA);
  ASSERT_FALSE(local.empty());
  EXPECT_TRUE(QVPaths::directoryExists(local)) << local;
  EXPECT_NE(local.back(), L'\\');
  EXPECT_EQ(QVPaths::getKnownFolderPath(28), local);
  EXPECT_FALSE(QVPaths::getKnownFolderPath(CSIDL_APPDATA).empty());
  EXPECT_EQ(QVPaths::getKnownFolderPath(0x7E), L"") << "no such CSIDL";
}

TEST(SystemFolders, UserProfileDirectory) {
  const std::wstring profile = QVPaths::getUserProfileDir();
  ASSERT_FALSE(profile.empty());
  EXPECT_TRUE(QVPaths::directoryExists(profile)) << profile;
  EXPECT_TRUE(SameText(profile, Env(L"USERPROFILE"))) << profile << " vs " << Env(L"USERPROFILE");
}

TEST(FileQueries, FilesAndDirectoriesAreToldApart) {
  qvtest::ScopedTempDir dir;
  const std::wstring file = dir.path() + L"tovin.exe";
  const std::wstring sub = dir.path() + L"Engine";
  qvtest::WriteFileBytes(file, "MZ");
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));

  EXPECT_TRUE(QVPaths::fileExists(file));
  EXPECT_FALSE(QVPaths::directoryExists(file));
  EXPECT_FALSE(QVPaths::fileExists(sub));
  EXPECT_TRUE(QVPaths::directoryExists(sub));
  EXPECT_TRUE(QVPaths::directoryExists(dir.path()));
  EXPECT_FALSE(QVPaths::fileExists(dir.path() + L"missing.exe"));
  EXPECT_FALSE(QVPaths::directoryExists(dir.path() + L"missing"));
  EXPECT_FALSE(QVPaths::fileExists(L""));
  EXPECT_FALSE(QVPaths::directoryExists(L""));
}

TEST(FileQueries, CreationDateOfFilesAndDirectories) {
  qvtest::ScopedTempDir dir;
  const std::wstring before = LocalToday();
  const std::wstring file = dir.path() + L"created.txt";
  qvtest::WriteFileBytes(file, "x");
  const std::wstring sub = dir.path() + L"folder";
  ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
  const std::wstring after = LocalToday();

  const std::wstring fileDate = QVPaths::getFileCreationDate(file);
  EXPECT_TRUE(fileDate == before || fileDate == after) << fileDate;
  const std::wstring dirDate = QVPaths::getFileCreationDate(sub);
  EXPECT_TRUE(dirDate == before || dirDate == after) << "directories are opened too: " << dirDate;
  EXPECT_EQ(QVPaths::getFileCreationDate(dir.path() + L"missing.txt"), L"");
  EXPECT_EQ(QVPaths::getFileCreationDate(L""), L"");
}

TEST(FileQueries, CreationDateIsTheLocalCalendarDateWithTwoDigitMonthAndDay) {
  // Wine keeps no creation time that a program sets, so the formatting of a known time is
  // checked on its own: noon local time, so that no time zone moves it to another day.
  struct Case {
    SYSTEMTIME noon;
    const wchar_t* expected;
  } cases[] = {
      {{2013, 5, 2, 7, 12, 0, 0, 0}, L"2013-05-07"},
      {{2014, 12, 3, 31, 12, 0, 0, 0}, L"2014-12-31"},
      {{1601, 1, 1, 2, 12, 0, 0, 0}, L"1601-01-02"},
  };
  for (const auto& c : cases) {
    FILETIME local = {}, utc = {};
    ASSERT_TRUE(SystemTimeToFileTime(&c.noon, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    EXPECT_EQ(QVPaths::detail::localDateText(utc), c.expected);
  }
}

// A file made in the other season than today's: the offset of its own moment decides its day.
// One winter and one summer pair of moments half an hour either side of local midnight, so that
// whatever the season of the run, one pair lies in the other.
TEST(FileQueriesPacificTime, CreationDateUsesTheOffsetInForceAtThatMoment) {
  if (!qvtest::InPacificTime()) GTEST_SKIP() << "needs TZ=PST8PDT (set by the build for this test)";
  struct Case {
    SYSTEMTIME utc;
    const wchar_t* expected;
  } cases[] = {
      {{2014, 1, 5, 10, 8, 30, 0, 0}, L"2014-01-10"},  // 00:30 PST
      {{2014, 1, 6, 11, 7, 30, 0, 0}, L"2014-01-10"},  // 23:30 PST
      {{2014, 7, 4, 10, 7, 30, 0, 0}, L"2014-07-10"},  // 00:30 PDT
      {{2014, 7, 5, 11, 6, 30, 0, 0}, L"2014-07-10"},  // 23:30 PDT
  };
  for (const auto& c : cases) {
    FILETIME utc = {};
    ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &utc));
    EXPECT_EQ(QVPaths::detail::localDateText(utc), c.expected)
        << c.utc.wMonth << "-" << c.utc.wDay << " " << c.utc.wHour << ":" << c.utc.wMinute
        << " UTC";
  }
}

TEST(EngineWindow, FoundByItsClassWhateverItsTitle) {
  EXPECT_EQ(QVPaths::findEngineWindow(), nullptr) << "no engine runs";
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TOVIN_CLASS";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND window = CreateWindowExW(0, L"TOVIN_CLASS", L"any title", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(QVPaths::findEngineWindow(), window);
  DestroyWindow(window);
  EXPECT_EQ(QVPaths::findEngineWindow(), nullptr);
  UnregisterClassW(L"TOVIN_CLASS", wc.hInstance);
}
