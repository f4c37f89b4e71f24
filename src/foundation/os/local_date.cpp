#include "foundation/os/local_date.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace QVDate {
namespace {

// The proleptic Gregorian calendar's years 1400 to 9999, the range Boost's date type served here
// before: its headers brought the C++ runtime's iostreams into the DLL.
bool IsRealDay(int year, int month, int day) {
  if (year < 1400 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

std::wstring formatDate(const SYSTEMTIME& localTime) {
  wchar_t text[16] = {};
  swprintf(text, 16, L"%.4d-%.2d-%.2d", localTime.wYear, localTime.wMonth, localTime.wDay);
  return text;
}

std::wstring todayText() {
  SYSTEMTIME local = {};
  GetLocalTime(&local);
  return formatDate(local);
}

int64_t localMidnightSeconds(int year, int month, int day) {
  // Days that do not exist (30 February, month 13, year 0) are refused, not normalised.
  if (!IsRealDay(year, month, day) || year < 1970) return -1;
  std::tm midnight = {};
  midnight.tm_year = year - 1900;
  midnight.tm_mon = month - 1;
  midnight.tm_mday = day;
  midnight.tm_isdst = -1;  // let the system decide whether daylight saving applies
  const std::time_t seconds = std::mktime(&midnight);
  if (seconds == static_cast<std::time_t>(-1) || seconds < 0) return -1;
  return static_cast<int64_t>(seconds);
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
