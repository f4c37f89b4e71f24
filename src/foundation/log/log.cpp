#include "foundation/log/log.h"

#include "foundation/locks/qv_crit_lock.h"
#include "foundation/locks/qv_mutex_lock.h"
#include "foundation/os/local_date.h"
#include "foundation/owners/qv_reg_key.h"
#include "foundation/owners/scoped_find_handle.h"
#include "foundation/owners/scoped_handle.h"
#include "foundation/settings/settings_names.h"
#include "foundation/settings/system_folders.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace Log {
namespace {

constexpr const char kLogMutexName[] = "tovin_log_mutex";
constexpr uint32_t kLogMutexTimeoutMs = 20;
constexpr LONG kCleanupEveryLines = 50;
constexpr int64_t kKeepSeconds = 259200;  // today's file and the three days before it
constexpr size_t kProcessNameWidth = 10;

// Process identity, filled once; g_identityReady publishes it to the threads that skip the lock.
QVCritSec g_identityLock;
std::atomic<bool> g_identityReady{false};
std::wstring g_processName;
uint32_t g_processId = 0;

std::atomic<LONG> g_lineCount{0};

QVCritSec g_cleanupLock;
std::wstring g_lastCleanupDate;

void EnsureIdentity() {
  if (g_identityReady.load(std::memory_order_acquire)) return;
  QVCritLock lock(&g_identityLock);
  if (g_identityReady.load(std::memory_order_relaxed)) return;
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t stem[_MAX_FNAME] = {};
  _wsplitpath(path, nullptr, nullptr, stem, nullptr);
  g_processName = std::wstring(stem).substr(0, kProcessNameWidth);
  g_processId = GetCurrentProcessId();
  g_identityReady.store(true, std::memory_order_release);
}

// "OutputDebug" is read as a 4-byte number whatever its registry type; longer values count as 0.
bool DebugOutputEnabled() {
  QVRegKey key;
  if (key.open(HKEY_CURRENT_USER, QVSettings::kKeyPath, KEY_READ) != ERROR_SUCCESS) return false;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key.get(), QVSettings::kOutputDebug, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    return false;
  }
  return value != 0;
}

// Appends under the cross-process mutex; a busy mutex costs the line, never a longer wait.
void AppendToFile(const std::wstring& path, const std::wstring& line) {
  QVMutexLock lock(kLogMutexName, kLogMutexTimeoutMs);
  if (!lock.held()) return;

  ScopedFileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;

  std::wstring bytes;
  if (created) bytes.push_back(L'\xFEFF');
  bytes += line;
  // One write per line, so readers and other writers never see half a line.
  const DWORD byteCount = static_cast<DWORD>(bytes.size() * sizeof(wchar_t));
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), byteCount, &written, nullptr);
}

void CleanupIfDue(const SYSTEMTIME& now) {
  const LONG count = g_lineCount.fetch_add(1, std::memory_order_relaxed) + 1;
  if (count % kCleanupEveryLines != 0) return;

  QVCritLock lock(&g_cleanupLock);
  const std::wstring today = QVDate::formatDate(now);
  if (today == g_lastCleanupDate) return;
  // The day files' folder; an empty one would have the search look in the current directory.
  const std::wstring directory = QVPaths::getTempDir();
  if (directory.empty()) return;
  g_lastCleanupDate = today;
  detail::DeleteOldDayFiles(directory, now);
}

}  // namespace

