#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <memory>
#include <string>
#include <vector>

#include "exports/qvnsis_exports.h"
#include "foundation/owners/com_initializer.h"
#include "support/child_process.h"
#include "support/elevated_installer.h"
#include "support/explorer_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/fixture_records.h"
#include "support/import_table.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/shell_window.h"
#include "support/temp_dir.h"
#include "support/tray_server_registration.h"
#include "support/windows_release.h"

// Starting and stopping the fake engine through the real DLL's exports.

namespace {

using qvtest::EngineQuit;
using qvtest::FakeEngineInstall;
using Strings = std::vector<std::wstring>;

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kStopSource[] = L"QVNSIS_StopTovin: ";
const wchar_t kSweepSource[] = L"UltimateTerminateAllTovinProcesses: ";
const wchar_t kRemoveSource[] = L"RemoveDeskBandFromTaskBar: ";
const wchar_t kExecuteSource[] = L"_ShellExecute: ";

// A recorded installation directory ("InstallDir" without a trailing backslash) and the log in a
// folder of its own, for the scope.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(bool installed = true)
      : settings_(HKEY_CURRENT_USER, kTovinKey), logEnv_(logDir_.path()) {
    installDir_ = root_.path() + L"Tovin Apps";
    CreateDirectoryW(installDir_.c_str(), nullptr);
    if (installed) {
      qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                                 qvtest::WideBytes(installDir_));
    }
  }
  const std::wstring& installDir() const { return installDir_; }
  const std::wstring& root() const { return root_.path(); }
  std::wstring log() const { return qvtest::TodayLogFile(logDir_.path()); }
  Strings messagesOf(const wchar_t* source) const { return qvtest::LogMessagesOf(log(), source); }

 private:
  qvtest::ScopedRegistryKey settings_;
  qvtest::ScopedTempDir root_;
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_;
  std::wstring installDir_;
};

// Polls until the engine has recorded `count` starts; their argument texts.
Strings WaitForStarts(const FakeEngineInstall& engine, size_t count) {
  const ULONGLONG deadline = GetTickCount64() + 10000;
  Strings starts = engine.startArguments();
  while (starts.size() < count && GetTickCount64() < deadline) {
    Sleep(20);
    starts = engine.startArguments();
  }
  return starts;
}

// Whether process `pid` recorded its own exit (a terminated engine does not).
bool RecordedExit(const FakeEngineInstall& engine, DWORD pid) {
  for (const qvtest::Record& record : qvtest::RecordsOfKind(engine.recordPath(), L"exit")) {
    if (record.size() > 1 && record[1] == std::to_wstring(pid)) return true;
  }
  return false;
}

// An engine started as the installer would have, with its window up.
ScopedHandle StartEngineWithWindow(const FakeEngineInstall& engine) {
  ScopedHandle process = engine.start(L"/PLATFORMINSTALLED");
  if (process && !qvtest::WaitForEngineWindow(GetProcessId(process.get()))) return ScopedHandle();
  return process;
}

DWORD ExitCode(const ScopedHandle& process) {
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

// Each start export once: RunTovinAndStartApp and RunTovin (both log as the former), the sideload
// and the uninstalling notice.
void CallEveryStartExport(const qvtest::Library& dll) {
  QV_CALL(dll, QVNSIS_RunTovinAndStartApp, 1, "abc");
  QV_CALL(dll, QVNSIS_RunTovin, 1);
  QV_CALL(dll, QVNSIS_RunTovinAndSideloadApps);
  QV_CALL(dll, QVNSIS_SendUninstallingStats);
}

void ExpectEveryStartFindsNoInstallation(const ScopedPlatform& platform) {
  const Strings notFound = {L"installation directory not found"};
  EXPECT_EQ(platform.messagesOf(L"QVNSIS_RunTovinAndStartApp: "),
            (Strings{notFound[0], notFound[0]}));
  EXPECT_EQ(platform.messagesOf(L"QVNSIS_RunTovinAndSideloadApps: "), notFound);
  EXPECT_EQ(platform.messagesOf(L"QVNSIS_SendUninstallingStats: "), notFound);
}

}  // namespace

