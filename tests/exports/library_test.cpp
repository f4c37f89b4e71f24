#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <cstdio>

#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::wstring> Messages(const std::wstring& dir) {
  return qvtest::LogMessages(qvtest::TodayLogFile(dir));
}

using qvtest::Library;


}  // namespace

TEST(Library, LoadingLogsOneStartedLineAndThreadsAddNothing) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  Library library;
  ASSERT_TRUE(library);
  const auto atLoad = Messages(dir.path());
  EXPECT_EQ(std::count(atLoad.begin(), atLoad.end(), L"DllMain: started"), 1);
  ASSERT_FALSE(atLoad.empty());
  EXPECT_EQ(atLoad.back(), L"DllMain: started") << "the language manager starts before it";

  HANDLE thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, [](void*) WINAPI -> unsigned { return 0; }, nullptr, 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  EXPECT_EQ(Messages(dir.path()), atLoad) << "thread attach and detach write nothing";
}

// An installer may load and unload the library around every call; each load must give back the
// thread-local slots it takes, or the process runs out of them (1088) after a few hundred loads.
TEST(Library, UnloadingGivesBackTheThreadLocalSlots) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  // Slots are handed out lowest first, so the first free one shows how many are still taken.
  auto firstFreeSlot = [] {
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
  };
  { Library warm; }
  const DWORD before = firstFreeSlot();
  constexpr DWORD kLoads = 20;
  for (DWORD i = 0; i < kLoads; ++i) {
    Library library;
    ASSERT_TRUE(library);
  }
  // The library's own two slots a load come back; the statically linked C++ runtime keeps one a
  // load (its exception state's thread key), which no code of ours can give back.
  EXPECT_LE(firstFreeSlot() - before, kLoads);
}

// Loading and unloading runs the library's static constructors and destructors under the loader
// lock: they must neither load nor free other libraries there, and each load must come up whole
// (the language manager reads kernel32's UI language through its optional lookups).
TEST(Library, LoadUnloadCyclesStartTheLanguageManagerEveryTimeAndLeaveNothingLoaded) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  wchar_t expected[96] = {};
  swprintf(expected, 96, L"ThreadLocaleManager::Init: main thread id is %lu, langid initialized to %04x",
           GetCurrentThreadId(), static_cast<unsigned>(GetThreadUILanguage()));
  constexpr int kLoads = 5;
  for (int i = 0; i < kLoads; ++i) {
    {
      Library library;
      ASSERT_TRUE(library);
    }
    EXPECT_EQ(GetModuleHandleW(L"qvnsis.dll"), nullptr) << "load " << i << " stayed loaded";
  }
  const auto messages = Messages(dir.path());
  EXPECT_EQ(std::count(messages.begin(), messages.end(), std::wstring(expected)), kLoads);
}

TEST(Library, QVNSIS_LogWritesTheMessageUnchangedAndIgnoresNullAndEmpty) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  Library library;
  ASSERT_TRUE(library);
  const auto log = QV_EXPORT(library, QVNSIS_Log);
  ASSERT_NE(log, nullptr);

  const size_t atLoad = Messages(dir.path()).size();
  log(nullptr);
  log(L"");
  log(L"Installer: step 3 of 7 \u00FC (err: 5)");

  const auto messages = Messages(dir.path());
  ASSERT_EQ(messages.size(), atLoad + 1);
  EXPECT_EQ(messages.back(), L"Installer: step 3 of 7 \u00FC (err: 5)");
}

TEST(Library, QVNSIS_LogSurvivesAMissingTemporaryDirectory) {
  qvtest::ScopedTempDir dir;
  const std::wstring missing = dir.path() + L"gone\\";
  qvtest::ScopedTempEnv env(missing);
  Library library;
  ASSERT_TRUE(library);
  QV_EXPORT(library, QVNSIS_Log)(L"nowhere");
  EXPECT_FALSE(qvtest::FileExists(missing));
}
