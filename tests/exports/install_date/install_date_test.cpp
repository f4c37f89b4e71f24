#include <gtest/gtest.h>

#include <shlobj.h>
#include <userenv.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "exports/qvnsis_exports.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/time_zone.h"
#include "support/windows_release.h"

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";

// Calls one argument-less export of the real DLL (they share QVNSIS_SetInstallDate's type).
QV_TEST_CHILD(call_export) {
  qvtest::Library library;
  auto fn = qvtest::ExportOf<decltype(&QVNSIS_SetInstallDate)>(
      library, std::string(args.at(0).begin(), args.at(0).end()).c_str());
  if (!fn) return 2;
  fn();
  return 0;
}

// Calls QVNSIS_GetInstallDir with a buffer of `size` characters (a null buffer for "null"),
// the buffer pre-filled with '#' and four spare characters, and writes the whole buffer out.
QV_TEST_CHILD(get_install_dir) {
  qvtest::Library library;
  auto fn = QV_EXPORT(library, QVNSIS_GetInstallDir);
  if (!fn) return 2;
  if (args.at(0) == L"null") {
    fn(nullptr, 260);
    return 0;
  }
  const int size = std::stoi(args.at(0));
  std::wstring buffer(std::max(size, 0) + 4, L'#');
  fn(&buffer[0], size);
  qvtest::WriteFileBytes(args.at(1), std::string(reinterpret_cast<const char*>(buffer.data()),
                                                 buffer.size() * sizeof(wchar_t)));
  return 0;
}

int64_t LocalMidnight(int year, int month, int day) {
  std::tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

std::vector<std::wstring> LogMessages(const std::wstring& dir) {
  return qvtest::LogMessages(qvtest::TodayLogFile(dir));
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A fresh HKCU\SOFTWARE\Tovin and log directory, both put back afterwards.
class InstallDateTest : public testing::Test {
 protected:
  void SetUp() override { qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey); }

  void SetInstallDate() {
    ASSERT_EQ(qvtest::RunChild(L"call_export", {L"QVNSIS_SetInstallDate"}).exitCode, 0u);
  }
  qvtest::RegistryValue Value(const wchar_t* name) {
    qvtest::RegistryValue value;
    EXPECT_TRUE(qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kTovinKey, name, &value)) << name;
    return value;
  }
  std::wstring Text(const wchar_t* name) {
    const auto value = Value(name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << name;
    EXPECT_GE(value.bytes.size(), 2u);
    EXPECT_EQ(value.bytes.substr(value.bytes.size() - 2), std::string(2, '\0'))
        << "terminator stored";
    return std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()),
                        value.bytes.size() / 2 - 1);
  }
  int64_t Seconds() {
    const auto value = Value(L"InstallDate2");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(value.bytes.size(), 8u);
    int64_t seconds = 0;
    memcpy(&seconds, value.bytes.data(), std::min<size_t>(8, value.bytes.size()));
    return seconds;
  }
  void SetText(const wchar_t* name, const std::wstring& text) {
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, name, REG_SZ,
                                           qvtest::WideBytes(text)));
  }

  qvtest::ScopedRegistryKey savedKey_{HKEY_CURRENT_USER, kTovinKey};
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_{logDir_.path()};
};

}  // namespace

TEST_F(InstallDateTest, FirstInstallRecordsTodayAndNowThenNothingMore) {
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  SetInstallDate();
  const int64_t after = static_cast<int64_t>(std::time(nullptr));

  const std::wstring date = Text(L"InstallDate");
  EXPECT_EQ(date, qvtest::TodayText());
  EXPECT_EQ(Value(L"InstallDate").bytes.size(), 22u);
  const int64_t seconds = Seconds();
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, after);
  EXPECT_EQ(Text(L"ClientId").size(), 36u) << "the client identifier is stored too";

  auto log = LogMessages(logDir_.path());
  EXPECT_TRUE(Contains(log, L"QVNSIS_SetInstallDate: got install date from system"));
  EXPECT_TRUE(Contains(log, L"QVNSIS_SetInstallDate: storing install date of " + date + L" / " +
                                std::to_wstring(seconds)));

  // A second run finds the date and writes nothing.
  SetText(L"InstallDate", L"2001-02-03");  // a marker: rewriting it would show
  SetInstallDate();
  EXPECT_EQ(Text(L"InstallDate"), L"2001-02-03");
  EXPECT_EQ(Seconds(), seconds);
  log = LogMessages(logDir_.path());
  EXPECT_TRUE(Contains(log, L"QVNSIS_SetInstallDate: install date is already set"));
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::wstring& m) {
                            return m.find(L"storing install date") != std::wstring::npos;
                          }),
            1);
}

