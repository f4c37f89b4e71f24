#include <gtest/gtest.h>

#include <process.h>

#include <climits>
#include <functional>

#include "foundation/localization/thread_locale_manager.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

// Wine picks resources by the process's UI language, which it takes from LANG when the process
// starts: ctest starts the LanguageDe and LanguageDa suites with a German and a Danish LANG.

namespace {

using GetStringFn = void(__cdecl*)(int, wchar_t*, int);

std::wstring Get(GetStringFn fn, int id, int count = 512) {
  std::wstring buffer(512, L'#');
  fn(id, &buffer[0], count);
  return std::wstring(buffer.c_str());
}

void RunOnThread(const std::function<void()>& body) {
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0, [](void* p) WINAPI -> unsigned {
        (*static_cast<const std::function<void()>*>(p))();
        return 0;
      },
      const_cast<std::function<void()>*>(&body), 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

std::vector<std::wstring> TodayMessages(const std::wstring& dir) {
  return qvtest::LogMessages(qvtest::TodayLogFile(dir));
}

// Under an emulated Windows XP the thread locale carries the language. A worker thread set to
// another locale is brought to the main one by its first string load, and only then.
// Exit code: 0 when it behaved so, else a number telling which step differed.
QV_TEST_CHILD(xp_worker_language) {
  qvtest::Library library;
  auto get = library.get<GetStringFn>("QVNSIS_GetLanguageString");
  if (!get) return 10;
  const LCID main = GetThreadLocale();
  int result = 0;
  RunOnThread([&] {
    SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT));
    Get(get, 113);
    if (LANGIDFROMLCID(GetThreadLocale()) != LANGIDFROMLCID(main)) result = 1;
    SetThreadLocale(MAKELCID(0x040C, SORT_DEFAULT));
    Get(get, 113);
    if (LANGIDFROMLCID(GetThreadLocale()) != 0x040C) result = 2;
  });
  return result;
}

}  // namespace

TEST(LanguageDe, StringsComeFromTheGermanTableAndFitTheBuffer) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::Library library;
  auto get = library.get<GetStringFn>("QVNSIS_GetLanguageString");
  ASSERT_NE(get, nullptr);

  EXPECT_EQ(Get(get, 115), L"DE");
  EXPECT_EQ(Get(get, 113), L"Abbrechen");
  EXPECT_EQ(Get(get, 117), L"string id 117 missing") << "no table has 117";
  EXPECT_EQ(Get(get, 113, 10), L"Abbrechen") << "text and terminator just fit";
  EXPECT_EQ(Get(get, 113, 9), L"") << "no room for the terminator";

  std::wstring untouched = L"####";
  get(113, &untouched[0], 0);
  get(113, &untouched[0], -3);
  EXPECT_EQ(untouched, L"####");
  get(113, nullptr, 100);  // must not crash

  wchar_t tid[16];
  swprintf(tid, 16, L"%lu", GetCurrentThreadId());
  const auto log = TodayMessages(dir.path());
  EXPECT_NE(std::find(log.begin(), log.end(),
                      std::wstring(L"ThreadLocaleManager::Init: main thread id is ") + tid +
                          L", langid initialized to 0407"),
            log.end());
}

TEST(LanguageDa, DanishHasNoLanguageTag) {
  qvtest::Library library;
  auto get = library.get<GetStringFn>("QVNSIS_GetLanguageString");
  ASSERT_NE(get, nullptr);
  EXPECT_EQ(Get(get, 115), L"string id 115 missing");
  EXPECT_EQ(Get(get, 113), L"Annuller");
}

TEST(ThreadLocaleManager, WorkerThreadSwitchesOnceToTheMainLanguage) {
  qvtest::ChildOptions options;
  options.windowsVersion = L"winxp";
  EXPECT_EQ(qvtest::RunChild(L"xp_worker_language", {}, options).exitCode, 0u);
}

TEST(ThreadLocaleManager, ASecondInitIsSilentOnTheMainThreadAndAnErrorElsewhere) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  ThreadLocaleManager::Init();
  ThreadLocaleManager::Init();
  RunOnThread([] { ThreadLocaleManager::Init(); });

  const auto log = TodayMessages(dir.path());
  int initLines = 0, errors = 0;
  for (const auto& m : log) {
    if (m.rfind(L"ThreadLocaleManager::Init: main thread id is ", 0) == 0) ++initLines;
    if (m == L"ThreadLocaleManager::Init: ERROR: already initialized in another thread") ++errors;
  }
  EXPECT_EQ(initLines, 1);
  EXPECT_EQ(errors, 1);
}

// String ids are 16 bits wide: an id beyond them must not reach the loader, which would take its
// low half and hand out another text (65649 would read as 113).
TEST(Language, IdsNoTableHoldsAreMissingWhateverTheirRange) {
  qvtest::Library library;
  auto get = library.get<GetStringFn>("QVNSIS_GetLanguageString");
  ASSERT_NE(get, nullptr);
  ASSERT_NE(Get(get, 113), L"string id 113 missing") << "the id all the others alias";
  for (int id : {0, 117, -1, 65536 + 113, 113 - 65536, 0x7FFFFFFF, INT_MIN}) {
    EXPECT_EQ(Get(get, id), L"string id " + std::to_wstring(id) + L" missing");
  }
}
