#pragma once

#include <windows.h>

#include <cstdint>
#include <ios>
#include <string>

// The library's day-by-day log: "Tovin-YYYY-MM-DD.log" (UTF-16LE) in the user's temporary
// directory, shared by every process that loads the library. Logging never fails its caller.
namespace Log {

// Appends one line. An empty message, or no temporary directory, writes nothing. The calling
// thread's last error is the same afterwards.
void WriteLine(const std::wstring& message) noexcept;

// The day file a line written now goes to: "Tovin-YYYY-MM-DD.log" (local date) in the user's
// temporary directory; empty when the system names none (nothing is written then).
std::wstring DayFilePath();

// An operating-system error as every line writes it ahead of its text: "(err: <code>) ", the code
// in decimal whatever base the stream is set to.
struct OsError {
  unsigned long code;
};

// Collects one message; the line is written when the stream is destroyed.
//   Log::Stream() << L"QVNSIS_StopTovin: " << Log::OsError{error} << L"could not ...";
// Numbers are written as a default-formatted standard stream writes them (decimal; hexadecimal
// after std::hex; a double as "%g"; a pointer as 0x...). It is not a std::wostream: a standard
// stream brings the C++ runtime's whole locale machinery into the DLL, which every installer
// download would carry.
class Stream {
 public:
  Stream() = default;
  ~Stream();

  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  Stream& operator<<(const std::wstring& text) {
    text_ += text;
    return *this;
  }
  Stream& operator<<(wchar_t c) {
    text_ += c;
    return *this;
  }
  Stream& operator<<(bool value);
  Stream& operator<<(int value) { return signedNumber(value, static_cast<unsigned>(value)); }
  Stream& operator<<(unsigned value) { return unsignedNumber(value); }
  Stream& operator<<(long value) { return signedNumber(value, static_cast<unsigned long>(value)); }
  Stream& operator<<(unsigned long value) { return unsignedNumber(value); }
  Stream& operator<<(long long value) {
    return signedNumber(value, static_cast<unsigned long long>(value));
  }
  Stream& operator<<(unsigned long long value) { return unsignedNumber(value); }
  Stream& operator<<(double value);
  Stream& operator<<(const void* pointer);
  Stream& operator<<(OsError error);
  // std::dec, std::hex, std::oct, std::uppercase, std::showbase, std::boolalpha and their
  // opposites; any other manipulator changes nothing.
  Stream& operator<<(std::ios_base& (*manipulator)(std::ios_base&));
  // Narrow text is widened byte by byte (0xE9 becomes U+00E9), independent of any locale.
  Stream& operator<<(const char* text);
  Stream& operator<<(char* text) { return *this << static_cast<const char*>(text); }
  Stream& operator<<(const std::string& text);
  // Null wide text is written as nothing rather than crashing the caller.
  Stream& operator<<(const wchar_t* text);
  Stream& operator<<(wchar_t* text) { return *this << static_cast<const wchar_t*>(text); }

  // The message so far.
  const std::wstring& str() const { return text_; }

 private:
  // `bits` is the value as its own type's unsigned form, what hexadecimal and octal show.
  Stream& signedNumber(long long value, unsigned long long bits);
  Stream& unsignedNumber(unsigned long long value);
  // The magnitude in the current base, with the base's prefix when std::showbase is set.
  void putMagnitude(unsigned long long magnitude);

  std::wstring text_;
  unsigned base_ = 10;
  bool uppercase_ = false;
  bool showbase_ = false;
  bool boolalpha_ = false;
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
// DayFilePath for a line written at the given local time.
std::wstring DayFilePathAt(const SYSTEMTIME& localTime);

// WriteLine at the given local time instead of the clock's.
void WriteLineAt(const std::wstring& message, const SYSTEMTIME& localTime) noexcept;

// Deletes day files of `directory` older than the three days before `today`, and any
// "Tovin-*.log" whose date cannot be read.
void DeleteOldDayFiles(const std::wstring& directory, const SYSTEMTIME& today);

}  // namespace detail

}  // namespace Log