TEST(EngineStartExports, ArgumentsForEveryFlagAndAppName) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kObey, 0, /*stay=*/false);
  qvtest::Library dll;
  auto startApp = QV_EXPORT(dll, QVNSIS_RunTovinAndStartApp);
  auto runTovin = QV_EXPORT(dll, QVNSIS_RunTovin);
  ASSERT_NE(startApp, nullptr);
  ASSERT_NE(runTovin, nullptr);

  struct Case {
    int flag;
    const char* app;  // null: QVNSIS_RunTovin with the flag
    bool viaRunTovin;
    std::wstring expected;
  };
  const Case cases[] = {
      {1, "abc", false, L"/PLATFORMINSTALLED /OPEN\"abc\""},
      {0, "abc", false, L" /OPEN\"abc\""},
      {1, nullptr, false, L"/PLATFORMINSTALLED"},
      {0, nullptr, false, L""},
      {0, "", false, L" /OPEN\"\""},
      // The installer's code page is not decoded: each byte is one character.
      {7, "caf\xE9 \xC3\xA9", false, L"/PLATFORMINSTALLED /OPEN\"caf\u00e9 \u00c3\u00a9\""},
      {1, nullptr, true, L"/PLATFORMINSTALLED"},
      {0, nullptr, true, L""},
  };
  Strings expected;
  for (const Case& c : cases) {
    if (c.viaRunTovin) {
      runTovin(c.flag);
    } else {
      startApp(c.flag, c.app);
    }
    expected.push_back(c.expected);
    // Starts are not awaited: take them one at a time so that their order is known.
    EXPECT_EQ(WaitForStarts(engine, expected.size()), expected);
  }
  EXPECT_TRUE(platform.messagesOf(L"QVNSIS_RunTovinAndStartApp: ").empty());
}

TEST(EngineStartExports, WithoutAnInstallationNothingIsStartedOrSwept) {
  ScopedPlatform platform(/*installed=*/false);
  // An engine already running (from a folder the library cannot know) is left alone.
  FakeEngineInstall running(platform.root() + L"Elsewhere");
  ScopedHandle engine = StartEngineWithWindow(running);
  ASSERT_TRUE(engine);
  qvtest::Library dll;
  CallEveryStartExport(dll);

  ExpectEveryStartFindsNoInstallation(platform);
  EXPECT_TRUE(platform.messagesOf(kExecuteSource).empty());
  EXPECT_TRUE(platform.messagesOf(kSweepSource).empty());
  EXPECT_FALSE(qvtest::Ended(engine, 200));
  EXPECT_EQ(running.startArguments(), Strings{L"/PLATFORMINSTALLED"});
}

// An "InstallDir" that reads as empty, as a REG_DWORD 0 does (its bytes are taken as text), is no
// installation: every export says so and starts nothing; the stop still sweeps.
TEST(EngineStartExports, AnEmptyOrZeroInstallDirIsNoInstallation) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"an empty REG_SZ", REG_SZ, qvtest::WideBytes(L"")},
      {"a REG_DWORD 0", REG_DWORD, qvtest::DwordBytes(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedPlatform platform(/*installed=*/false);
    ASSERT_TRUE(
        qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", c.type, c.bytes));
    qvtest::Library dll;
    CallEveryStartExport(dll);
    EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);

    ExpectEveryStartFindsNoInstallation(platform);
    EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"installation directory not found"});
    EXPECT_TRUE(platform.messagesOf(kExecuteSource).empty());
    EXPECT_EQ(platform.messagesOf(kSweepSource), Strings{L"shut down all tovin processes"})
        << "the stop's own";
  }
}

// An installation whose engine file is missing: every start fails with the shell's error and
// nothing runs; the uninstalling notice still goes on to sweep the session's engines.
TEST(EngineStartExports, AMissingEngineFileIsAFailedStart) {
  ScopedPlatform platform;
  FakeEngineInstall other(platform.root() + L"Elsewhere");
  ScopedHandle running = StartEngineWithWindow(other);
  ASSERT_TRUE(running);
  qvtest::Library dll;
  QV_CALL(dll, QVNSIS_RunTovinAndStartApp, 1, "abc");
  QV_CALL(dll, QVNSIS_RunTovin, 0);
  QV_CALL(dll, QVNSIS_RunTovinAndSideloadApps);
  EXPECT_FALSE(qvtest::Ended(running, 200)) << "no start sweeps";
  QV_CALL(dll, QVNSIS_SendUninstallingStats);

  // "(err: N) failed to execute '<engine>' with <arguments>", N being the shell's error.
  const std::wstring engine = platform.installDir() + L"\\Engine\\tovin.exe";
  Strings failures;
  for (const std::wstring& m : platform.messagesOf(kExecuteSource)) {
    const size_t close = m.find(L") ");
    if (m.rfind(L"(err: ", 0) != 0 || close == std::wstring::npos) continue;
    if (m.compare(close + 2, 18, L"failed to execute ") != 0) continue;
    EXPECT_NE(std::stoul(m.substr(6, close - 6)), 0ul) << m;
    failures.push_back(m.substr(close + 2));
  }
  EXPECT_EQ(failures,
            (Strings{L"failed to execute '" + engine + L"' with /PLATFORMINSTALLED /OPEN\"abc\"",
                     L"failed to execute '" + engine + L"' with ",
                     L"failed to execute '" + engine + L"' with /SIDELOAD",
                     L"failed to execute '" + engine + L"' with /UNINSTALLING"}));
  EXPECT_TRUE(qvtest::Ended(running, 5000));
  EXPECT_EQ(platform.messagesOf(kSweepSource).back(), L"shut down all tovin processes");
}

