#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The messages (the text after "] ") of today's log file in `directory` (with a trailing
// backslash), in the order they were written.
std::vector<std::wstring> TodaysLogMessages(const std::wstring& directory);

}  // namespace qvtest
