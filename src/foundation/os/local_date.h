#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Calendar dates in the user's local time, as the log's day files and the install date record them.
namespace QVDate {

// "YYYY-MM-DD" for the given local date (the form used in day-file names).
std::wstring formatDate(const SYSTEMTIME& localTime);

// Today's local date as "YYYY-MM-DD".
std::wstring todayText();

// Seconds since 1970 of 00:00:00 local time on the given day, daylight saving decided by the
// system. -1 when the date does not exist or lies outside the years 1970 to 9999; a number out
// of range is refused as it stands, never wrapped into another day.
int64_t localMidnightSeconds(int year, int month, int day);

// The same for a "YYYY-MM-DD" text (each character reduced to its low byte; "2013-1-5" is
// 5 January 2013); -1 when the text does not hold such a date ("67549-65537-65541" does not).
int64_t localMidnightSeconds(const std::wstring& dateText);

}  // namespace QVDate