// Only the start the user sees (the engine with its menu or an app) is handed to Explorer, so it
// runs at the user's own level: under Wine the installer is above medium and so is the shell, so
// that route is tried and refused ("tryMediumIntegrity: failed") before the direct start. The
// sideload, the uninstalling notice and the quit start directly without trying it.
TEST(EngineStartExports, OnlyTheAppStartTriesTheMediumIntegrityRoute) {
  const std::wstring refused = L"tryMediumIntegrity: failed";
  struct Case {
    const char* what;
    void (*call)(const qvtest::Library& dll);
    std::wstring arguments;
    bool triesExplorer;
  } cases[] = {
      {"QVNSIS_RunTovinAndStartApp",
       [](const qvtest::Library& dll) { QV_CALL(dll, QVNSIS_RunTovinAndStartApp, 1, "abc"); },
       L"/PLATFORMINSTALLED /OPEN\"abc\"", true},
      {"QVNSIS_RunTovin", [](const qvtest::Library& dll) { QV_CALL(dll, QVNSIS_RunTovin, 0); }, L"",
       true},
      {"QVNSIS_RunTovinAndSideloadApps",
       [](const qvtest::Library& dll) { QV_CALL(dll, QVNSIS_RunTovinAndSideloadApps); },
       L"/SIDELOAD", false},
      {"QVNSIS_SendUninstallingStats",
       [](const qvtest::Library& dll) { QV_CALL(dll, QVNSIS_SendUninstallingStats); },
       L"/UNINSTALLING", false},
      {"QVNSIS_StopTovin", [](const qvtest::Library& dll) { QV_CALL(dll, QVNSIS_StopTovin); },
       L"/QUIT", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedPlatform platform;
    FakeEngineInstall engine(platform.installDir() + L"\\Engine");
    ScopedHandle running;
    if (c.arguments == L"/QUIT") {
      // An engine with its window, which obeys the quit.
      running = StartEngineWithWindow(engine);
      ASSERT_TRUE(running);
    } else {
      engine.setBehaviour(EngineQuit::kObey, 0, /*stay=*/false);
    }
    qvtest::Library dll;
    c.call(dll);

    Strings executed;
    int refusals = 0;
    for (const std::wstring& m : platform.messagesOf(kExecuteSource)) {
      if (qvtest::IsErrorLine(m, refused)) {
        ++refusals;
        EXPECT_TRUE(executed.empty()) << "the route is tried before the direct start";
      } else {
        executed.push_back(m);
      }
    }
    EXPECT_EQ(refusals, c.triesExplorer ? 1 : 0);
    EXPECT_EQ(executed, Strings{L"executed '" + platform.installDir() +
                                L"\\Engine\\tovin.exe' with " + c.arguments});
    if (running) {
      EXPECT_TRUE(qvtest::Ended(running, 15000));
    }
  }
}

TEST(EngineStartExports, SideloadWaitsForTheEngine) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kObey, 0, /*stay=*/false);
  qvtest::Library dll;
  QV_CALL(dll, QVNSIS_RunTovinAndSideloadApps);

  // Read at once: the export returned only once the engine had ended.
  const auto starts = qvtest::RecordsOfKind(engine.recordPath(), L"start");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0][2], L"/SIDELOAD");
  EXPECT_TRUE(RecordedExit(engine, std::stoul(starts[0][1])));
}

TEST(EngineStartExports, UninstallingNoticeThenEveryEngineOfTheSessionEnds) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  FakeEngineInstall other(platform.root() + L"Other");
  ScopedHandle running = StartEngineWithWindow(engine);
  ScopedHandle elsewhere = StartEngineWithWindow(other);
  ASSERT_TRUE(running);
  ASSERT_TRUE(elsewhere);
  qvtest::Library dll;
  QV_CALL(dll, QVNSIS_SendUninstallingStats);

  EXPECT_EQ(engine.startArguments(), (Strings{L"/PLATFORMINSTALLED", L"/UNINSTALLING"}));
  const auto starts = qvtest::RecordsOfKind(engine.recordPath(), L"start");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_TRUE(RecordedExit(engine, std::stoul(starts[1][1])));
  // Terminated by the sweep, wherever they run from.
  EXPECT_TRUE(qvtest::Ended(running, 5000));
  EXPECT_TRUE(qvtest::Ended(elsewhere, 5000));
  EXPECT_FALSE(RecordedExit(engine, GetProcessId(running.get())));
  EXPECT_TRUE(engine.runningEngines().empty());
  EXPECT_TRUE(other.runningEngines().empty());
  // A terminated engine may still be listed in the next round; then none is.
  const Strings sweep = platform.messagesOf(kSweepSource);
  ASSERT_GE(sweep.size(), 2u);
  for (size_t i = 0; i + 1 < sweep.size(); ++i) EXPECT_EQ(sweep[i], L"shut down some processes");
  EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
}

