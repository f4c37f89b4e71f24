#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "foundation/localization/thread_locale_manager.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

// Init runs inside DllMain, where an exception would end the process.
static_assert(noexcept(ThreadLocaleManager::Init()), "Init must not throw");

namespace {

// An Init line without its source.
std::wstring InitLine(DWORD threadId, LANGID language) {
  wchar_t hex[8] = {};
  swprintf(hex, 8, L"%04x", static_cast<unsigned>(language));
  return L"main thread id is " + std::to_wstring(threadId) +
         L", langid initialized to " + hex;
}

}  // namespace

// Every load of the library runs Init on its loading thread and Shutdown when it is unloaded:
// after Shutdown the next Init starts over, on whichever thread makes it.
TEST(ThreadLocaleManager, AfterShutdownTheNextInitsThreadIsTheMainOne) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  const LANGID language = GetThreadUILanguage();

  ThreadLocaleManager::Init();
  EXPECT_EQ(ThreadLocaleManager::MainLangId(), language);
  ThreadLocaleManager::Shutdown();
  ThreadLocaleManager::Shutdown();  // a second one has nothing to give back

  DWORD secondThread = 0;
  std::thread second([&secondThread] {
    secondThread = GetCurrentThreadId();
    ThreadLocaleManager::Init();
  });
  second.join();
  EXPECT_EQ(ThreadLocaleManager::MainLangId(), language);
  ThreadLocaleManager::Init();  // this thread is no longer the main one
  ThreadLocaleManager::Shutdown();

  const std::vector<std::wstring> expected = {
      InitLine(GetCurrentThreadId(), language),
      InitLine(secondThread, language),
      L"ERROR: already initialized in another thread",
  };
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), L"ThreadLocaleManager::Init: "),
            expected);
}
