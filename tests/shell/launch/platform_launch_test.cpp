#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/os/integrity_level.h"
#include "foundation/owners/scoped_handle.h"
#include "shell/launch/platform_launch.h"
#include "support/app_visibility_registration.h"
#include "support/child_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/fixture_records.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/tray_server_registration.h"
#include "support/windows_release.h"

// The launch runs in a child process, as it does in its own rundll32.exe, with the Windows
// release Wine reports to that child, against the simulated platform: the deskband libraries,
// the taskbar's deskband object and Windows 8's application-visibility service.

// Not declared by the MinGW headers; user32 exports it.
extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kSource[] = L"RunLaunchPlatformW: ";
// Where each deskband build registers its class.
const std::vector<std::wstring> kBuildKeys = qvtest::DeskbandClassKeys();
// What the Explorer registrations write.
const wchar_t* const kExplorerKeys[] = {
    L"Software\\Classes\\AllFileSystemObjects\\shell\\tovin",
    L"Software\\Classes\\Directory\\shell\\tovin",
    L"Software\\Classes\\Drive\\shell\\tovin",
    L"Software\\Classes\\lnkfile\\shell\\tovin",
    L"Software\\Classes\\tovin",
};

bool IsMediumLevel(HANDLE, uint32_t* level) {
  *level = QVOS::kMediumIntegrity;
  return true;
}

// Runs the launch through the real DLL's entry point, as rundll32.exe does. "medium": the
// launch of this executable's own copy of the code instead, where every process, Explorer
// included, reads as medium integrity (Wine runs all at high). "win11": this executable's own
// copy on Windows 11, which Wine cannot report, through the injected version query.
QV_TEST_CHILD(launch_platform) {
  if (!args.empty() && args[0] == L"medium") {
    QVOS::detail::setIntegrityLevelQuery(&IsMediumLevel);
    LaunchPlatform(GetModuleHandleW(nullptr));
    return 0;
  }
  if (!args.empty() && args[0] == L"win11") {
    qvtest::ScopedFakeWindowsVersion windows11(10, 0, qvtest::kWindows11Build);
    LaunchPlatform(GetModuleHandleW(nullptr));
    return 0;
  }
  qvtest::Library dll;
  const auto entry = QV_EXPORT(dll, RunLaunchPlatformW);
  if (!entry) return 2;
  wchar_t commandLine[] = L"";
  entry(nullptr, dll.module(), commandLine, SW_SHOWNORMAL);
  return 0;
}

// Plays the desktop shell until the event named by the first argument is set.
QV_TEST_CHILD(launch_shell) {
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(0).c_str()));
  const HWND window = CreateWindowExW(0, L"STATIC", L"shell", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
  if (!window || !SetShellWindow(window)) return 1;
  WaitForSingleObject(done.get(), 120000);
  DestroyWindow(window);
  return 0;
}

// The installation, settings and registrations a launch touches, removed for the test and put
// back after; the deskband library of build 2 installed, named for registration.
class SimulatedPlatform {
 public:
  SimulatedPlatform()
      : settings_(HKEY_CURRENT_USER, kTovinKey),
        logEnv_(logDir_.path()),
        tray_(root_.path() + L"tray.txt") {
    for (const std::wstring& key : kBuildKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_LOCAL_MACHINE, key));
    }
    for (const wchar_t* key : kExplorerKeys) {
      saved_.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
    }
    installDir_ = root_.path() + L"Tovin Apps\\";
    library_ = qvtest::InstallDeskbandLibrary(installDir_, 2);
    setString(L"InstallDir", installDir_.substr(0, installDir_.size() - 1));
    setString(L"RegisterDeskbandFilename", L"qvdeskband_2.dll");
  }

  void setString(const wchar_t* name, const std::wstring& value) const {
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, name, REG_SZ,
                               qvtest::WideBytes(value));
  }
  const std::wstring& root() const { return root_.path(); }
  const std::wstring& installDir() const { return installDir_; }
  const std::wstring& library() const { return library_; }
  std::wstring deskbandRecord() const { return qvtest::DeskbandRecordPath(installDir_); }
  std::vector<std::wstring> log() const { return qvtest::TodaysLogMessages(logDir_.path()); }
  const std::wstring& logDir() const { return logDir_.path(); }
  std::vector<std::wstring> launchLines() const {
    return qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir_.path()), kSource);
  }

 private:
  qvtest::ScopedRegistryKey settings_;
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> saved_;
  qvtest::ScopedTempDir root_;
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_;
  qvtest::ScopedTrayDeskBandServer tray_;
  qvtest::ScopedDeskbandCleanup deskbands_;
  std::wstring installDir_;
  std::wstring library_;
};