// The engine asked to quit ends on its own; the request goes through the executable wherever
// the installation keeps it.
TEST(StopTovinExport, AnEngineThatQuitsEndsOnItsOwn) {
  for (const bool engineFolder : {true, false}) {
    SCOPED_TRACE(engineFolder ? "Engine\\tovin.exe"
                              : "tovin.exe directly in the installation directory");
    ScopedPlatform platform;
    FakeEngineInstall engine(engineFolder ? platform.installDir() + L"\\Engine"
                                          : platform.installDir());
    engine.setBehaviour(EngineQuit::kObey, 300);
    ScopedHandle running = StartEngineWithWindow(engine);
    ASSERT_TRUE(running);
    qvtest::Library dll;
    EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);

    EXPECT_TRUE(qvtest::Ended(running, 5000));
    EXPECT_TRUE(RecordedExit(engine, GetProcessId(running.get())));
    EXPECT_EQ(engine.startArguments(), (Strings{L"/PLATFORMINSTALLED", L"/QUIT"}));
    const auto close = qvtest::RecordsOfKind(engine.recordPath(), L"close-request");
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(close[0][1], std::to_wstring(GetProcessId(running.get())));
    EXPECT_TRUE(platform.messagesOf(kStopSource).empty());
    const Strings sweep = platform.messagesOf(kSweepSource);
    ASSERT_FALSE(sweep.empty());
    EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
  }
}

TEST(StopTovinExport, AnEngineIgnoringQuitIsTerminatedAfterTenSeconds) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kIgnore);
  ScopedHandle running = StartEngineWithWindow(engine);
  ASSERT_TRUE(running);
  qvtest::Library dll;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);
  EXPECT_GE(GetTickCount64() - start, 9900u);

  EXPECT_TRUE(qvtest::Ended(running, 5000));
  EXPECT_FALSE(RecordedExit(engine, GetProcessId(running.get())));
  EXPECT_EQ(ExitCode(running), 0u);
  EXPECT_FALSE(qvtest::RecordsOfKind(engine.recordPath(), L"close-request").empty());
  EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"tovin did not terminate on its own"});
  EXPECT_EQ(platform.messagesOf(kSweepSource).back(), L"shut down all tovin processes");
}

// The platform installed, no engine and no deskband: two lines, nothing started, nothing sent.
TEST(StopTovinExport, NoEngineWindow) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  qvtest::Library dll;
  EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);

  EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"could not find tovin's HWND"});
  EXPECT_EQ(platform.messagesOf(kSweepSource), Strings{L"shut down all tovin processes"});
  EXPECT_TRUE(platform.messagesOf(kRemoveSource).empty());
  EXPECT_TRUE(platform.messagesOf(kExecuteSource).empty());
  EXPECT_TRUE(engine.startArguments().empty());
}

// Without an installation the engines of the session are still swept. Nor is a "tovin.exe" at
// the root of the current drive taken for the platform's.
TEST(StopTovinExport, WithoutAnInstallationStillSweeps) {
  ScopedPlatform platform(/*installed=*/false);
  FakeEngineInstall other(platform.root() + L"Elsewhere");
  ScopedHandle running = StartEngineWithWindow(other);
  ASSERT_TRUE(running);

  wchar_t oldDirectory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, oldDirectory);
  // The system drive of the test bed's own prefix (the test folders lie on the host's drive).
  wchar_t windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(windows));
  const std::wstring driveRoot = std::wstring(windows).substr(0, 3);
  const std::wstring planted = driveRoot + L"tovin.exe";
  ASSERT_FALSE(qvtest::FileExists(planted));
  ASSERT_TRUE(CopyFileW(other.exePath().c_str(), planted.c_str(), TRUE));

  qvtest::Library dll;
  const int result = QV_CALL(dll, QVNSIS_StopTovin);
  SetCurrentDirectoryW(oldDirectory);
  const bool plantedRan = qvtest::FileExists(driveRoot + L"tovin_record.txt");
  DeleteFileW(planted.c_str());
  DeleteFileW((driveRoot + L"tovin_record.txt").c_str());

  EXPECT_EQ(result, 1);
  EXPECT_FALSE(plantedRan);
  EXPECT_TRUE(qvtest::Ended(running, 5000));
  EXPECT_FALSE(RecordedExit(other, GetProcessId(running.get())));
  EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"installation directory not found"});
  EXPECT_EQ(platform.messagesOf(kSweepSource).back(), L"shut down all tovin processes");
}

