#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "exports/engine_control/engine_processes.h"
#include "foundation/os/process_image.h"
#include "support/child_process.h"
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
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
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

  EXPECT_EQ(TerminateTovinProcessesInSession(), SessionEngines::kFound);
  for (const ScopedHandle* engine : {&a, &b, &c}) {
    EXPECT_TRUE(qvtest::Ended(*engine, 5000));
    DWORD code = 1;
    GetExitCodeProcess(engine->get(), &code);
    EXPECT_EQ(code, 0u);
  }
  EXPECT_TRUE(EnginesInSnapshot().empty());
  EXPECT_EQ(TerminateTovinProcessesInSession(), SessionEngines::kNone);
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
    EXPECT_EQ(TerminateTovinProcessesInSession(), SessionEngines::kNone);
  }
  // Rounds go on while ours is still listed (a terminated process leaves the list a little
  // later), then none of the session is found.
  const std::vector<std::wstring> sweep = qvtest::LogMessagesOf(
      qvtest::TodayLogFile(logDir.path()), L"UltimateTerminateAllTovinProcesses: ");
  ASSERT_GE(sweep.size(), 2u);
  for (size_t i = 0; i + 1 < sweep.size(); ++i) EXPECT_EQ(sweep[i], L"shut down some processes");
  EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
}

namespace {

// A program of the user's that is not the engine, under a name of the test's choosing.
QV_TEST_CHILD(idle_program) {
  Sleep(120000);
  return 0;
}

}  // namespace

// The check made through a process's own handle before it is ended: the session's "tovin.exe"
// only. A handle to another program (what an engine's id names once another program has it), to
// an engine of another session, or one that cannot read the image is never taken for the engine.
TEST(EngineProcesses, OnlyTheSessionsEngineIsTakenForTheEngineThroughItsHandle) {
  qvtest::ScopedTempDir dir;
  FakeEngineInstall engines(dir.path() + L"Engine");
  ScopedHandle engine = engines.start(L"/PLATFORMINSTALLED");
  ScopedHandle elsewhere = engines.start(L"/PLATFORMINSTALLED");
  ASSERT_TRUE(engine && elsewhere);
  ASSERT_NE(qvtest::WaitForEngineWindow(GetProcessId(engine.get())), nullptr);
  qvtest::ChildOptions lookalikeName;
  lookalikeName.exeName = L"tovin.exe.exe";
  qvtest::RunningChild lookalike(L"idle_program", {}, lookalikeName);
  qvtest::ChildOptions otherName;
  otherName.exeName = L"notepad.exe";
  qvtest::RunningChild other(L"idle_program", {}, otherName);
  ASSERT_TRUE(lookalike.process() && other.process());

  DWORD session = 0;
  ASSERT_TRUE(OwnSession(&session));
  const DWORD access = SYNCHRONIZE | PROCESS_TERMINATE | QVOS::processImageAccess();
  auto open = [&](HANDLE process, DWORD rights) {
    return ScopedHandle(OpenProcess(rights, FALSE, GetProcessId(process)));
  };
  ScopedSessionSeam seam(GetProcessId(elsewhere.get()));
  struct Case {
    const char* what;
    ScopedHandle handle;
    EngineCheck expected;
  } cases[] = {
      {"the session's engine", open(engine.get(), access), EngineCheck::kEngine},
      {"an engine of another session", open(elsewhere.get(), access), EngineCheck::kOtherProgram},
      {"another program", open(other.process(), access), EngineCheck::kOtherProgram},
      {"a name that only begins like the engine's", open(lookalike.process(), access),
       EngineCheck::kOtherProgram},
      {"this test program", open(GetCurrentProcess(), access), EngineCheck::kOtherProgram},
      {"the engine, without the right to read its image",
       open(engine.get(), SYNCHRONIZE | PROCESS_TERMINATE), EngineCheck::kUnreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(c.handle);
    EXPECT_EQ(CheckEngineProcess(c.handle.get(), session), c.expected);
  }

  // Opened by id: a handle only for the session's engine, with what each turned out to be.
  EngineCheck check = EngineCheck::kEngine;
  DWORD error = 0;
  EXPECT_TRUE(OpenSessionEngine(GetProcessId(engine.get()), session, &check, &error));
  EXPECT_EQ(check, EngineCheck::kEngine);
  EXPECT_FALSE(OpenSessionEngine(GetProcessId(other.process()), session, &check, &error));
  EXPECT_EQ(check, EngineCheck::kOtherProgram);
  EXPECT_FALSE(OpenSessionEngine(GetProcessId(elsewhere.get()), session, &check, &error));
  EXPECT_EQ(check, EngineCheck::kOtherProgram);
  // An id no process has: not opened, with the system's error.
  error = 0;
  EXPECT_FALSE(OpenSessionEngine(0xFFFFFFF0, session, &check, &error));
  EXPECT_NE(error, 0u);
  // Only looked at: nothing was ended.
  EXPECT_FALSE(qvtest::Ended(engine, 0));
  EXPECT_EQ(WaitForSingleObject(other.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}
