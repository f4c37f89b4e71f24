#include "support/fixture_records.h"

#include <windows.h>

#include "support/temp_dir.h"

namespace qvtest {
namespace {

std::wstring Unescape(const std::wstring& field) {
  std::wstring text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != L'\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    switch (field[++i]) {
      case L't':
        text += L'\t';
        break;
      case L'r':
        text += L'\r';
        break;
      case L'n':
        text += L'\n';
        break;
      default:
        text += field[i];
    }
  }
  return text;
}

}  // namespace

std::vector<Record> ReadRecords(const std::wstring& path) {
  std::vector<Record> records;
  for (const std::wstring& line : ReadLogLines(path)) {
    Record record;
    size_t start = 0;
    for (size_t tab; (tab = line.find(L'\t', start)) != std::wstring::npos; start = tab + 1) {
      record.push_back(Unescape(line.substr(start, tab - start)));
    }
    record.push_back(Unescape(line.substr(start)));
    records.push_back(record);
  }
  return records;
}

std::vector<Record> RecordsOfKind(const std::wstring& path, const std::wstring& kind) {
  std::vector<Record> matching;
  for (const Record& record : ReadRecords(path)) {
    if (record.front() == kind) matching.push_back(record);
  }
  return matching;
}

Record WaitForRecord(const std::wstring& path, const std::wstring& kind, unsigned timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const std::vector<Record> found = RecordsOfKind(path, kind);
    if (!found.empty()) return found.front();
    if (GetTickCount64() > deadline) return Record();
    Sleep(20);
  }
}

}  // namespace qvtest