// An engine replaced as fast as it is terminated keeps the sweep going round after round; it
// gives up after 5 seconds unless a round comes up empty (the stand-ins take long to start on a
// loaded machine, so that can happen: the give-up itself is proven with the resisting engine
// below). Either way the result agrees with the last line.
TEST(StopTovinExport, ARestartingEngineKeepsTheSweepGoing) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kRestart);
  ScopedHandle running = StartEngineWithWindow(engine);
  ASSERT_TRUE(running);
  ASSERT_FALSE(qvtest::WaitForRecord(engine.recordPath(), L"keeper-start").empty());
  qvtest::Library dll;
  const int result = QV_CALL(dll, QVNSIS_StopTovin);

  EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"tovin did not terminate on its own"});
  EXPECT_FALSE(RecordedExit(engine, GetProcessId(running.get())));
  const Strings sweep = platform.messagesOf(kSweepSource);
  ASSERT_GE(sweep.size(), 2u);
  for (size_t i = 0; i + 1 < sweep.size(); ++i) EXPECT_EQ(sweep[i], L"shut down some processes");
  if (result == 0) {
    EXPECT_EQ(sweep.back(), L"couldn't shut down all tovin processes");
    // Rounds 50 ms apart for 5 seconds.
    EXPECT_GE(sweep.size(), 10u);
  } else {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
  }
}

// An engine whose process cannot be opened: the error is logged, its window is given 9 seconds
// to go, and the sweep, which cannot end it either, reports failure.
TEST(StopTovinExport, AnEngineThatCannotBeOpenedIsWaitedForByItsWindow) {
  ScopedPlatform platform;
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kResist);
  ScopedHandle running = StartEngineWithWindow(engine);
  ASSERT_TRUE(running);
  ASSERT_FALSE(qvtest::WaitForRecord(engine.recordPath(), L"refuse-termination").empty());
  qvtest::Library dll;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 0);
  // Nine window rounds of a second, then five seconds of sweeping.
  EXPECT_GE(GetTickCount64() - start, 13900u);

  EXPECT_EQ(platform.messagesOf(kStopSource),
            Strings{L"(err: 5) could not get tovin's process handle"});
  EXPECT_EQ(platform.messagesOf(kSweepSource).back(), L"couldn't shut down all tovin processes");
  EXPECT_FALSE(qvtest::Ended(running, 0));
  EXPECT_EQ(engine.startArguments(), (Strings{L"/PLATFORMINSTALLED", L"/QUIT"}));
}

// The deskband below the taskbar is told to close (command 25), whether or not the taskbar has
// its deskband object, which is asked to hide the platform's band first.
TEST(StopTovinExport, TheDeskbandIsClosedFirst) {
  for (const bool withTray : {false, true}) {
    SCOPED_TRACE(withTray ? "with the taskbar's deskband object" : "without it");
    ScopedPlatform platform;
    qvtest::ScopedDeskbandCleanup cleanup;
    const std::wstring trayRecord = platform.root() + L"tray_record.txt";
    std::unique_ptr<qvtest::ScopedTrayDeskBandServer> tray;
    if (withTray) tray = std::make_unique<qvtest::ScopedTrayDeskBandServer>(trayRecord);
    const std::wstring folder = platform.installDir() + L"\\";
    const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 0);
    ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
    ASSERT_TRUE(host);
    ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);

    qvtest::Library dll;
    EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);

    EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
    EXPECT_TRUE(qvtest::Ended(host, 5000));
    const auto commands = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(folder), L"command");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], (qvtest::Record{L"command", L"0", L"25", L"", L"", L"0", L"0", L"1"}));
    EXPECT_TRUE(platform.messagesOf(kRemoveSource).empty());
    if (withTray) {
      EXPECT_EQ(qvtest::ReadRecords(trayRecord),
                (std::vector<qvtest::Record>{
                    {L"HideDeskBand", L"{DB5B5FAB-8F4D-4E27-9DA1-494C73CF256D}", L"0x00000000"}}));
    }
  }
}

// Windows 11's taskbar hosts no deskbands, yet a deskband window left from before an upgrade is
// still closed and the engines swept. Wine cannot report a Windows 11 build: the injected version
// query stands in, with this executable's own copy of the export.
TEST(StopTovinExport, OnWindows11TheDeskbandWindowIsStillClosed) {
  ScopedPlatform platform;
  qvtest::ScopedDeskbandCleanup cleanup;
  const std::wstring folder = platform.installDir() + L"\\";
  const std::wstring library = qvtest::InstallDeskbandLibrary(folder, 0);
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(0));
  ASSERT_TRUE(host);
  ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);
  FakeEngineInstall engine(platform.installDir() + L"\\Engine");
  engine.setBehaviour(EngineQuit::kObey);
  ScopedHandle running = StartEngineWithWindow(engine);
  ASSERT_TRUE(running);

  {
    qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
    EXPECT_EQ(QVNSIS_StopTovin(), 1);
  }
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_TRUE(qvtest::Ended(host, 5000));
  const auto commands = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(folder), L"command");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0][2], L"25");
  EXPECT_TRUE(qvtest::Ended(running, 0));
  EXPECT_EQ(engine.startArguments(), (Strings{L"/PLATFORMINSTALLED", L"/QUIT"}));
  EXPECT_EQ(platform.messagesOf(L"QVOS::getWindowsVersion: "),
            Strings{L"10.0.22621; WindowsVersion = 11"});
}

