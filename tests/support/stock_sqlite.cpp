#include "support/stock_sqlite.h"

#include <windows.h>

#include "support/program.h"
#include "support/text.h"

namespace qvtest {

const char kNullCell[] = "<NULL>";

namespace {

const DWORD kAnswerWaitMs = 60000;

// Wine's own kernel32 export: the Unix path of a Windows path (a missing last part allowed).
std::string UnixPath(const std::wstring& path) {
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<ToUnix>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!toUnix) return std::string();
  char* unixPath = toUnix(path.c_str());
  if (!unixPath) return std::string();
  std::string result(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(2);
  }
  return true;
}

void WriteWhole(const std::wstring& path, const std::string& text) {
  WriteFileBytes(path + L".tmp", text);
  MoveFileExW((path + L".tmp").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// "ok", then each row after a \x1e, its cells split by \x1f; \x1d alone is NULL. An error
// answer is "error\t<message>".
bool AnswerRows(const std::string& answer, SqlRows* rows, std::string* error) {
  if (answer.compare(0, 2, "ok") != 0) {
    if (error) *error = answer.substr(answer.find('\t') + 1);
    return false;
  }
  rows->clear();
  size_t at = answer.find('\x1e');
  while (at != std::string::npos) {
    const size_t end = answer.find('\x1e', at + 1);
    const std::string line = answer.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    std::vector<std::string> row;
    size_t start = 0;
    for (;;) {
      const size_t split = line.find('\x1f', start);
      const std::string value =
          line.substr(start, split == std::string::npos ? split : split - start);
      row.push_back(value == "\x1d" ? kNullCell : value);
      if (split == std::string::npos) break;
      start = split + 1;
    }
    rows->push_back(row);
    at = end;
  }
  return true;
}

}  // namespace

StockSqlite::StockSqlite(const std::wstring& path) {
  const std::string channel = UnixPath(channel_.path());
  const std::string database = UnixPath(path);
  if (channel.empty() || database.empty()) {
    failure_ = "no Unix path (not running under Wine?)";
    return;
  }
  if ((channel + database).find_first_of("'\"") != std::string::npos) {
    failure_ = "a path with a quote: " + database;
    return;
  }
  // Wine runs a Unix program for CreateProcess but gives no handle to it: the channel's files
  // tell when it is ready and what it answers.
  std::wstring command = L"Z:\\bin\\sh -c \"exec /usr/bin/python3 '" +
                         Wide(QVNSIS_STOCK_SQLITE_SCRIPT) + L"' '" + Wide(channel) + L"' '" +
                         Wide(database) + L"'\"";
  PROCESS_INFORMATION process = {};
  if (!CreateTestProcess(nullptr, command, 0, &process)) {
    failure_ = "cannot start /usr/bin/python3: error " + std::to_string(GetLastError());
    return;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  if (!WaitForFile(channel_.path() + L"ready.ans", kAnswerWaitMs)) {
    failure_ = "Debian's python3 with its sqlite3 module did not open " + database;
    return;
  }
  version_ = ReadFileBytes(channel_.path() + L"ready.ans");
  running_ = true;
}

StockSqlite::~StockSqlite() {
  if (running_) ask("quit", std::string());
}

std::string StockSqlite::ask(const char* operation, const std::string& sql) {
  if (!running_) return "error\t" + failure_;
  const std::wstring number = std::to_wstring(next_++);
  WriteWhole(channel_.path() + number + L".req", std::string(operation) + "\n" + sql);
  const std::wstring answer = channel_.path() + number + L".ans";
  if (!WaitForFile(answer, kAnswerWaitMs)) {
    running_ = false;
    failure_ = "no answer from the stock SQLite";
    return "error\t" + failure_;
  }
  return ReadFileBytes(answer);
}

bool StockSqlite::exec(const std::string& sql, std::string* error) {
  const std::string answer = ask("exec", sql);
  if (answer == "ok") return true;
  if (error) *error = answer.substr(answer.find('\t') + 1);
  return false;
}

bool StockSqlite::rows(const std::string& sql, SqlRows* rows, std::string* error) {
  return AnswerRows(ask("rows", sql), rows, error);
}

bool StockSqlite::dump(SqlRows* rows, std::string* error) {
  return AnswerRows(ask("dump", std::string()), rows, error);
}

void StockSqlite::crash(const std::string& sql) {
  // It answers once the statements have run, then ends at once.
  ask("crash", sql);
  running_ = false;
}

std::string SqlText(const std::string& text) {
  std::string literal = "'";
  for (char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

}  // namespace qvtest
