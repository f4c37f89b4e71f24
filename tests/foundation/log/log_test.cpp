#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/log/log.h"
#include "support/child_process.h"
#include "support/holding_child.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/time_zone.h"

namespace {

using qvtest::ReadLogLines;

// Log::Stream writes what a default-formatted standard stream would write for the same parts.
template <typename... Parts>
void ExpectAsStandardStream(const Parts&... parts) {
  std::wostringstream standard;
  (standard << ... << parts);
  Log::Stream ours;
  (ours << ... << parts);
  EXPECT_EQ(ours.str(), standard.str());
}

SYSTEMTIME Day(WORD year, WORD month, WORD day, WORD hour = 12) {
  SYSTEMTIME t = {};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  return t;
}

SYSTEMTIME Today() {
  SYSTEMTIME t = {};
  GetLocalTime(&t);
  return t;
}

SYSTEMTIME DaysAfter(SYSTEMTIME t, int days) {
  FILETIME ft = {};
  SystemTimeToFileTime(&t, &ft);
  ULARGE_INTEGER v = {{ft.dwLowDateTime, ft.dwHighDateTime}};
  v.QuadPart += static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ULL;
  ft = {v.LowPart, v.HighPart};
  FileTimeToSystemTime(&ft, &t);
  return t;
}

std::wstring DayFile(const std::wstring& dir, const SYSTEMTIME& t) {
  wchar_t name[64];
  swprintf(name, 64, L"Tovin-%04d-%02d-%02d.log", t.wYear, t.wMonth, t.wDay);
  return dir + name;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// HKCU\SOFTWARE\Tovin "OutputDebug" set for the scope; the key is put back as it was.
class ScopedOutputDebug {
 public:
  ScopedOutputDebug(DWORD type, const std::string& bytes)
      : saved_(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin") {
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, L"SOFTWARE\\Tovin", L"OutputDebug", type, bytes);
  }

 private:
  qvtest::ScopedRegistryKey saved_;
};

// Writes `count` lines "<tag> <i> <payload>" through Log::WriteLine.
QV_TEST_CHILD(log_lines) {
  const int count = std::stoi(args.at(0));
  const std::wstring tag = args.at(1);
  const std::wstring payload(args.size() > 2 ? std::stoi(args.at(2)) : 0,
                             tag.empty() ? L'x' : tag[0]);
  for (int i = 1; i <= count; ++i) Log::WriteLine(tag + L" " + std::to_wstring(i) + L" " + payload);
  return 0;
}

// Writes 100 lines dated YYYY MM DD; after the 50th it plants `plant` in the temporary directory,
// so the test can see whether the 100th line cleans up again.
QV_TEST_CHILD(log_lines_on_day) {
  const SYSTEMTIME day =
      Day(static_cast<WORD>(std::stoi(args.at(0))), static_cast<WORD>(std::stoi(args.at(1))),
          static_cast<WORD>(std::stoi(args.at(2))));
  const int count = std::stoi(args.at(3));
  for (int i = 1; i <= count; ++i) {
    Log::detail::WriteLineAt(L"line " + std::to_wstring(i), day);
    if (i == 50 && args.size() > 4) qvtest::WriteFileBytes(args.at(4), "x");
  }
  return 0;
}

// Writes lines through Log::detail::WriteLineAt in steps, each argument one step
// "YYYY-MM-DD:count" or "YYYY-MM-DD:count:file": `count` lines dated that day (at noon), then
// `file` planted in the temporary directory.
QV_TEST_CHILD(log_lines_on_days) {
  int line = 0;
  for (const std::wstring& step : args) {
    int year = 0, month = 0, day = 0, count = 0, used = 0;
    if (swscanf(step.c_str(), L"%d-%d-%d:%d%n", &year, &month, &day, &count, &used) != 4) return 2;
    const SYSTEMTIME date =
        Day(static_cast<WORD>(year), static_cast<WORD>(month), static_cast<WORD>(day));
    for (int i = 0; i < count; ++i)
      Log::detail::WriteLineAt(L"line " + std::to_wstring(++line), date);
    if (step[used] == L':') qvtest::WriteFileBytes(step.substr(used + 1), "x");
  }
  return 0;
}

}  // namespace