namespace {

int g_closeCommands = 0;

// A deskband window that never closes.
LRESULT CALLBACK StubbornDeskband(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data->cbData >= 4 && *static_cast<const int*>(data->lpData) == 25) ++g_closeCommands;
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

using SleepFn = void(WINAPI*)(DWORD);
void* g_systemSleep = nullptr;

// A Sleep that ends before the tick count has moved as far as it was asked, as one can on a
// loaded machine: a round's wait 50 ms short, a shorter wait at once.
void WINAPI SleepsEndEarly(DWORD ms) {
  if (ms < 500) return;
  reinterpret_cast<SleepFn>(g_systemSleep)(ms - 50);
}

}  // namespace

TEST(StopTovinExport, ADeskbandThatStaysIsGivenUpAfterFiveSeconds) {
  // One command per round while under 5 seconds have passed, one more when the tick counter's
  // steps fall just short: ten rounds of 500 ms, or eleven of 450 ms when each Sleep ends 50 ms
  // early; never a burst of rounds in the last milliseconds, where a short Sleep can end before
  // the tick count moves.
  const struct {
    const char* what;
    void* sleep;  // the library's Sleep, or null for the system's
    int most;
  } cases[] = {
      {"the system's Sleep", nullptr, 11},
      {"sleeps that end before the tick count has moved as far",
       reinterpret_cast<void*>(&SleepsEndEarly), 12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedPlatform platform;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StubbornDeskband;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TovinDeskBandClass2";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    const HWND band = CreateWindowExW(0, L"TovinDeskBandClass2", L"", WS_CHILD, 0, 0, 10, 10,
                                      FindWindowW(L"Shell_TrayWnd", nullptr), nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(band, nullptr);
    g_closeCommands = 0;
    qvtest::Library dll;
    std::unique_ptr<qvtest::ScopedImportPatch> patch;
    if (c.sleep) {
      patch = std::make_unique<qvtest::ScopedImportPatch>(dll.module(), "kernel32.dll", "Sleep",
                                                          c.sleep);
      ASSERT_TRUE(patch->patched());
      g_systemSleep = patch->original();
    }
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), 1);
    // The real sleeps take the 5 s; early ones may give up the last part of a round.
    EXPECT_GE(GetTickCount64() - start, c.sleep ? 4400u : 4900u);
    patch.reset();
    DestroyWindow(band);
    UnregisterClassW(L"TovinDeskBandClass2", GetModuleHandleW(nullptr));

    EXPECT_GE(g_closeCommands, 2);
    EXPECT_LE(g_closeCommands, c.most);
    EXPECT_EQ(platform.messagesOf(kRemoveSource), Strings{L"couldn't close deskband"});
    // No engine executable in the installation.
    EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"installation directory not found"});
  }
}

namespace {

// What the system answers the DLL through its imports (support/import_table.h), where Wine
// cannot be made to fail a process list or to give an ended engine's id to another program.
using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using FirstEntryFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
using SessionFn = BOOL(WINAPI*)(DWORD, DWORD*);
using OpenProcessFn = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);

// How many calls still fail, and the system's own function for the calls after them.
LONG g_failures = 0;
void* g_system = nullptr;

bool FailThisCall(DWORD error) {
  if (InterlockedDecrement(&g_failures) < 0) return false;
  SetLastError(error);
  return true;
}

HANDLE WINAPI SnapshotOutOfMemory(DWORD flags, DWORD processId) {
  if (FailThisCall(ERROR_NOT_ENOUGH_MEMORY)) return INVALID_HANDLE_VALUE;
  return reinterpret_cast<SnapshotFn>(g_system)(flags, processId);
}

// The transient failure Microsoft documents for the snapshot, to be asked again.
HANDLE WINAPI SnapshotBadLength(DWORD flags, DWORD processId) {
  if (FailThisCall(ERROR_BAD_LENGTH)) return INVALID_HANDLE_VALUE;
  return reinterpret_cast<SnapshotFn>(g_system)(flags, processId);
}

