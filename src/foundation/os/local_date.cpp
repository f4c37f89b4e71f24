#include "foundation/os/local_date.h"

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include <cstdio>
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
  try {
    // Boost rejects days that do not exist (30 February, month 13, year 0).
    const boost::gregorian::date date(year, month, day);
    if (date.year() < 1970) return -1;
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
  int year = 0, month = 0, day = 0;
  if (sscanf(narrow.c_str(), "%d-%d-%d", &year, &month, &day) != 3) return -1;
  return localMidnightSeconds(year, month, day);
}

}  // namespace QVDate