TEST(LogFormat, LineLayout) {
  const SYSTEMTIME t = {2014, 3, 1, 3, 9, 5, 7, 0};
  struct Case {
    std::wstring name;
    uint32_t pid;
    std::wstring expected;
  } cases[] = {
      {L"setup", 4312, L"setup      04312 [2014-03-03 09:05:07] hello\r\n"},
      {L"InstallerS", 7, L"InstallerS 00007 [2014-03-03 09:05:07] hello\r\n"},
      {L"a", 1234567, L"a          1234567 [2014-03-03 09:05:07] hello\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Log::detail::FormatLine(c.name, c.pid, t, L"hello"), c.expected);
  }
  const SYSTEMTIME evening = {2014, 12, 0, 31, 23, 59, 58, 0};
  EXPECT_EQ(Log::detail::FormatLine(L"p", 1, evening, L"m"),
            L"p          00001 [2014-12-31 23:59:58] m\r\n");
  EXPECT_EQ(Log::detail::DayFileName(t), L"Tovin-2014-03-03.log");
}

// The day file as code outside the writer asks for it (an export that names it): the file the
// writer appends to, in the temporary directory.
TEST(LogFile, DayFilePathIsWhereTheDaysLinesGo) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const SYSTEMTIME today = Today();
  EXPECT_EQ(Log::detail::DayFilePathAt(today), DayFile(dir.path(), today));
  Log::detail::WriteLineAt(L"a line", today);
  EXPECT_EQ(ReadLogLines(Log::detail::DayFilePathAt(today)).size(), 1u);
  // The public form reads the clock: today's file, or tomorrow's had midnight passed meanwhile.
  const std::wstring now = Log::DayFilePath();
  EXPECT_TRUE(now == DayFile(dir.path(), today) || now == DayFile(dir.path(), DaysAfter(today, 1)))
      << now;
}

TEST(LogFile, ByteOrderMarkOnceThenLinesAndTheNextDayStartsANewFile) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const SYSTEMTIME today = Today();
  const SYSTEMTIME tomorrow = DaysAfter(today, 1);

  Log::detail::WriteLineAt(L"first", today);
  Log::detail::WriteLineAt(L"second", today);
  Log::detail::WriteLineAt(L"after midnight", tomorrow);

  const std::string bytes = qvtest::ReadFileBytes(DayFile(dir.path(), today));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));
  EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos) << "only one byte-order mark";
  EXPECT_EQ(bytes.size() % 2, 0u);

  const std::wregex layout(LR"(foundation \d{5,} \[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\] (.*))");
  const auto lines = ReadLogLines(DayFile(dir.path(), today));
  ASSERT_EQ(lines.size(), 2u);
  std::wsmatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, layout)) << lines[0];
  EXPECT_EQ(m.str(1), L"first");
  ASSERT_TRUE(std::regex_match(lines[1], m, layout));
  EXPECT_EQ(m.str(1), L"second");
  EXPECT_EQ(std::stoul(lines[0].substr(11, lines[0].find(L' ', 11) - 11)), GetCurrentProcessId());

  const std::string next = qvtest::ReadFileBytes(DayFile(dir.path(), tomorrow));
  EXPECT_EQ(next.substr(0, 2), std::string("\xFF\xFE"));
  const auto nextLines = ReadLogLines(DayFile(dir.path(), tomorrow));
  ASSERT_EQ(nextLines.size(), 1u);
  EXPECT_TRUE(EndsWith(nextLines[0], L"] after midnight"));
}

TEST(LogFile, ProcessNameIsTheExecutableStemCutToTenCharacters) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  struct Case {
    std::wstring exe;
    std::wstring shown;
  } cases[] = {
      {L"InstallerSetup.exe", L"InstallerS "},
      {L"setup.exe", L"setup      "},
  };
  for (const auto& c : cases) {
    qvtest::ChildOptions options;
    options.exeName = c.exe;
    ASSERT_EQ(qvtest::RunChild(L"log_lines", {L"1", c.exe}, options).exitCode, 0u);
  }
  const auto lines = ReadLogLines(DayFile(dir.path(), Today()));
  ASSERT_EQ(lines.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(lines[i].substr(0, 11), cases[i].shown);
    EXPECT_TRUE(EndsWith(lines[i], L"] " + cases[i].exe + L" 1 ")) << lines[i];
  }
}