TEST_F(InstallDateTest, UpgradeFromADateTextAddsItsLocalMidnight) {
  struct Case {
    std::wstring text;
    int year, month, day;
  } cases[] = {
      {L"2013-06-01", 2013, 6, 1},
      {L"2013-1-5", 2013, 1, 5},
  };
  for (const auto& c : cases) {
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
    SetText(L"InstallDate", c.text);
    SetInstallDate();
    EXPECT_EQ(Text(L"InstallDate"), c.text);
    EXPECT_EQ(Seconds(), LocalMidnight(c.year, c.month, c.day)) << c.text;
  }
  const auto log = LogMessages(logDir_.path());
  EXPECT_EQ(std::count(log.begin(), log.end(), L"QVNSIS_SetInstallDate: added UTC install date"),
            2);
}

// In a zone far from UTC, with daylight saving: a recorded date becomes that day's local
// midnight, 8 hours after UTC midnight in winter and 7 in summer (the day daylight saving ends
// included, whose midnight still falls in summer time).
class InstallDatePacificTime : public InstallDateTest {};

TEST_F(InstallDatePacificTime, ADateTextBecomesItsLocalMidnight) {
  if (!qvtest::InPacificTime()) GTEST_SKIP() << "needs TZ=PST8PDT (set by the build for this test)";
  struct Case {
    std::wstring text;
    int64_t seconds;
  } cases[] = {
      {L"2013-06-01", 1370070000},  // 07:00 UTC
      {L"2014-01-05", 1388908800},  // 08:00 UTC
      {L"2014-11-02", 1414911600},  // 07:00 UTC
  };
  for (const auto& c : cases) {
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
    SetText(L"InstallDate", c.text);
    SetInstallDate();
    EXPECT_EQ(Seconds(), c.seconds) << c.text;
  }
}

TEST_F(InstallDateTest, ExistingInstallDirectoryGivesItsCreationDayAtLocalMidnight) {
  qvtest::ScopedTempDir installDir;
  const std::wstring dir = installDir.path().substr(0, installDir.path().size() - 1);
  SetText(L"InstallDir", dir);
  SetInstallDate();

  // Wine keeps no creation time a program sets, so the directory was made today.
  SYSTEMTIME t = {};
  GetLocalTime(&t);
  EXPECT_EQ(Text(L"InstallDate"), qvtest::TodayText());
  EXPECT_EQ(Seconds(), LocalMidnight(t.wYear, t.wMonth, t.wDay));
  EXPECT_TRUE(Contains(LogMessages(logDir_.path()),
                       L"QVNSIS_SetInstallDate: got install date from existing directory " + dir));
}

TEST_F(InstallDateTest, RecordedButMissingDirectoryFallsBackToTheSystemDate) {
  qvtest::ScopedTempDir parent;
  SetText(L"InstallDir", parent.path() + L"gone");
  SetInstallDate();
  EXPECT_EQ(Text(L"InstallDate"), qvtest::TodayText());
  EXPECT_TRUE(Contains(LogMessages(logDir_.path()),
                       L"QVNSIS_SetInstallDate: got install date from system"));
}