BOOL WINAPI FirstEntryUnreadable(HANDLE snapshot, PROCESSENTRY32W* entry) {
  if (FailThisCall(ERROR_NO_MORE_FILES)) return FALSE;
  return reinterpret_cast<FirstEntryFn>(g_system)(snapshot, entry);
}

BOOL WINAPI SessionDenied(DWORD processId, DWORD* session) {
  if (FailThisCall(ERROR_ACCESS_DENIED)) return FALSE;
  return reinterpret_cast<SessionFn>(g_system)(processId, session);
}

// The engine's id, taken over by another program: asked for it, the system opens that program.
DWORD g_engineId = 0;
DWORD g_otherProgramId = 0;
HANDLE WINAPI OpenTakenOverId(DWORD access, BOOL inherit, DWORD processId) {
  return reinterpret_cast<OpenProcessFn>(g_system)(
      access, inherit, processId == g_engineId ? g_otherProgramId : processId);
}

// A program of the user's that is not the engine.
QV_TEST_CHILD(other_program) {
  Sleep(120000);
  return 0;
}

}  // namespace

// A sweep that cannot read the process list (the session, the snapshot or its first entry) does
// not report the session free of engines: each failure is logged with its error, the list is
// asked for again every 50 ms within the sweep's 5 seconds, and QVNSIS_StopTovin answers 0. A
// failure that passes (a snapshot's ERROR_BAD_LENGTH, which Microsoft says to retry) is followed
// by the usual answer.
TEST(StopTovinExport, AProcessListThatCannotBeReadIsNoEmptySession) {
  struct Case {
    const char* function;
    void* replacement;
    LONG failures;
    Strings sweep;
    int result;
  } cases[] = {
      {"CreateToolhelp32Snapshot",
       reinterpret_cast<void*>(&SnapshotOutOfMemory),
       1000,
       {L"(err: 8) could not take a list of the processes",
        L"could not tell whether tovin processes are left"},
       0},
      {"Process32FirstW",
       reinterpret_cast<void*>(&FirstEntryUnreadable),
       1000,
       {L"(err: 18) could not read the list of the processes",
        L"could not tell whether tovin processes are left"},
       0},
      {"ProcessIdToSessionId",
       reinterpret_cast<void*>(&SessionDenied),
       1000,
       {L"(err: 5) could not look up this process's session",
        L"could not tell whether tovin processes are left"},
       0},
      {"CreateToolhelp32Snapshot",
       reinterpret_cast<void*>(&SnapshotBadLength),
       2,
       {L"(err: 24) could not take a list of the processes", L"shut down all tovin processes"},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.function) + " failing " + std::to_string(c.failures) + " times");
    ScopedPlatform platform;
    FakeEngineInstall engine(platform.installDir() + L"\\Engine");
    qvtest::Library dll;
    ASSERT_TRUE(dll);
    g_failures = c.failures;
    const qvtest::ScopedImportPatch patch(dll.module(), "kernel32.dll", c.function, c.replacement);
    ASSERT_TRUE(patch.patched());
    g_system = patch.original();

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(QV_CALL(dll, QVNSIS_StopTovin), c.result);
    const ULONGLONG took = GetTickCount64() - start;
    // The sweep's 5 seconds, with a wide margin for a loaded machine.
    EXPECT_LT(took, 15000u);
    if (c.result == 0) {
      EXPECT_GE(took, 4900u) << "asked again for the sweep's whole time";
    }
    EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"could not find tovin's HWND"});
    EXPECT_EQ(platform.messagesOf(kSweepSource), c.sweep);
  }
}

