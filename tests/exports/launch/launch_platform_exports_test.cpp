#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/fixture_records.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/registry.h"
#include "support/temp_dir.h"

// RunLaunchPlatformW of the real DLL, started by the system's rundll32.exe as the installer does,
// with the platform's menu disabled: a delay, then the engine.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kSource[] = L"RunLaunchPlatformW: ";

// rundll32.exe "<dll>",RunLaunchPlatformW, left running.
ScopedHandle StartLaunchThroughRundll32() {
  return qvtest::StartProgram(qvtest::SystemProgram(L"rundll32.exe"),
                              L"\"" + qvtest::LibraryPath() + L"\",RunLaunchPlatformW");
}

// The platform installed with its engine, the menu disabled.
class MenuDisabledPlatform {
 public:
  MenuDisabledPlatform()
      : settings_(HKEY_CURRENT_USER, kTovinKey),
        logEnv_(logDir_.path()),
        engine_(root_.path() + L"Engine\\") {
    // Each start records itself and leaves at once.
    engine_.setBehaviour(qvtest::EngineQuit::kObey, 0, false);
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                               qvtest::WideBytes(root_.path().substr(0, root_.path().size() - 1)));
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"MenuEnabled", REG_DWORD,
                               qvtest::DwordBytes(0));
  }
  const qvtest::FakeEngineInstall& engine() const { return engine_; }
  std::wstring logFile() const { return qvtest::TodayLogFile(logDir_.path()); }

 private:
  qvtest::ScopedRegistryKey settings_;
  qvtest::ScopedTempDir root_;
  qvtest::ScopedTempDir logDir_;
  qvtest::ScopedTempEnv logEnv_;
  qvtest::FakeEngineInstall engine_;
};

}  // namespace

TEST(LaunchPlatformExport, MenuDisabledStartsTheEngineAfterTheConfiguredDelay) {
  MenuDisabledPlatform platform;
  qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs", REG_DWORD,
                             qvtest::DwordBytes(0));

  ScopedHandle rundll32 = StartLaunchThroughRundll32();
  ASSERT_TRUE(rundll32);
  ASSERT_EQ(WaitForSingleObject(rundll32.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exitCode = 1;
  GetExitCodeProcess(rundll32.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u) << "the entry point returned and took its own arguments off the stack";

  ASSERT_EQ(qvtest::WaitForRecord(platform.engine().recordPath(), L"start").size(), 4u);
  EXPECT_EQ(platform.engine().startArguments(), std::vector<std::wstring>{L""});
  EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), kSource),
            std::vector<std::wstring>{L"menu not enabled; sleeping for 0msec"});
  // No deskband work at all.
  EXPECT_TRUE(qvtest::LogMessagesOf(platform.logFile(), L"QVDeskbandUtil::").empty());
  EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), L"_ShellExecute: ").size(), 1u);

  // Without an installation there is no engine to start; nothing is started in its place.
  qvtest::DeleteRegistryKey(HKEY_CURRENT_USER, kTovinKey);
  qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"MenuEnabled", REG_DWORD,
                             qvtest::DwordBytes(0));
  qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs", REG_DWORD,
                             qvtest::DwordBytes(0));
  rundll32 = StartLaunchThroughRundll32();
  ASSERT_TRUE(rundll32);
  ASSERT_EQ(WaitForSingleObject(rundll32.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), kSource),
            (std::vector<std::wstring>{L"menu not enabled; sleeping for 0msec",
                                       L"menu not enabled; sleeping for 0msec",
                                       L"installation directory not found"}));
  EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), L"_ShellExecute: ").size(), 1u);
  EXPECT_EQ(platform.engine().startArguments().size(), 1u);
}

TEST(LaunchPlatformExport, MenuDisabledWaitsFifteenSecondsByDefault) {
  MenuDisabledPlatform platform;

  ScopedHandle rundll32 = StartLaunchThroughRundll32();
  ASSERT_TRUE(rundll32);
  const std::vector<std::wstring> expected = {L"menu not enabled; sleeping for 15000msec"};
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (qvtest::LogMessagesOf(platform.logFile(), kSource) != expected &&
         GetTickCount64() < deadline)
    Sleep(50);
  ASSERT_EQ(qvtest::LogMessagesOf(platform.logFile(), kSource), expected);
  // Well inside the delay: no engine yet, the entry point still asleep.
  EXPECT_EQ(WaitForSingleObject(rundll32.get(), 2000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(platform.engine().startArguments().empty());
  TerminateProcess(rundll32.get(), 1);
  WaitForSingleObject(rundll32.get(), 5000);
}

namespace {

// Starts the launch, waits for the first log line of the entry point and ends it there; that line.
std::wstring FirstLaunchLine(const std::wstring& logFile) {
  ScopedHandle rundll32 = StartLaunchThroughRundll32();
  if (!rundll32) return L"<not started>";
  std::vector<std::wstring> lines;
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while ((lines = qvtest::LogMessagesOf(logFile, kSource)).empty() && GetTickCount64() < deadline)
    Sleep(50);
  // A delay being slept: the entry point has not returned.
  const bool asleep = WaitForSingleObject(rundll32.get(), 1000) == WAIT_TIMEOUT;
  TerminateProcess(rundll32.get(), 1);
  WaitForSingleObject(rundll32.get(), 5000);
  if (lines.empty()) return L"<no line>";
  return asleep ? lines[0] : lines[0] + L" <returned>";
}

}  // namespace

// A delay of another type, or longer than four bytes, is the default of 15 seconds.
TEST(LaunchPlatformExport, ADelayOfAnotherTypeIsTheDefault) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
  } cases[] = {
      {"REG_SZ \"0\"", REG_SZ, qvtest::WideBytes(L"0")},
      {"REG_QWORD 0", REG_QWORD, qvtest::QwordBytes(0)},
      {"REG_BINARY of four zero bytes", REG_BINARY, qvtest::DwordBytes(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MenuDisabledPlatform platform;
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs",
                                           c.type, c.bytes));
    EXPECT_EQ(FirstLaunchLine(platform.logFile()), L"menu not enabled; sleeping for 15000msec");
    EXPECT_TRUE(platform.engine().startArguments().empty());
  }
}

