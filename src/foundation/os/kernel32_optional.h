#pragma once

#include <windows.h>

// kernel32 functions that Windows XP lacks, looked up in the loaded kernel32 when asked for; null
// where the system has none. Calling them through these pointers keeps them out of the import
// table.
namespace Kernel32Optional {

using GetThreadUILanguageFn = LANGID(WINAPI*)();
using SetThreadUILanguageFn = LANGID(WINAPI*)(LANGID);

GetThreadUILanguageFn getThreadUILanguage();
SetThreadUILanguageFn setThreadUILanguage();

}  // namespace Kernel32Optional
