#include <gtest/gtest.h>

#include <ctime>

#include "foundation/os/local_date.h"

TEST(QVDate, DateTextToLocalMidnight) {
  struct Case {
    std::wstring text;
    int year, month, day;
  } valid[] = {
      {L"2014-03-10", 2014, 3, 10},  {L"2013-1-5", 2013, 1, 5},        {L"1970-01-02", 1970, 1, 2},
      {L"2012-02-29", 2012, 2, 29},  {L"2014-03-10.log", 2014, 3, 10}, {L"2000-02-29", 2000, 2, 29},
      {L"2014-12-31", 2014, 12, 31},
  };
  for (const auto& c : valid) {
    const int64_t seconds = QVDate::localMidnightSeconds(c.text);
    ASSERT_GT(seconds, 0) << c.text;
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* local = std::localtime(&t);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_year + 1900, c.year) << c.text;
    EXPECT_EQ(local->tm_mon + 1, c.month) << c.text;
    EXPECT_EQ(local->tm_mday, c.day) << c.text;
    EXPECT_EQ(local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec, 0) << c.text;
  }
  for (const std::wstring text :
       {L"", L"old.log", L"1969-12-31", L"2014-02-30", L"2014-13-01", L"2014-03", L"-", L"0-0-0",
        L"1900-02-29", L"2100-02-29", L"2014-04-31", L"2014-00-10", L"2014-01-00", L"2014-01-32",
        // Out of range: none may wrap into a real day (67549 - 65536
        // is 2013, 65537 - 65536 is 1), nor overflow an int.
        L"67549-65537-65541", L"67549-01-05", L"2013-65537-05", L"2013-01-65541", L"2013-00-05",
        L"10000-01-01", L"4294969309-01-05", L"2013-4294967297-05", L"99999999999999999999-01-01",
        L"-2013-01-05"}) {
    EXPECT_EQ(QVDate::localMidnightSeconds(text), -1) << text;
  }
  // Only the low byte of a character counts: U+0132 reads as '2'.
  EXPECT_EQ(QVDate::localMidnightSeconds(std::wstring(L"\u0132014-03-10")),
            QVDate::localMidnightSeconds(L"2014-03-10"));
}

TEST(QVDate, TodayTextMatchesTheLocalCalendar) {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t expected[16];
  swprintf(expected, 16, L"%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
  EXPECT_EQ(QVDate::todayText(), expected);
}
