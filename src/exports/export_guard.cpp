#include "exports/export_guard.h"

#include <exception>
#include <string>

#include "foundation/log/log.h"

void LogCaughtException(const wchar_t* exportName) noexcept {
  // Memory may be what ran out: the line is built in place and written as far as it can be.
  wchar_t line[256];
  const wchar_t* what = L"unknown exception";
  char detail[160] = "";
  try {
    throw;
  } catch (const std::bad_alloc&) {
    what = L"out of memory";
  } catch (const std::exception& e) {
    what = L"exception: ";
    const char* text = e.what();
    size_t i = 0;
    for (; text && text[i] && i + 1 < sizeof(detail); ++i) detail[i] = text[i];
    detail[i] = '\0';
  } catch (...) {
  }
  int at = 0;
  for (const wchar_t* part : {exportName, L": ", what}) {
    for (; part && *part && at + 1 < 256; ++part) line[at++] = *part;
  }
  for (const char* c = detail; *c && at + 1 < 256; ++c)
    line[at++] = static_cast<wchar_t>(static_cast<unsigned char>(*c));
  line[at] = L'\0';
  try {
    Log::WriteLine(line);
  } catch (...) {
  }
}