TEST_F(InstallDateTest, UnreadableCreationDateStoresAnEmptyDateTheNextRunRetries) {
  qvtest::ScopedTempDir installDir;
  const std::wstring dir = installDir.path().substr(0, installDir.path().size() - 1);
  SetText(L"InstallDir", dir);
  {
    // Held open without sharing: the creation date cannot be read.
    ScopedFileHandle locked(CreateFileW(dir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(locked);
    SetInstallDate();
    EXPECT_EQ(Text(L"InstallDate"), L"");
    EXPECT_EQ(Seconds(), -1);
  }
  SetInstallDate();
  EXPECT_EQ(Text(L"InstallDate"), qvtest::TodayText()) << "an empty date counts as not set";
}

TEST(InstallDir, LaterThanXpIsTheUnexpandedLocalAppDataPlaceholder) {
  qvtest::ScopedTempDir dir;
  std::vector<qvtest::ChildOptions> releases;
  for (const wchar_t* version : {L"win7", L"win8", L"win81"}) {
    releases.emplace_back();
    releases.back().windowsVersion = version;
  }
  releases.push_back(qvtest::Windows10Child());
  for (const qvtest::ChildOptions& options : releases) {
    const std::wstring version = options.exeName.empty() ? options.windowsVersion : options.exeName;
    const std::wstring out = dir.path() + version;
    ASSERT_EQ(qvtest::RunChild(L"get_install_dir", {L"260", out}, options).exitCode, 0u);
    const std::string bytes = qvtest::ReadFileBytes(out);
    const std::wstring buffer(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(std::wstring(buffer.c_str()), L"%LOCALAPPDATA%\\Tovin") << version;
  }
}

// Windows 11, which Wine cannot report, through the injected version query; a failed query is
// the unknown release, which gets the XP form (the folder's own path, not the placeholder).
TEST(InstallDir, Windows11AndAFailedVersionQuery) {
  std::wstring text(260, L'#');
  {
    qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
    QVNSIS_GetInstallDir(&text[0], 260);
  }
  EXPECT_EQ(std::wstring(text.c_str()), L"%LOCALAPPDATA%\\Tovin");

  text.assign(260, L'#');
  {
    qvtest::ScopedFakeWindowsVersion failing;
    QVNSIS_GetInstallDir(&text[0], 260);
  }
  const std::wstring xpForm = text.c_str();
  EXPECT_EQ(xpForm.find(L"%USERPROFILE%"), 0u) << xpForm;
  EXPECT_EQ(xpForm.substr(xpForm.size() - 6), L"\\Tovin") << xpForm;
}

TEST(InstallDir, OnXpTheLocalFolderIsLowerCasedWithTheProfileAsPlaceholder) {
  wchar_t local[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local), S_OK);
  wchar_t profile[MAX_PATH] = {};
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = MAX_PATH;
  ASSERT_TRUE(GetUserProfileDirectoryW(token, profile, &size));
  CloseHandle(token);
  std::wstring localText = local, profileText = profile;
  ASSERT_EQ(_wcsnicmp(localText.c_str(), profileText.c_str(), profileText.size()), 0)
      << "the test bed's local folder lies in the profile";
  std::wstring rest = localText.substr(profileText.size());
  for (wchar_t& c : rest) c = towlower(c);
  const std::wstring expected = L"%USERPROFILE%" + rest + L"\\Tovin";

  qvtest::ScopedTempDir dir;
  // Windows XP, and a release the version table does not know: 5.2 (XP x64 and Server 2003,
  // Wine's "winxp64") is WindowsVersion Unknown, which takes the XP form too.
  struct Case {
    const wchar_t* version;
    std::wstring release;
    int windowsVersion;
  } cases[] = {
      {L"winxp", L"5.1.", 5},
      {L"winxp64", L"5.2.", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    qvtest::ChildOptions options;
    options.windowsVersion = c.version;
    const std::wstring out = dir.path() + c.version;
    ASSERT_EQ(qvtest::RunChild(L"get_install_dir", {L"260", out}, options).exitCode, 0u);
    const std::string bytes = qvtest::ReadFileBytes(out);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data())), expected);
    // The child really ran as that release.
    const auto versions =
        qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), L"QVOS::getWindowsVersion: ");
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].rfind(c.release, 0), 0u) << versions[0];
    EXPECT_TRUE(EndsWith(versions[0], L"; WindowsVersion = " + std::to_wstring(c.windowsVersion)))
        << versions[0];
  }
}

