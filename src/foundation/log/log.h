#pragma once

#include <windows.h>

#include <cstdint>
#include <sstream>
#include <string>

// The library's day-by-day log: "Tovin-YYYY-MM-DD.log" (UTF-16LE) in the user's temporary
// directory, shared by every process that loads the library. Logging never fails its caller.
namespace Log {

// Appends one line. An empty message, or no temporary directory, writes nothing. The calling
// thread's last error is the same afterwards.
void WriteLine(const std::wstring& message) noexcept;

// Collects one message; the line is written when the stream is destroyed.
//   Log::Stream() << L"QVNSIS_StopTovin: " << L"(err: " << error << L") could not ...";
class Stream : public std::basic_stringstream<wchar_t> {
 public:
  Stream() = default;
  ~Stream() override;

  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Plain (non-template) overloads, so they win over the standard library's insertion into
  // rvalue streams and every insertion keeps returning Log::Stream&.
  Stream& operator<<(const std::wstring& text) { return put(text); }
  Stream& operator<<(wchar_t c) { return put(c); }
  Stream& operator<<(bool value) { return put(value); }
  Stream& operator<<(int value) { return put(value); }
  Stream& operator<<(unsigned value) { return put(value); }
  Stream& operator<<(long value) { return put(value); }
  Stream& operator<<(unsigned long value) { return put(value); }
  Stream& operator<<(long long value) { return put(value); }
  Stream& operator<<(unsigned long long value) { return put(value); }
  Stream& operator<<(double value) { return put(value); }
  Stream& operator<<(const void* pointer) { return put(pointer); }
  Stream& operator<<(std::ios_base& (*manipulator)(std::ios_base&)) { return put(manipulator); }
  Stream& operator<<(std::wostream& (*manipulator)(std::wostream&)) {
    manipulator(*this);
    return *this;
  }
  // Narrow text is widened byte by byte (0xE9 becomes U+00E9), independent of any locale.
  Stream& operator<<(const char* text);
  Stream& operator<<(char* text) { return *this << static_cast<const char*>(text); }
  Stream& operator<<(const std::string& text);
  // Null wide text is written as nothing rather than crashing the caller.
  Stream& operator<<(const wchar_t* text);
  Stream& operator<<(wchar_t* text) { return *this << static_cast<const wchar_t*>(text); }

 private:
  template <typename T>
  Stream& put(const T& value) {
    static_cast<std::wostream&>(*this) << value;
    return *this;
  }
};

// Logs "<name>: entered" now and "<name>: exited" when the scope ends.
class ScopeTrace {
 public:
  explicit ScopeTrace(std::wstring name);
  ~ScopeTrace();

  ScopeTrace(const ScopeTrace&) = delete;
  ScopeTrace& operator=(const ScopeTrace&) = delete;

 private:
  std::wstring name_;
};

namespace detail {

// The pieces of WriteLine, separated so that a fixed clock and identity can be tested.
std::wstring FormatLine(const std::wstring& processName, uint32_t processId,
                        const SYSTEMTIME& localTime, const std::wstring& message);
std::wstring DayFileName(const SYSTEMTIME& localTime);

// WriteLine at the given local time instead of the clock's.
void WriteLineAt(const std::wstring& message, const SYSTEMTIME& localTime) noexcept;

// Deletes day files of `directory` older than the three days before `today`, and any
// "Tovin-*.log" whose date cannot be read.
void DeleteOldDayFiles(const std::wstring& directory, const SYSTEMTIME& today);

}  // namespace detail

}  // namespace Log