TEST(LogFile, LinesOfConcurrentProcessesArriveWhole) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const int kLines = 200;
  const int kPayload = 300;
  {
    qvtest::RunningChild a(L"log_lines",
                           {std::to_wstring(kLines), L"A", std::to_wstring(kPayload)});
    qvtest::RunningChild b(L"log_lines",
                           {std::to_wstring(kLines), L"B", std::to_wstring(kPayload)});
    qvtest::RunningChild c(L"log_lines",
                           {std::to_wstring(kLines), L"C", std::to_wstring(kPayload)});
    ASSERT_EQ(a.wait(), 0u);
    ASSERT_EQ(b.wait(), 0u);
    ASSERT_EQ(c.wait(), 0u);
  }
  const std::string bytes = qvtest::ReadFileBytes(DayFile(dir.path(), Today()));
  EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos);

  const std::wregex whole(LR"(foundation \d{5,} \[[^\]]+\] ([ABC]) (\d+) ([ABC]+))");
  std::map<wchar_t, int> lastIndex;
  int total = 0;
  for (const auto& line : ReadLogLines(DayFile(dir.path(), Today()))) {
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << "broken line: " << line.substr(0, 80);
    const wchar_t tag = m.str(1)[0];
    EXPECT_EQ(m.str(3), std::wstring(kPayload, tag));
    const int index = std::stoi(m.str(2));
    EXPECT_GT(index, lastIndex[tag]) << "lines of one process stay in order";
    lastIndex[tag] = index;
    ++total;
  }
  // A line may be dropped when the mutex stays busy for 20 ms, but most arrive.
  EXPECT_GT(total, kLines);
  EXPECT_LE(total, 3 * kLines);
}

TEST(LogFile, AnotherProcessHoldingTheMutexMakesTheLineGoMissing) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  {
    qvtest::HoldingChild holder(L"hold_mutex", {L"tovin_log_mutex"});
    ASSERT_TRUE(holder.holding());
    Log::WriteLine(L"lost while the mutex is busy");
    ASSERT_EQ(holder.finish(), 0u);
  }
  Log::WriteLine(L"kept once it is free");
  const auto lines = ReadLogLines(DayFile(dir.path(), Today()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(EndsWith(lines[0], L"] kept once it is free"));
}

// Callers log and then report GetLastError() ("(err: N) ..."): the file, mutex and registry work
// of a line must leave the thread's error as the caller set it, on the line that creates the
// file, on the lines that append to it (where opening the existing file and mutex says
// ERROR_ALREADY_EXISTS), and on a line that goes nowhere.
TEST(LogFile, WritingALineKeepsTheCallersLastError) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  for (const DWORD error : {DWORD{ERROR_SUCCESS}, DWORD{ERROR_FILE_NOT_FOUND}, DWORD{1234}}) {
    SetLastError(error);
    Log::WriteLine(L"line after error " + std::to_wstring(error));
    EXPECT_EQ(GetLastError(), error) << "WriteLine";
    SetLastError(error);
    Log::Stream() << L"Source: stream after error " << error;
    EXPECT_EQ(GetLastError(), error) << "Stream";
  }
  EXPECT_EQ(ReadLogLines(DayFile(dir.path(), Today())).size(), 6u);

  const std::wstring missing = dir.path() + L"missing\\";
  qvtest::ScopedTempEnv nowhere(missing);
  SetLastError(ERROR_ACCESS_DENIED);
  Log::WriteLine(L"nowhere to go");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(LogCleanup, FiftiethLineKeepsTodayAndThreeDaysAndRemovesTheRestOncePerDay) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const std::wstring d = dir.path();
  for (const wchar_t* name :
       {L"Tovin-2014-03-06.log", L"Tovin-2014-03-07.log", L"Tovin-2014-03-08.log",
        L"Tovin-2014-03-09.log", L"Tovin-2014-02-28.log", L"Tovin-old.log", L"Tovin-2014-13-01.log",
        L"Other-2014-01-01.log", L"Tovin-67550-3-10.log"}) {
    qvtest::WriteFileBytes(d + name, "x");
  }

  // 49 lines: no clean-up yet.
  ASSERT_EQ(qvtest::RunChild(L"log_lines_on_day", {L"2014", L"3", L"10", L"49"}).exitCode, 0u);
  EXPECT_TRUE(qvtest::FileExists(d + L"Tovin-2014-03-06.log"));
  EXPECT_TRUE(qvtest::FileExists(d + L"Tovin-old.log"));

  // 100 lines in a new process: the 50th cleans up; a file planted after it survives the 100th.
  ASSERT_EQ(qvtest::RunChild(L"log_lines_on_day",
                             {L"2014", L"3", L"10", L"100", d + L"Tovin-2014-01-01.log"})
                .exitCode,
            0u);
  struct Expect {
    const wchar_t* name;
    bool kept;
  } expected[] = {
      {L"Tovin-2014-03-10.log", true},  {L"Tovin-2014-03-09.log", true},
      {L"Tovin-2014-03-08.log", true},  {L"Tovin-2014-03-07.log", true},
      {L"Tovin-2014-03-06.log", false}, {L"Tovin-2014-02-28.log", false},
      {L"Tovin-old.log", false},        {L"Tovin-2014-13-01.log", false},
      {L"Other-2014-01-01.log", true},  {L"Tovin-2014-01-01.log", true},
      {L"Tovin-67550-3-10.log", false},  // no date, though 67550 - 65536 would be 2014
  };
  for (const auto& e : expected) EXPECT_EQ(qvtest::FileExists(d + e.name), e.kept) << e.name;
  EXPECT_EQ(ReadLogLines(d + L"Tovin-2014-03-10.log").size(), 149u);
}

