#include "support/log_file.h"

#include <windows.h>

#include <cwchar>

#include "support/temp_dir.h"

namespace qvtest {

std::wstring TodayText() {
  SYSTEMTIME t = {};
  GetLocalTime(&t);
  wchar_t text[16];
  swprintf(text, 16, L"%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
  return text;
}

std::wstring TodayLogFile(const std::wstring& directory) {
  return directory + L"Tovin-" + TodayText() + L".log";
}

std::vector<std::wstring> LogMessages(const std::wstring& file) {
  std::vector<std::wstring> messages;
  for (const auto& line : ReadLogLines(file)) {
    const size_t end = line.find(L"] ");
    messages.push_back(end == std::wstring::npos ? line : line.substr(end + 2));
  }
  return messages;
}

std::vector<std::wstring> LogMessagesOf(const std::wstring& file, const std::wstring& source) {
  std::vector<std::wstring> messages;
  for (const auto& message : LogMessages(file)) {
    if (message.compare(0, source.size(), source) == 0)
      messages.push_back(message.substr(source.size()));
  }
  return messages;
}

bool IsErrorLine(const std::wstring& message, const std::wstring& text) {
  const size_t close = message.find(L") ");
  return message.rfind(L"(err: ", 0) == 0 && close != std::wstring::npos &&
         message.substr(close + 2) == text;
}

std::vector<std::wstring> LogFiles(const std::wstring& directory) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((directory + L"Tovin-*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      files.push_back(directory + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

void DeleteLogFiles(const std::wstring& directory) {
  for (const auto& file : LogFiles(directory)) DeleteFileW(file.c_str());
}

std::vector<std::wstring> TodaysLogMessages(const std::wstring& directory) {
  return LogMessages(TodayLogFile(directory));
}

}  // namespace qvtest