namespace detail {

std::wstring FormatLine(const std::wstring& processName, uint32_t processId, const SYSTEMTIME& t,
                        const std::wstring& message) {
  wchar_t head[96] = {};
  swprintf(head, 96, L"%-10ls %05u [%d-%02d-%02d %02d:%02d:%02d] ", processName.c_str(), processId,
           t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  std::wstring line;
  line.reserve(wcslen(head) + message.size() + 2);
  line += head;
  line += message;
  line += L"\r\n";
  return line;
}

std::wstring DayFileName(const SYSTEMTIME& localTime) {
  return L"Tovin-" + QVDate::formatDate(localTime) + L".log";
}

std::wstring DayFilePathAt(const SYSTEMTIME& localTime) {
  const std::wstring directory = QVPaths::getTempDir();
  if (directory.empty()) return std::wstring();
  return directory + DayFileName(localTime);
}

void DeleteOldDayFiles(const std::wstring& directory, const SYSTEMTIME& today) {
  const int64_t todayMidnight = QVDate::localMidnightSeconds(today.wYear, today.wMonth, today.wDay);
  const int64_t cutoff = todayMidnight - kKeepSeconds;

  WIN32_FIND_DATAW found = {};
  const ScopedFindHandle search(FindFirstFileW((directory + L"Tovin-*.log").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    const std::wstring datePart = name.size() > 6 ? name.substr(6, 10) : std::wstring();
    const int64_t fileDay = QVDate::localMidnightSeconds(datePart);
    if (fileDay == -1 || fileDay < cutoff) DeleteFileW((directory + name).c_str());
  } while (FindNextFileW(search.get(), &found));
}

void WriteLineAt(const std::wstring& message, const SYSTEMTIME& now) noexcept {
  try {
    if (message.empty()) return;
    const std::wstring path = DayFilePathAt(now);
    if (path.empty()) return;

    EnsureIdentity();
    const bool debugOutput = DebugOutputEnabled();
    const std::wstring line = FormatLine(g_processName, g_processId, now, message);
    AppendToFile(path, line);
    CleanupIfDue(now);

    if (debugOutput) OutputDebugStringW((message + L"\n").c_str());
  } catch (...) {
    // Out of memory: the line is lost, the caller carries on.
  }
}

}  // namespace detail

std::wstring DayFilePath() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  return detail::DayFilePathAt(now);
}

void WriteLine(const std::wstring& message) noexcept {
  // Callers log and then report GetLastError(); the file, mutex and registry calls of a line
  // must not replace the error they are about to report.
  const DWORD callersError = GetLastError();
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  detail::WriteLineAt(message, now);
  SetLastError(callersError);
}

Stream::~Stream() {
  try {
    WriteLine(text_);
  } catch (...) {
  }
}

Stream& Stream::operator<<(bool value) {
  if (boolalpha_) {
    text_ += value ? L"true" : L"false";
  } else {
    text_ += value ? L'1' : L'0';
  }
  return *this;
}

// A standard stream shows a negative number in decimal with its sign, and in hexadecimal or
// octal as the bits of its unsigned form.
Stream& Stream::signedNumber(long long value, unsigned long long bits) {
  if (base_ != 10 || value >= 0) return unsignedNumber(bits);
  text_ += L'-';
  putMagnitude(0ULL - static_cast<unsigned long long>(value));
  return *this;
}

Stream& Stream::unsignedNumber(unsigned long long value) {
  putMagnitude(value);
  return *this;
}

void Stream::putMagnitude(unsigned long long magnitude) {
  const wchar_t* digits = uppercase_ ? L"0123456789ABCDEF" : L"0123456789abcdef";
  wchar_t buffer[24];
  wchar_t* at = buffer + 24;
  do {
    *--at = digits[magnitude % base_];
    magnitude /= base_;
  } while (magnitude != 0);
  // As printf's "#": the prefix goes on non-zero numbers only, an octal zero is just "0".
  if (showbase_ && !(at[0] == L'0' && at + 1 == buffer + 24)) {
    if (base_ == 16) text_ += uppercase_ ? L"0X" : L"0x";
    if (base_ == 8) text_ += L'0';
  }
  text_.append(at, buffer + 24);
}

Stream& Stream::operator<<(double value) {
  // The C library's "%g" is what a default-formatted standard stream writes (precision 6).
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof(buffer), uppercase_ ? "%G" : "%g", value);
  for (int i = 0; i < length && i < static_cast<int>(sizeof(buffer)) - 1; ++i) {
    text_ += static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
  }
  return *this;
}

Stream& Stream::operator<<(OsError error) {
  const unsigned base = base_;
  base_ = 10;
  text_ += L"(err: ";
  unsignedNumber(error.code);
  text_ += L") ";
  base_ = base;
  return *this;
}

Stream& Stream::operator<<(const void* pointer) {
  // As a standard stream writes a pointer: "0x" and lowercase hexadecimal, a null one as "0".
  const unsigned saveBase = base_;
  const bool saveShowbase = showbase_;
  const bool saveUppercase = uppercase_;
  base_ = 16;
  showbase_ = true;
  uppercase_ = false;
  putMagnitude(reinterpret_cast<uintptr_t>(pointer));
  base_ = saveBase;
  showbase_ = saveShowbase;
  uppercase_ = saveUppercase;
  return *this;
}

Stream& Stream::operator<<(std::ios_base& (*manipulator)(std::ios_base&)) {
  if (manipulator == &std::dec) base_ = 10;
  if (manipulator == &std::hex) base_ = 16;
  if (manipulator == &std::oct) base_ = 8;
  if (manipulator == &std::uppercase) uppercase_ = true;
  if (manipulator == &std::nouppercase) uppercase_ = false;
  if (manipulator == &std::showbase) showbase_ = true;
  if (manipulator == &std::noshowbase) showbase_ = false;
  if (manipulator == &std::boolalpha) boolalpha_ = true;
  if (manipulator == &std::noboolalpha) boolalpha_ = false;
  return *this;
}

Stream& Stream::operator<<(const char* text) {
  if (!text) return *this;
  for (const char* p = text; *p; ++p)
    text_.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return *this;
}

Stream& Stream::operator<<(const std::string& text) { return *this << text.c_str(); }

Stream& Stream::operator<<(const wchar_t* text) {
  if (text) text_ += text;
  return *this;
}

ScopeTrace::ScopeTrace(std::wstring name) : name_(std::move(name)) {
  Stream() << name_ << L": entered";
}

ScopeTrace::~ScopeTrace() { Stream() << name_ << L": exited"; }

}  // namespace Log