size_t IndexOf(const std::vector<std::wstring>& messages, const std::wstring& message) {
  return static_cast<size_t>(std::find(messages.begin(), messages.end(), message) -
                             messages.begin());
}

bool HandlersRegistered() {
  qvtest::RegistryValue verb, protocol;
  return qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kExplorerKeys[0], L"", &verb) &&
         verb.bytes == qvtest::WideBytes(L"Add to Tovin Menu") &&
         qvtest::ReadRegistryValue(HKEY_CURRENT_USER, kExplorerKeys[4], L"URL Protocol", &protocol);
}

// Polls today's log of `platform` for `message`.
bool WaitForLogMessage(const SimulatedPlatform& platform, const std::wstring& message,
                       DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const std::vector<std::wstring> log = platform.log();
    if (std::find(log.begin(), log.end(), message) != log.end()) return true;
    if (GetTickCount64() > deadline) return false;
    Sleep(50);
  }
}

// The deskband shown and the handlers registered after it, in this order in the log.
void ExpectShownThenHandlersRegistered(const SimulatedPlatform& platform) {
  EXPECT_NE(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_TRUE(HandlersRegistered());
  const std::vector<std::wstring> log = platform.log();
  const size_t shown = IndexOf(log, L"QVDeskbandUtil::Show: GetDeskBandHWND returned a value");
  const size_t verb =
      IndexOf(log, L"PlatformExplorerUtils::RegisterContextMenuHandlers: registering");
  const size_t protocol =
      IndexOf(log, L"PlatformExplorerUtils::RegisterProtocolHandler: registering");
  const size_t done = IndexOf(log, L"RunLaunchPlatformW: registering handlers success");
  EXPECT_LT(shown, verb);
  EXPECT_LT(verb, protocol);
  EXPECT_LT(protocol, done);
  EXPECT_EQ(done + 1, log.size()) << "the launch's last line";
}

}  // namespace

// No settings key at all: the menu counts as enabled; with no library named for registration the
// registration fails and the launch stops there.
TEST(PlatformLaunch, WithoutSettingsTheDeskbandPathIsTakenAndAFailedRegistrationEndsIt) {
  SimulatedPlatform platform;
  qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);

  ASSERT_EQ(qvtest::RunChild(L"launch_platform", {}).exitCode, 0u);
  EXPECT_EQ(platform.launchLines(),
            (std::vector<std::wstring>{
                L"shell process count = 5", L"registering because not registered",
                L"registration required = 1", L"could not register deskband; aborting launch"}));
  const std::vector<std::wstring> log = platform.log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), L"RunLaunchPlatformW: could not register deskband; aborting launch");
  EXPECT_TRUE(qvtest::ReadRecords(platform.deskbandRecord()).empty()) << "no regsvr32, no helper";
  EXPECT_FALSE(HandlersRegistered());
}

// Windows 7, and Windows 10 whether the program's manifest declares it (rundll32.exe's does) or
// not (told 6.2 by GetVersionEx, as an installer built without NSIS's ManifestSupportedOS is):
// registration, no wait for a modern UI (the Start screen of the fake service "shows", which
// would hold a launch that asked), the deskband shown, then the handlers.
TEST(PlatformLaunch, RegistrationRequiredOnWindows7And10ShowsTheDeskbandThenRegistersTheHandlers) {
  qvtest::ChildOptions windows7;
  windows7.windowsVersion = L"win7";
  const struct {
    const wchar_t* what;
    qvtest::ChildOptions options;
  } releases[] = {
      {L"win7", windows7},
      {L"win10 declared", qvtest::Windows10Child()},
      {L"win10 undeclared", qvtest::UndeclaredWindows10Child()},
  };
  for (const auto& release : releases) {
    SCOPED_TRACE(release.what);
    SimulatedPlatform platform;
    const std::wstring serviceRecord = platform.root() + L"app_visibility.txt";
    qvtest::ScopedAppVisibilityServer service(serviceRecord);
    service.setLauncherVisible(true);

    // A launch that waited for the Start screen would not end: ended by the time-out instead.
    qvtest::ChildOptions options = release.options;
    options.timeoutMs = 90000;
    ASSERT_EQ(qvtest::RunChild(L"launch_platform", {}, options).exitCode, 0u);

    EXPECT_EQ(platform.launchLines(),
              (std::vector<std::wstring>{
                  L"shell process count = 5", L"registering because not registered",
                  L"registration required = 1", L"registering deskband success", L"launching",
                  L"registering handlers success"}));
    const std::vector<qvtest::Record> registered =
        qvtest::RecordsOfKind(platform.deskbandRecord(), L"DllRegisterServer");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0][1], L"2");
    EXPECT_TRUE(qvtest::ReadRecords(serviceRecord).empty()) << "the service was not asked";
    ExpectShownThenHandlersRegistered(platform);
  }
}

