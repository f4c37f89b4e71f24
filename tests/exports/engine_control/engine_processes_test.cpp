#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "exports/engine_control/engine_processes.h"
#include "support/fake_engine.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/temp_dir.h"

// The session sweep against fake engines, checked with a process snapshot of its own.

namespace {

using qvtest::FakeEngineInstall;

// Process ids of every "tovin.exe" in a fresh snapshot.
std::set<DWORD> EnginesInSnapshot() {
  std::set<DWORD> pids;
  ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"tovin.exe") == 0) pids.insert(entry.th32ProcessID);
  }
  return pids;
}


// Wine puts every process in session 1: the process listed here is placed in session 2.
DWORD g_otherSessionProcess = 0;
bool SessionWithOneElsewhere(DWORD processId, DWORD* session) {
  *session = processId == g_otherSessionProcess ? 2 : 1;
  return true;
}

class ScopedSessionSeam {
 public:
  explicit ScopedSessionSeam(DWORD otherSessionProcess) {
    g_otherSessionProcess = otherSessionProcess;
    previous_ = detail::SetSessionOfProcessForTesting(SessionWithOneElsewhere);
  }
  ~ScopedSessionSeam() { detail::SetSessionOfProcessForTesting(previous_); }

 private:
  detail::SessionOfProcess previous_;
};

}  // namespace

TEST(EngineProcesses, TerminateInSessionEndsEveryEngineWhereverItRunsFrom) {
  qvtest::ScopedTempDir dir;
  FakeEngineInstall first(dir.path() + L"One");
  FakeEngineInstall second(dir.path() + L"Two");
  ScopedHandle a = first.start(L"/PLATFORMINSTALLED");
  ScopedHandle b = first.start(L"");
  ScopedHandle c = second.start(L"/PLATFORMINSTALLED");
  ASSERT_TRUE(a && b && c);
  for (const ScopedHandle* engine : {&a, &b, &c}) {
    ASSERT_NE(qvtest::WaitForEngineWindow(GetProcessId(engine->get())), nullptr);
  }
  ASSERT_EQ(EnginesInSnapshot().size(), 3u);

  EXPECT_TRUE(TerminateTovinProcessesInSession());
  for (const ScopedHandle* engine : {&a, &b, &c}) {
    EXPECT_TRUE(qvtest::Ended(*engine, 5000));
    DWORD code = 1;
    GetExitCodeProcess(engine->get(), &code);
    EXPECT_EQ(code, 0u);
  }
  EXPECT_TRUE(EnginesInSnapshot().empty());
  EXPECT_FALSE(TerminateTovinProcessesInSession());
}

TEST(EngineProcesses, EnginesOfAnotherSessionSurviveAndDoNotCount) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  FakeEngineInstall engines(dir.path() + L"Engine");
  ScopedHandle ours = engines.start(L"/PLATFORMINSTALLED");
  ScopedHandle theirs = engines.start(L"/PLATFORMINSTALLED");
  ASSERT_TRUE(ours && theirs);
  ASSERT_NE(qvtest::WaitForEngineWindow(GetProcessId(ours.get())), nullptr);
  ASSERT_NE(qvtest::WaitForEngineWindow(GetProcessId(theirs.get())), nullptr);

  {
    ScopedSessionSeam seam(GetProcessId(theirs.get()));
    EXPECT_TRUE(UltimateTerminateAllTovinProcesses());
    EXPECT_TRUE(qvtest::Ended(ours, 5000));
    EXPECT_FALSE(qvtest::Ended(theirs, 200));
    EXPECT_EQ(EnginesInSnapshot(), std::set<DWORD>{GetProcessId(theirs.get())});
    EXPECT_FALSE(TerminateTovinProcessesInSession());
  }
  // Rounds go on while ours is still listed (a terminated process leaves the list a little
  // later), then none of the session is found.
  const std::vector<std::wstring> sweep = qvtest::LogMessagesOf(
      qvtest::TodayLogFile(logDir.path()), L"UltimateTerminateAllTovinProcesses: ");
  ASSERT_GE(sweep.size(), 2u);
  for (size_t i = 0; i + 1 < sweep.size(); ++i) EXPECT_EQ(sweep[i], L"shut down some processes");
  EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
}
