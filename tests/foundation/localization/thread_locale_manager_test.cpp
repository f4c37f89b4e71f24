#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "foundation/localization/thread_locale_manager.h"
#include "foundation/os/windows_version.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

// Init runs inside DllMain, where an exception would end the process.
static_assert(noexcept(ThreadLocaleManager::Init()), "Init must not throw");

namespace {

// An Init line without its source.
std::wstring InitLine(DWORD threadId, LANGID language) {
  wchar_t hex[8] = {};
  swprintf(hex, 8, L"%04x", static_cast<unsigned>(language));
  return L"main thread id is " + std::to_wstring(threadId) + L", langid initialized to " + hex;
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

// Init runs inside DllMain: whatever fails under it (here the Windows version query it makes
// throws) stays inside it. The manager is then simply off.
TEST(ThreadLocaleManager, InitLetsNoExceptionOutWhenWhatItCallsThrows) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  struct RestoreQuery {
    ~RestoreQuery() { QVOS::detail::setVersionQuery(nullptr); }
  } restore;
  QVOS::detail::setVersionQuery(
      [](OSVERSIONINFOW*) -> bool { throw std::runtime_error("injected"); });

  std::string escaped;
  try {
    ThreadLocaleManager::Init();
  } catch (const std::exception& error) {
    escaped = error.what();
  } catch (...) {
    escaped = "an exception of another type";
  }
  EXPECT_EQ(escaped, "") << "Init let an exception out";
  ThreadLocaleManager::Shutdown();
}
