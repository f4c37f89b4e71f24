#include "support/log_messages.h"

#include <windows.h>

#include <cwchar>

#include "support/temp_dir.h"

namespace qvtest {

std::vector<std::wstring> TodaysLogMessages(const std::wstring& directory) {
  SYSTEMTIME t = {};
  GetLocalTime(&t);
  wchar_t name[32];
  swprintf(name, 32, L"Tovin-%04d-%02d-%02d.log", t.wYear, t.wMonth, t.wDay);
  std::vector<std::wstring> messages;
  for (const auto& line : ReadLogLines(directory + name)) {
    const size_t start = line.find(L"] ");
    messages.push_back(start == std::wstring::npos ? line : line.substr(start + 2));
  }
  return messages;
}

}  // namespace qvtest
