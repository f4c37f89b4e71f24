#pragma once

#include <windows.h>

// Fixes the process's UI language on the thread that loads the library and brings every other
// thread to it before that thread loads a string or image resource, so an installer's worker
// threads show the same language as its pages.
namespace ThreadLocaleManager {

// Once, on the loading thread (process attach). A later call on that thread is silent; on
// another thread it logs an error and changes nothing. Never throws: it runs inside DllMain.
void Init() noexcept;

// Gives back the thread-local slots when the library is unloaded while the process goes on, so
// an installer that loads and unloads it on every call does not run out of them.
void Shutdown();

// Applies `language` to the calling thread; on the main thread it becomes the main language.
void SetThreadLangId(LANGID language);

// The main language; 0 before Init.
LANGID MainLangId();

}  // namespace ThreadLocaleManager

// Brings the calling (non-main) thread to the main language, once per change.
void SyncThreadLangId();