TEST(InstallDir, BufferSizes) {
  const std::wstring text = L"%LOCALAPPDATA%\\Tovin";  // 20 characters
  const int fits = static_cast<int>(text.size()) + 1;
  struct Case {
    std::wstring size;
    std::wstring expected;
  } cases[] = {
      {std::to_wstring(fits), text + L'\0' + L"####"},
      {std::to_wstring(fits - 1), L'\0' + std::wstring(fits - 2, L'#') + L"####"},
      {L"1", std::wstring(1, L'\0') + L"####"},
      {L"0", L"####"},
      {L"-5", L"####"},
  };
  qvtest::ScopedTempDir dir;
  qvtest::ChildOptions options;
  options.windowsVersion = L"win7";
  for (const auto& c : cases) {
    const std::wstring out = dir.path() + L"size" + c.size;
    ASSERT_EQ(qvtest::RunChild(L"get_install_dir", {c.size, out}, options).exitCode, 0u);
    const std::string bytes = qvtest::ReadFileBytes(out);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2),
              c.expected)
        << "size " << c.size;
  }
  EXPECT_EQ(qvtest::RunChild(L"get_install_dir", {L"null"}, options).exitCode, 0u)
      << "a null buffer";
}

// Values of another type: a date and the installation directory are read as the text of their
// bytes, so a REG_DWORD 0 reads as empty (not set) and any other number as a date that is set;
// seconds that are no REG_QWORD count as missing and are written afresh.
TEST_F(InstallDateTest, ValuesOfAnotherType) {
  constexpr int64_t kNow = INT64_MIN;                         // the time of the call
  const std::string twelve = qvtest::DwordBytes(0x00320031);  // bytes 31 00 32 00: "12"
  struct Preset {
    const wchar_t* name;
    DWORD type;
    std::string bytes;
  };
  struct Case {
    const char* what;
    std::vector<Preset> presets;
    DWORD dateType;
    std::string dateBytes;
    int64_t seconds;
    std::wstring line;
  } cases[] = {
      {"InstallDate a REG_DWORD 0",
       {{L"InstallDate", REG_DWORD, qvtest::DwordBytes(0)}},
       REG_SZ,
       qvtest::WideBytes(qvtest::TodayText()),
       kNow,
       L"got install date from system"},
      {"InstallDate a REG_DWORD of other bytes",
       {{L"InstallDate", REG_DWORD, twelve}},
       REG_DWORD,
       twelve,
       -1,
       L"added UTC install date"},
      {"InstallDate2 a REG_DWORD",
       {{L"InstallDate", REG_SZ, qvtest::WideBytes(L"2013-06-01")},
        {L"InstallDate2", REG_DWORD, qvtest::DwordBytes(5)}},
       REG_SZ,
       qvtest::WideBytes(L"2013-06-01"),
       LocalMidnight(2013, 6, 1),
       L"added UTC install date"},
      {"InstallDate2 eight bytes of REG_BINARY",
       {{L"InstallDate", REG_SZ, qvtest::WideBytes(L"2013-06-01")},
        {L"InstallDate2", REG_BINARY, qvtest::QwordBytes(5)}},
       REG_SZ,
       qvtest::WideBytes(L"2013-06-01"),
       LocalMidnight(2013, 6, 1),
       L"added UTC install date"},
      // Numbers beyond 16 bits would wrap into 2013-01-05 if they were not checked first.
      {"InstallDate with out-of-range numbers",
       {{L"InstallDate", REG_SZ, qvtest::WideBytes(L"67549-65537-65541")}},
       REG_SZ,
       qvtest::WideBytes(L"67549-65537-65541"),
       -1,
       L"added UTC install date"},
      {"InstallDir a REG_DWORD",
       {{L"InstallDir", REG_DWORD, twelve}},
       REG_SZ,
       qvtest::WideBytes(qvtest::TodayText()),
       kNow,
       L"got install date from system"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
    for (const Preset& p : c.presets) {
      ASSERT_TRUE(
          qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, p.name, p.type, p.bytes));
    }
    qvtest::ScopedTempDir logDir;
    qvtest::ScopedTempEnv logEnv(logDir.path());
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    SetInstallDate();
    const int64_t after = static_cast<int64_t>(std::time(nullptr));

    const qvtest::RegistryValue date = Value(L"InstallDate");
    EXPECT_EQ(date.type, c.dateType);
    EXPECT_EQ(date.bytes, c.dateBytes);
    if (c.seconds == kNow) {
      EXPECT_GE(Seconds(), before);
      EXPECT_LE(Seconds(), after);
    } else {
      EXPECT_EQ(Seconds(), c.seconds);
    }
    const auto log = LogMessages(logDir.path());
    EXPECT_EQ(std::count(log.begin(), log.end(), L"QVNSIS_SetInstallDate: " + c.line), 1);
  }
}
