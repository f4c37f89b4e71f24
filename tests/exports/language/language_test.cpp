#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>
#include <climits>
#include <functional>

#include "foundation/localization/thread_locale_manager.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/windows_release.h"

// Wine picks resources by the process's UI language, which it takes from LANG when the process
// starts: ctest starts the LanguageDe and LanguageDa suites with a German and a Danish LANG.

namespace {

using GetStringFn = decltype(&QVNSIS_GetLanguageString);

std::wstring Get(GetStringFn fn, int id, int count = 512) {
  std::wstring buffer(512, L'#');
  fn(id, &buffer[0], count);
  return std::wstring(buffer.c_str());
}

void RunOnThread(const std::function<void()>& body) {
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(
      nullptr, 0,
      [](void* p) WINAPI -> unsigned {
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
  auto get = QV_EXPORT(library, QVNSIS_GetLanguageString);
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

// The regional format (the thread locale) German on the main thread when the library loads, and a
// worker thread set to French that loads a string. Exit code: the worker's thread-locale language
// after the load; the log says which language the library took as the installer's.
QV_TEST_CHILD(worker_language_by_release) {
  SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT));
  qvtest::Library library;
  auto get = QV_EXPORT(library, QVNSIS_GetLanguageString);
  if (!get) return 1;
  LANGID workerLocale = 0;
  RunOnThread([&] {
    SetThreadLocale(MAKELCID(0x040C, SORT_DEFAULT));
    Get(get, 113);
    workerLocale = LANGIDFROMLCID(GetThreadLocale());
  });
  return workerLocale;
}

}  // namespace

TEST(LanguageDe, StringsComeFromTheGermanTableAndFitTheBuffer) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::Library library;
  auto get = QV_EXPORT(library, QVNSIS_GetLanguageString);
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
  auto get = QV_EXPORT(library, QVNSIS_GetLanguageString);
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
  auto get = QV_EXPORT(library, QVNSIS_GetLanguageString);
  ASSERT_NE(get, nullptr);
  ASSERT_NE(Get(get, 113), L"string id 113 missing") << "the id all the others alias";
  for (int id : {0, 117, -1, 65536 + 113, 113 - 65536, 0x7FFFFFFF, INT_MIN}) {
    EXPECT_EQ(Get(get, id), L"string id " + std::to_wstring(id) + L" missing");
  }
}

// Before Vista the installer's language is the thread locale, and workers get it as their thread
// locale. From Vista on, Windows 10 included (declared in the manifest or told 6.2), it is the UI
// language: a user with an English Windows and German number formats gets an English installer,
// and no worker's regional format is touched. (Wine keeps no UI language per thread, so what the
// workers are given there cannot be read back.)
TEST(ThreadLocaleManager, TheReleaseDecidesBetweenRegionalFormatAndUiLanguage) {
  const LANGID uiLanguage = GetUserDefaultUILanguage();
  ASSERT_NE(uiLanguage, 0x0407)
      << "the test bed's UI language must differ from the child's regional format";
  qvtest::ChildOptions xp;
  xp.windowsVersion = L"winxp";
  struct Case {
    const wchar_t* what;
    qvtest::ChildOptions options;
    LANGID mainLanguage;
    LANGID workerLocale;
  } cases[] = {
      {L"winxp", xp, 0x0407, 0x0407},
      {L"win10 declared", qvtest::Windows10Child(), uiLanguage, 0x040C},
      {L"win10 undeclared", qvtest::UndeclaredWindows10Child(), uiLanguage, 0x040C},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qvtest::ScopedTempDir dir;
    qvtest::ScopedTempEnv env(dir.path());
    EXPECT_EQ(qvtest::RunChild(L"worker_language_by_release", {}, c.options).exitCode,
              c.workerLocale);
    std::vector<std::wstring> init;
    for (const std::wstring& m : TodayMessages(dir.path())) {
      if (m.rfind(L"ThreadLocaleManager::Init: ", 0) == 0) init.push_back(m);
    }
    ASSERT_EQ(init.size(), 1u);
    const std::wstring tail = L", langid initialized to " + qvtest::Hex4(c.mainLanguage);
    EXPECT_EQ(init[0].substr(init[0].size() - std::min(init[0].size(), tail.size())), tail)
        << init[0];
  }
}
