#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "support/fake_engine.h"
#include "support/program.h"
#include "support/temp_dir.h"

namespace {

using qvtest::EngineQuit;
using qvtest::FakeEngineInstall;

// Starts a program the way the installer library does: through the shell, with parameters.
ScopedHandle ShellStart(const std::wstring& exe, const std::wstring& parameters) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = exe.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return ScopedHandle();
  return ScopedHandle(info.hProcess);
}

}  // namespace

// The parameters reach the record exactly, leading space and non-ASCII text included.
TEST(FakeEngine, RecordsTheParametersOfEachShellStart) {
  qvtest::ScopedTempDir dir;
  FakeEngineInstall engine(dir.path() + L"Engine");
  engine.setBehaviour(EngineQuit::kObey, 0, /*stay=*/false);
  const std::vector<std::wstring> parameters = {L"/PLATFORMINSTALLED /OPEN\"abc\"", L" /OPEN\"\"",
                                                L" /OPEN\"caf\u00e9\"", L"/SIDELOAD"};
  for (const auto& text : parameters) {
    ScopedHandle process = ShellStart(engine.exePath(), text);
    ASSERT_TRUE(process) << GetLastError();
    EXPECT_TRUE(qvtest::Ended(process, 10000));
  }
  EXPECT_EQ(engine.startArguments(), parameters);
}

// A "/QUIT" start finds the running engine's window and asks it to close; the engine answers
// as its behaviour says.
TEST(FakeEngine, AnswersQuitAsConfigured) {
  struct Case {
    EngineQuit quit;
    unsigned delayMs;
    const wchar_t* answer;
    bool ends;
  } cases[] = {
      {EngineQuit::kObey, 0, L"quit", true},
      {EngineQuit::kObey, 300, L"quit-after-300", true},
      {EngineQuit::kIgnore, 0, L"ignored", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    qvtest::ScopedTempDir dir;
    FakeEngineInstall engine(dir.path() + L"Engine");
    engine.setBehaviour(c.quit, c.delayMs);
    ScopedHandle running = ShellStart(engine.exePath(), L"/PLATFORMINSTALLED");
    ASSERT_TRUE(running);
    const DWORD pid = GetProcessId(running.get());
    ASSERT_NE(qvtest::WaitForEngineWindow(pid), nullptr);

    ScopedHandle quitter = ShellStart(engine.exePath(), L"/QUIT");
    ASSERT_TRUE(quitter);
    EXPECT_TRUE(qvtest::Ended(quitter, 10000));
    const qvtest::Record close = qvtest::WaitForRecord(engine.recordPath(), L"close-request");
    ASSERT_EQ(close.size(), 3u);
    EXPECT_EQ(close[1], std::to_wstring(pid));
    EXPECT_EQ(close[2], c.answer);
    const auto sent = qvtest::RecordsOfKind(engine.recordPath(), L"quit-sent");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][2], std::to_wstring(pid));
    if (c.ends) {
      EXPECT_TRUE(qvtest::Ended(running, 10000));
    } else {
      EXPECT_EQ(WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }
  }
}

// A restarting engine keeps replacing itself under a sweep that terminates every engine and
// sleeps 50 ms: the sweep goes on finding fresh engines round after round, to the last; the
// install's stop ends the stream for good.
TEST(FakeEngine, RestartingEngineOutlivesSweepsUntilStopped) {
  qvtest::ScopedTempDir dir;
  FakeEngineInstall engine(dir.path() + L"Engine");
  engine.setBehaviour(EngineQuit::kRestart);
  ScopedHandle first = engine.start(L"/PLATFORMINSTALLED");
  ASSERT_TRUE(first);
  ASSERT_NE(qvtest::WaitForEngineWindow(GetProcessId(first.get())), nullptr);
  ASSERT_FALSE(qvtest::WaitForRecord(engine.recordPath(), L"keeper-start").empty());

  int foundRounds = 0;
  bool foundAtTheEnd = false;
  for (int round = 0; round < 60; ++round) {
    const bool found = qvtest::TerminateEveryEngine() > 0;
    if (found) ++foundRounds;
    if (round >= 55) foundAtTheEnd = foundAtTheEnd || found;
    Sleep(50);
  }
  EXPECT_GE(foundRounds, 45);
  EXPECT_TRUE(foundAtTheEnd);
  EXPECT_EQ(WaitForSingleObject(first.get(), 0), WAIT_OBJECT_0);  // the sweep ended the first

  engine.stop();
  EXPECT_TRUE(engine.runningEngines().empty());
  EXPECT_EQ(qvtest::TerminateEveryEngine(), 0u);
}

// A resisting engine is found by every round of a sweep and survives it (it cannot be opened
// for termination); the stop file ends it.
TEST(FakeEngine, ResistingEngineSurvivesEveryRoundUntilStopped) {
  qvtest::ScopedTempDir dir;
  FakeEngineInstall engine(dir.path() + L"Engine");
  engine.setBehaviour(EngineQuit::kResist);
  ScopedHandle running = engine.start(L"/PLATFORMINSTALLED");
  ASSERT_TRUE(running);
  const DWORD pid = GetProcessId(running.get());
  ASSERT_NE(qvtest::WaitForEngineWindow(pid), nullptr);
  const qvtest::Record refused = qvtest::WaitForRecord(engine.recordPath(), L"refuse-termination");
  ASSERT_EQ(refused.size(), 3u);
  EXPECT_EQ(refused[2], L"0");

  EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, pid), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  for (int round = 0; round < 10; ++round) {
    EXPECT_EQ(qvtest::TerminateEveryEngine(), 1u) << round;
    Sleep(50);
  }
  EXPECT_EQ(WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  engine.stop();
  EXPECT_TRUE(qvtest::Ended(running, 10000));
  EXPECT_TRUE(engine.runningEngines().empty());
}