// A delay over five minutes is cut to five minutes, and says so; five minutes exactly is slept as
// it stands. The entry point is ended while it sleeps.
TEST(LaunchPlatformExport, ADelayOverFiveMinutesIsCapped) {
  struct Case {
    DWORD delay;
    std::vector<std::wstring> lines;
  } cases[] = {
      {300000, {L"menu not enabled; sleeping for 300000msec"}},
      {300001,
       {L"menu not enabled; sleeping for 300001msec",
        L"LaunchPlatformDelayMs capped to 300000msec"}},
      {0xFFFFFFFF,
       {L"menu not enabled; sleeping for 4294967295msec",
        L"LaunchPlatformDelayMs capped to 300000msec"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delay);
    MenuDisabledPlatform platform;
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs",
                                           REG_DWORD, qvtest::DwordBytes(c.delay)));
    ScopedHandle rundll32 = StartLaunchThroughRundll32();
    ASSERT_TRUE(rundll32);
    std::vector<std::wstring> lines;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while ((lines = qvtest::LogMessagesOf(platform.logFile(), kSource)).empty() &&
           GetTickCount64() < deadline) {
      Sleep(50);
    }
    // Asleep, with every line of the way there written.
    EXPECT_EQ(WaitForSingleObject(rundll32.get(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), kSource), c.lines);
    EXPECT_TRUE(platform.engine().startArguments().empty());
    TerminateProcess(rundll32.get(), 1);
    WaitForSingleObject(rundll32.get(), 5000);
  }
}

// Only the number 1 enables the menu; a "MenuEnabled" of another type counts as missing, which
// is enabled, so the launch goes the deskband way (here ending at once: nothing is registered and
// no library is named to register). With the menu disabled, an "InstallDir" reading as empty (an
// empty text, or a REG_DWORD 0) starts nothing.
TEST(LaunchPlatformExport, MenuEnabledOfAnotherValueOrType) {
  std::vector<std::unique_ptr<qvtest::ScopedRegistryKey>> registrations;
  for (const std::wstring& key : qvtest::DeskbandClassKeys()) {
    registrations.push_back(std::make_unique<qvtest::ScopedRegistryKey>(HKEY_CURRENT_USER, key));
  }
  const std::vector<std::wstring> deskbandWay = {
      L"shell process count = 5", L"registering because not registered",
      L"registration required = 1", L"could not register deskband; aborting launch"};
  struct Case {
    const char* what;
    const wchar_t* name;
    DWORD type;
    std::string bytes;
    std::vector<std::wstring> lines;
    size_t engineStarts;
  } cases[] = {
      {"MenuEnabled a REG_DWORD 2",
       L"MenuEnabled",
       REG_DWORD,
       qvtest::DwordBytes(2),
       {L"menu not enabled; sleeping for 0msec"},
       1},
      {"MenuEnabled a REG_SZ \"0\"", L"MenuEnabled", REG_SZ, qvtest::WideBytes(L"0"), deskbandWay,
       0},
      {"MenuEnabled a REG_BINARY 00", L"MenuEnabled", REG_BINARY, std::string(1, '\0'), deskbandWay,
       0},
      {"InstallDir a REG_DWORD 0",
       L"InstallDir",
       REG_DWORD,
       qvtest::DwordBytes(0),
       {L"menu not enabled; sleeping for 0msec", L"installation directory not found"},
       0},
      {"InstallDir an empty REG_SZ",
       L"InstallDir",
       REG_SZ,
       qvtest::WideBytes(L""),
       {L"menu not enabled; sleeping for 0msec", L"installation directory not found"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MenuDisabledPlatform platform;
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"LaunchPlatformDelayMs",
                                           REG_DWORD, qvtest::DwordBytes(0)));
    ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, c.name, c.type, c.bytes));
    ScopedHandle rundll32 = StartLaunchThroughRundll32();
    ASSERT_TRUE(rundll32);
    ASSERT_EQ(WaitForSingleObject(rundll32.get(), 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(qvtest::LogMessagesOf(platform.logFile(), kSource), c.lines);
    if (c.engineStarts) qvtest::WaitForRecord(platform.engine().recordPath(), L"start");
    EXPECT_EQ(platform.engine().startArguments().size(), c.engineStarts);
  }
}
