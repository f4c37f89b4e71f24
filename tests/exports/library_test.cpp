#include <gtest/gtest.h>

#include <process.h>

#include <algorithm>

#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::wstring> Messages(const std::wstring& dir) {
  return qvtest::LogMessages(qvtest::TodayLogFile(dir));
}

using qvtest::Library;

using LogFn = void(__cdecl*)(const wchar_t*);

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
      _beginthreadex(nullptr, 0, [](void*) -> unsigned { return 0; }, nullptr, 0, nullptr));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  EXPECT_EQ(Messages(dir.path()), atLoad) << "thread attach and detach write nothing";
}

TEST(Library, QVNSIS_LogWritesTheMessageUnchangedAndIgnoresNullAndEmpty) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  Library library;
  ASSERT_TRUE(library);
  const auto log = library.get<LogFn>("QVNSIS_Log");
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
  library.get<LogFn>("QVNSIS_Log")(L"nowhere");
  EXPECT_FALSE(qvtest::FileExists(missing));
}