// Windows 11's taskbar hosts no deskbands: the launch starts the engine at once, as the
// menu-disabled way does but without its delay (a long one is configured), and touches no
// deskband: nothing registered, shown or helped, no handlers.
TEST(PlatformLaunch, OnWindows11TheEngineStartsAtOnceWithoutTheDeskband) {
  SimulatedPlatform platform;
  qvtest::FakeEngineInstall engine(platform.installDir() + L"Engine");
  engine.setBehaviour(qvtest::EngineQuit::kObey, 0, false);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs",
                                         REG_DWORD, qvtest::DwordBytes(600000)));

  ASSERT_EQ(qvtest::RunChild(L"launch_platform", {L"win11"}).exitCode, 0u);

  EXPECT_EQ(
      platform.launchLines(),
      std::vector<std::wstring>{L"the Windows 11 taskbar hosts no deskbands; starting the engine"});
  const qvtest::Record start = qvtest::WaitForRecord(engine.recordPath(), L"start");
  ASSERT_EQ(start.size(), 4u);
  EXPECT_EQ(start[2], L"") << "no arguments";
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(platform.logDir()), L"_ShellExecute: "),
            std::vector<std::wstring>{L"executed '" + engine.exePath() + L"' with "});
  EXPECT_TRUE(qvtest::ReadRecords(platform.deskbandRecord()).empty()) << "no regsvr32, no helper";
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  EXPECT_FALSE(HandlersRegistered());
}

// The same through the real DLL on a Windows 11 build as the system records it, in a program
// whose manifest does not declare it (GetVersionEx tells it 6.2.9200, Windows 8, as Windows
// does): the Windows 11 way all the same, not Windows 8's registration and wait.
TEST(PlatformLaunch, AnUndeclaredWindows11StartsTheEngineWithoutTheDeskband) {
  SimulatedPlatform platform;
  qvtest::FakeEngineInstall engine(platform.installDir() + L"Engine");
  engine.setBehaviour(qvtest::EngineQuit::kObey, 0, false);
  const std::wstring serviceRecord = platform.root() + L"app_visibility.txt";
  qvtest::ScopedAppVisibilityServer service(serviceRecord);
  service.setLauncherVisible(true);
  const qvtest::ScopedSystemRelease windows11(10, 0, qvtest::kWindows11Build);

  qvtest::ChildOptions options = qvtest::UndeclaredChild();
  options.timeoutMs = 60000;
  ASSERT_EQ(qvtest::RunChild(L"launch_platform", {}, options).exitCode, 0u);

  EXPECT_EQ(
      platform.launchLines(),
      std::vector<std::wstring>{L"the Windows 11 taskbar hosts no deskbands; starting the engine"});
  EXPECT_EQ(qvtest::WaitForRecord(engine.recordPath(), L"start").size(), 4u);
  EXPECT_TRUE(qvtest::ReadRecords(serviceRecord).empty()) << "the service was not asked";
  EXPECT_TRUE(qvtest::ReadRecords(platform.deskbandRecord()).empty()) << "no regsvr32, no helper";
}