// Once per day, not once per process: the first clean-up line of the next day cleans again,
// later ones of that day do not.
TEST(LogCleanup, AProcessRunningIntoTheNextDayCleansUpAgain) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const std::wstring d = dir.path();
  ASSERT_EQ(qvtest::RunChild(L"log_lines_on_days",
                             {L"2014-03-10:50:" + d + L"Tovin-2014-03-07.log",
                              L"2014-03-11:50:" + d + L"Tovin-2014-03-01.log", L"2014-03-11:50"})
                .exitCode,
            0u);
  // The 100th line, the first of 11 March to clean up, took the day file of 7 March (kept on
  // the 10th); the one planted after it survives the 150th.
  EXPECT_FALSE(qvtest::FileExists(d + L"Tovin-2014-03-07.log"));
  EXPECT_TRUE(qvtest::FileExists(d + L"Tovin-2014-03-01.log"));
  EXPECT_EQ(ReadLogLines(d + L"Tovin-2014-03-10.log").size(), 50u);
  EXPECT_EQ(ReadLogLines(d + L"Tovin-2014-03-11.log").size(), 100u);
}

// In a zone with daylight saving the cut-off is three times 24 hours before local midnight. When
// daylight saving ended within those days (2 November 2014) one of them had 25 hours, and the
// third day back falls before the cut-off; after its start (9 March) the three days are kept.
TEST(LogCleanupPacificTime, TheCutOffIsSeventyTwoHoursBeforeLocalMidnight) {
  if (!qvtest::InPacificTime()) GTEST_SKIP() << "needs TZ=PST8PDT (set by the build for this test)";
  struct Case {
    const wchar_t* today;
    std::vector<const wchar_t*> kept, deleted;
  } cases[] = {
      {L"2014-11-04",
       {L"2014-11-04", L"2014-11-03", L"2014-11-02"},
       {L"2014-11-01", L"2014-10-31"}},
      {L"2014-03-11",
       {L"2014-03-11", L"2014-03-10", L"2014-03-09", L"2014-03-08"},
       {L"2014-03-07"}},
      {L"2014-07-15",
       {L"2014-07-15", L"2014-07-14", L"2014-07-13", L"2014-07-12"},
       {L"2014-07-11"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.today);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    for (const auto* list : {&c.kept, &c.deleted}) {
      for (const wchar_t* day : *list)
        qvtest::WriteFileBytes(dir.path() + L"Tovin-" + day + L".log", "x");
    }
    ASSERT_EQ(qvtest::RunChild(L"log_lines_on_days", {std::wstring(c.today) + L":50"}).exitCode,
              0u);
    for (const wchar_t* day : c.kept)
      EXPECT_TRUE(qvtest::FileExists(dir.path() + L"Tovin-" + day + L".log")) << day;
    for (const wchar_t* day : c.deleted)
      EXPECT_FALSE(qvtest::FileExists(dir.path() + L"Tovin-" + day + L".log")) << day;
  }
}

TEST(LogDebugOutput, OnlyTheMessageAndALineFeedReachTheDebugger) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
    bool sent;
  } cases[] = {
      {"DWORD 1", REG_DWORD, std::string("\x01\0\0\0", 4), true},
      {"DWORD 0", REG_DWORD, std::string(4, '\0'), false},
      {"one-byte binary", REG_BINARY, std::string("\x01", 1), true},
      {"QWORD 1 (too long)", REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8), false},
  };
  for (const auto& c : cases) {
    ScopedOutputDebug value(c.type, c.bytes);
    qvtest::ChildOptions options;
    options.captureDebugOutput = true;
    const auto result = qvtest::RunChild(L"log_lines", {L"1", L"debugged"}, options);
    ASSERT_EQ(result.exitCode, 0u) << c.what << ", failure " << result.failure;
    int ours = 0;
    for (const auto& s : result.debugOutput) {
      if (s.find(L"debugged") == std::wstring::npos) continue;
      ++ours;
      EXPECT_EQ(s, L"debugged 1 \n") << c.what;
    }
    EXPECT_EQ(ours, c.sent ? 1 : 0) << c.what;
  }
  // Every run still wrote its line to the file.
  EXPECT_EQ(ReadLogLines(DayFile(dir.path(), Today())).size(), 4u);
}

