#include "foundation/os/local_date.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace QVDate {

std::wstring formatDate(const SYSTEMTIME& localTime) {
  wchar_t text[16] = {};
  swprintf(text, 16, L"%.4d-%.2d-%.2d", localTime.wYear, localTime.wMonth, localTime.wDay);
  return text;
}

std::wstring todayText() {
  const boost::gregorian::date today = boost::gregorian::day_clock::local_day();
  SYSTEMTIME local = {};
  local.wYear = static_cast<WORD>(today.year());
  local.wMonth = static_cast<WORD>(today.month());
  local.wDay = static_cast<WORD>(today.day());
  return formatDate(local);
}

int64_t localMidnightSeconds(int year, int month, int day) {
  // Boost keeps year, month and day in 16 bits: a larger number would wrap into a real day
  // (67549-65537-65541 into 2013-01-05) before its own checks saw it.
  if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return -1;
  try {
    // Boost rejects the days that do not exist (30 February).
    const boost::gregorian::date date(year, month, day);
    std::tm midnight = boost::posix_time::to_tm(boost::posix_time::ptime(date));
    midnight.tm_isdst = -1;  // let the system decide whether daylight saving applies
    const std::time_t seconds = std::mktime(&midnight);
    if (seconds == static_cast<std::time_t>(-1) || seconds < 0) return -1;
    return static_cast<int64_t>(seconds);
  } catch (const std::exception&) {
    return -1;
  }
}

int64_t localMidnightSeconds(const std::wstring& dateText) {
  // Only the low byte of each character counts, so a stray wide character cannot pass for a digit
  // any more than its low byte does.
  std::string narrow;
  for (wchar_t c : dateText) narrow.push_back(static_cast<char>(c & 0xFF));
  // Three decimal numbers separated by "-"; anything may follow ("2014-03-10.log"). strtol
  // rather than sscanf: a number too large for an int is no date, not undefined behaviour.
  long fields[3] = {};
  const char* next = narrow.c_str();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && *next++ != '-') return -1;
    char* end = nullptr;
    errno = 0;
    fields[i] = std::strtol(next, &end, 10);
    if (end == next || errno == ERANGE || fields[i] < INT_MIN || fields[i] > INT_MAX) return -1;
    next = end;
  }
  return localMidnightSeconds(static_cast<int>(fields[0]), static_cast<int>(fields[1]),
                              static_cast<int>(fields[2]));
}

}  // namespace QVDate
