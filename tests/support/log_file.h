#pragma once

#include <string>
#include <vector>

namespace qvtest {

// Today's local date as "YYYY-MM-DD".
std::wstring TodayText();

// "<directory>Tovin-YYYY-MM-DD.log" for today's local date.
std::wstring TodayLogFile(const std::wstring& directory);

// The messages of a log file: each line without its process, id and time prefix.
std::vector<std::wstring> LogMessages(const std::wstring& file);

// The messages of today's log file in `directory` (with a trailing backslash).
std::vector<std::wstring> TodaysLogMessages(const std::wstring& directory);

// Every day log ("Tovin-*.log") in `directory` (with a trailing backslash), as full paths.
std::vector<std::wstring> LogFiles(const std::wstring& directory);

// Deletes every day log in `directory`.
void DeleteLogFiles(const std::wstring& directory);

// The messages that begin with `source` (for example L"_ShellExecute: "), without it.
std::vector<std::wstring> LogMessagesOf(const std::wstring& file, const std::wstring& source);

// Whether `message` is "(err: <code>) <text>", with any code.
bool IsErrorLine(const std::wstring& message, const std::wstring& text);

}  // namespace qvtest