TEST(LogBadInput, EmptyMessagesMissingDirectoriesAndHugeMessages) {
  qvtest::ScopedTempDir dir;
  {
    qvtest::ScopedTempEnv env(dir.path());
    Log::WriteLine(L"");
    EXPECT_FALSE(qvtest::FileExists(DayFile(dir.path(), Today())))
        << "empty message writes nothing";
  }
  {
    const std::wstring missing = dir.path() + L"missing\\";
    qvtest::ScopedTempEnv env(missing);
    Log::WriteLine(L"nowhere to go");
    EXPECT_FALSE(qvtest::FileExists(missing));
  }
  {
    qvtest::ScopedTempEnv env(dir.path());
    std::wstring huge(1 << 20, L'\x263A');
    huge[0] = L'<';
    huge.back() = L'>';
    Log::WriteLine(huge);
    const auto lines = ReadLogLines(DayFile(dir.path(), Today()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(EndsWith(lines[0], L"] " + huge));
  }
}

TEST(LogStream, ComposesOneLineAndScopeTraceBrackets) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  {
    Log::Stream() << L"Source: " << "caf\xE9 " << 42 << L' ' << static_cast<const wchar_t*>(nullptr)
                  << std::string("end");
    Log::Stream hex;
    hex << std::hex << 255;
  }
  Log::Stream() << 255;  // each stream starts with default formatting
  {
    Log::ScopeTrace trace(L"Windows8Manager::Start");
    Log::WriteLine(L"inside");
  }
  const auto lines = ReadLogLines(DayFile(dir.path(), Today()));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(EndsWith(lines[0], L"] Source: caf\u00E9 42 end"));
  EXPECT_TRUE(EndsWith(lines[1], L"] ff"));
  EXPECT_TRUE(EndsWith(lines[2], L"] 255"));
  EXPECT_TRUE(EndsWith(lines[3], L"] Windows8Manager::Start: entered"));
  EXPECT_TRUE(EndsWith(lines[4], L"] inside"));
  EXPECT_TRUE(EndsWith(lines[5], L"] Windows8Manager::Start: exited"));
}

TEST(LogStream, WritesValuesAsADefaultFormattedStandardStream) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  ExpectAsStandardStream(0, L' ', -1, L' ', INT_MIN, L' ', INT_MAX, L' ', UINT_MAX);
  ExpectAsStandardStream(LONG_MIN, L' ', ULONG_MAX, L' ', LLONG_MIN, L' ', ULLONG_MAX);
  ExpectAsStandardStream(std::hex, -1, L' ', -1L, L' ', -1LL, L' ', 0xABCu, L' ', 0);
  ExpectAsStandardStream(std::hex, std::uppercase, 0xABCu, L' ', std::nouppercase, 0xABCul);
  ExpectAsStandardStream(std::hex, std::showbase, 0, L' ', 255, L' ', std::uppercase, 255);
  ExpectAsStandardStream(std::oct, 8, L' ', std::showbase, 8, L' ', 0, L' ', -8);
  ExpectAsStandardStream(std::hex, 42, std::dec, L' ', 42, L' ', std::showbase, 42);
  ExpectAsStandardStream(true, false, std::boolalpha, L' ', true, L' ', false, std::noboolalpha,
                         true);
  ExpectAsStandardStream(0.1, L' ', 2.5, L' ', 1e10, L' ', 1e-5, L' ', 123456789.0, L' ', -0.0,
                         L' ', 1234567.0, L' ', std::numeric_limits<double>::infinity());
  ExpectAsStandardStream(std::uppercase, 1e20, L' ', 3.0f);
  ExpectAsStandardStream(static_cast<const void*>(nullptr), L' ',
                         reinterpret_cast<const void*>(0x1234ABCD), L' ', std::uppercase,
                         std::showbase, std::oct, reinterpret_cast<const void*>(0x10));
  ExpectAsStandardStream(L"text ", std::wstring(L"wide"), L'!');
}