// Between the look (the engine's window, or the process list) and the end, the engine's id may
// pass to another program. Each process is checked through its own handle before it is ended:
// the other program is never ended. In the quit step the engine, asked to quit, goes on its own
// and the answer is 1; in the sweep the engine still listed under that id cannot be reached, and
// after the sweep's 5 seconds the answer is 0.
TEST(StopTovinExport, AProcessIdTakenOverByAnotherProgramIsNeverEnded) {
  for (const bool quitStep : {true, false}) {
    SCOPED_TRACE(quitStep ? "between the window and the open"
                          : "between the process list and the open");
    ScopedPlatform platform(/*installed=*/quitStep);
    FakeEngineInstall engine(platform.installDir() + L"\\Engine");
    engine.setBehaviour(quitStep ? EngineQuit::kObey : EngineQuit::kIgnore);
    ScopedHandle running = StartEngineWithWindow(engine);
    ASSERT_TRUE(running);
    qvtest::ChildOptions otherName;
    otherName.exeName = L"qvchild_other_program.exe";
    qvtest::RunningChild other(L"other_program", {}, otherName);
    ASSERT_TRUE(other.process());
    g_engineId = GetProcessId(running.get());
    g_otherProgramId = GetProcessId(other.process());

    qvtest::Library dll;
    ASSERT_TRUE(dll);
    const qvtest::ScopedImportPatch patch(dll.module(), "kernel32.dll", "OpenProcess",
                                          reinterpret_cast<void*>(&OpenTakenOverId));
    ASSERT_TRUE(patch.patched());
    g_system = patch.original();
    const int result = QV_CALL(dll, QVNSIS_StopTovin);

    EXPECT_EQ(WaitForSingleObject(other.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the other program runs";
    const Strings sweep = platform.messagesOf(kSweepSource);
    ASSERT_FALSE(sweep.empty());
    if (quitStep) {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(platform.messagesOf(kStopSource),
                Strings{L"process " + std::to_wstring(g_engineId) +
                        L" of tovin's window is not tovin any more"});
      EXPECT_TRUE(qvtest::Ended(running, 5000));
      EXPECT_TRUE(RecordedExit(engine, g_engineId)) << "it quit on its own";
      EXPECT_EQ(sweep.back(), L"shut down all tovin processes");
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(platform.messagesOf(kStopSource), Strings{L"installation directory not found"});
      EXPECT_FALSE(qvtest::Ended(running, 0)) << "out of reach under its taken-over id";
      EXPECT_EQ(sweep.back(), L"couldn't shut down all tovin processes");
    }
  }
}

namespace {

// The installer: COM on its thread as NSIS has it, the real DLL told it is elevated beside a
// normal Explorer (support/elevated_installer.h), then QVNSIS_RunTovin(1). Writes how long the
// call took, in milliseconds, to the file named first.
QV_TEST_CHILD(run_tovin_elevated) {
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  qvtest::Library dll;
  const qvtest::ScopedElevatedInstaller elevated(dll.module());
  if (!elevated.patched()) return 2;
  const ULONGLONG start = GetTickCount64();
  QV_CALL(dll, QVNSIS_RunTovin, 1);
  qvtest::WriteFileBytes(args.at(0), std::to_string(GetTickCount64() - start));
  return 0;
}

}  // namespace

// An elevated installer starts the engine through Explorer, which does not answer: the export
// returns within the route's 5 seconds (checked with a margin for a loaded machine). Hung before
// ShellExecute, the engine is started directly; hung in ShellExecute, Explorer has the request
// and may still carry it out, so the engine is not started a second time.
TEST(EngineStartExports, AnExplorerThatDoesNotAnswerHoldsTheStartNoLongerThanItsBound) {
  for (const wchar_t* call : {L"FindWindowSW", L"ShellExecute"}) {
    SCOPED_TRACE(std::wstring(L"hangs in ") + call);
    ScopedPlatform platform;
    FakeEngineInstall engine(platform.installDir() + L"\\Engine");
    engine.setBehaviour(EngineQuit::kObey, 0, /*stay=*/false);
    qvtest::ScopedShellWindow shell;
    ASSERT_TRUE(shell.ready());
    qvtest::ScopedExplorerProcess::Misbehaviour misbehaviour;
    misbehaviour.hangIn = call;
    qvtest::ScopedExplorerProcess explorer(platform.root() + L"explorer.txt", misbehaviour);
    ASSERT_TRUE(explorer.ready());

    const std::wstring took = platform.root() + L"took.txt";
    qvtest::ChildOptions options;
    // Without the bound the call never returns: the child is then ended here.
    options.timeoutMs = 60000;
    EXPECT_EQ(qvtest::RunChild(L"run_tovin_elevated", {took}, options).exitCode, 0u);
    const std::string tookText = qvtest::ReadFileBytes(took);
    ASSERT_FALSE(tookText.empty()) << "the call never returned";
    const unsigned long long tookMs = std::stoull(tookText);
    EXPECT_GE(tookMs, 4900u) << "Explorer was given the route's time";
    EXPECT_LT(tookMs, 15000u);

    const std::wstring engineLine = engine.exePath() + L"' with /PLATFORMINSTALLED";
    const Strings lines = platform.messagesOf(kExecuteSource);
    if (std::wstring(call) == L"ShellExecute") {
      EXPECT_EQ(lines,
                Strings{L"explorer did not answer ShellExecute within 5000 ms; '" +
                        engine.exePath() + L"' not started here: Explorer may still start it"});
      Sleep(1000);
      EXPECT_TRUE(engine.startArguments().empty()) << "not started a second time";
    } else {
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(lines[0], L"explorer did not answer FindWindowSW within 5000 ms");
      EXPECT_NE(lines[1].find(L") tryMediumIntegrity: failed"), std::wstring::npos) << lines[1];
      EXPECT_EQ(lines[2], L"executed '" + engineLine);
      EXPECT_EQ(WaitForStarts(engine, 1), Strings{L"/PLATFORMINSTALLED"});
    }
  }
}