// Windows 8 with the Start screen showing: the launch waits until it closes, then shows the
// deskband.
TEST(PlatformLaunch, RegistrationRequiredOnWindows8WaitsUntilTheStartScreenCloses) {
  SimulatedPlatform platform;
  const std::wstring serviceRecord = platform.root() + L"app_visibility.txt";
  qvtest::ScopedAppVisibilityServer service(serviceRecord);
  service.setLauncherVisible(true);

  qvtest::ChildOptions options;
  options.windowsVersion = L"win8";
  qvtest::RunningChild launch(L"launch_platform", {}, options);
  ASSERT_TRUE(
      WaitForLogMessage(platform, L"RunLaunchPlatformW: preparing to detect the modern ui", 60000));
  ASSERT_EQ(qvtest::WaitForRecord(serviceRecord, L"Advise").size(), 2u);
  // Several rounds of the wait go by: still waiting.
  Sleep(1500);
  EXPECT_EQ(WaitForSingleObject(launch.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(IndexOf(platform.launchLines(), L"launching"), platform.launchLines().size());
  EXPECT_EQ(qvtest::FindDeskbandWindow(), nullptr);

  service.setLauncherVisible(false);
  ASSERT_EQ(launch.wait(), 0u);
  EXPECT_EQ(
      platform.launchLines(),
      (std::vector<std::wstring>{L"shell process count = 5", L"registering because not registered",
                                 L"registration required = 1", L"registering deskband success",
                                 L"preparing to detect the modern ui", L"modern ui gone",
                                 L"launching", L"registering handlers success"}));
  // One subscription, ended before the deskband is shown.
  const std::vector<qvtest::Record> advised = qvtest::RecordsOfKind(serviceRecord, L"Advise");
  const std::vector<qvtest::Record> unadvised = qvtest::RecordsOfKind(serviceRecord, L"Unadvise");
  ASSERT_EQ(advised.size(), 1u);
  ASSERT_EQ(unadvised.size(), 1u);
  EXPECT_EQ(unadvised[0], (qvtest::Record{L"Unadvise", advised[0][1], L"0x00000000"}));
  const std::vector<std::wstring> log = platform.log();
  EXPECT_LT(IndexOf(log, L"Windows8Manager::Stop: exited"),
            IndexOf(log, L"RunLaunchPlatformW: launching"));
  ExpectShownThenHandlersRegistered(platform);
}

// The deskband registered for the user: a medium-integrity Explorer loads it from there, a
// high-integrity one (user account control off) only from HKLM, so the latter registers again.
TEST(PlatformLaunch, RegisteredForTheUserRegistersAgainOnlyForAHighIntegrityExplorer) {
  struct Case {
    const wchar_t* level;
    std::vector<std::wstring> lines;
    bool registers;
  };
  const Case cases[] = {
      {L"medium",
       {L"shell process count = 0", L"found shell process", L"registration required = 0",
        L"launching"},
       false},
      {L"high",
       {L"shell process count = 0", L"found shell process",
        L"registering because require HKLM but not present", L"registration required = 1",
        L"registering deskband success", L"launching", L"registering handlers success"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    SimulatedPlatform platform;
    ASSERT_EQ(qvtest::RunRegsvr32(L"/s \"" + platform.library() + L"\""), 0u);
    const std::wstring doneName = qvtest::UniqueName(L"shell_done");
    ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, doneName.c_str()));
    {
      qvtest::RunningChild shell(L"launch_shell", {doneName});
      for (int i = 0; i < 200 && !GetShellWindow(); ++i) Sleep(50);
      ASSERT_NE(GetShellWindow(), nullptr);
      ASSERT_EQ(qvtest::RunChild(L"launch_platform", {c.level}).exitCode, 0u);
      SetEvent(done.get());
      EXPECT_EQ(shell.wait(), 0u);
    }
    EXPECT_EQ(platform.launchLines(), c.lines);
    // The registration made by the test, and one more by the launch when it registers.
    EXPECT_EQ(qvtest::RecordsOfKind(platform.deskbandRecord(), L"DllRegisterServer").size(),
              c.registers ? 2u : 1u);
    if (c.registers) {
      ExpectShownThenHandlersRegistered(platform);
    } else {
      EXPECT_NE(qvtest::FindDeskbandWindow(), nullptr);
      EXPECT_FALSE(HandlersRegistered());
    }
  }
  // The shell's window is gone with it.
  EXPECT_EQ(GetShellWindow(), nullptr);
}
