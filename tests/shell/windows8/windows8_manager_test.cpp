#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "foundation/owners/com_initializer.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/windows8/monitor_mode_events.h"
#include "shell/windows8/windows8_manager.h"
#include "support/app_visibility_registration.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/hung_deskband_window.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"

namespace {

const wchar_t kAppVisibilityKey[] =
    L"Software\\Classes\\CLSID\\{7E5FE3D9-985F-4908-91F9-EE19F9FD1514}";

// The records of `kind` once there are at least `count` of them (fewer after the timeout).
std::vector<qvtest::Record> WaitForRecords(const std::wstring& path, const std::wstring& kind,
                                           size_t count, DWORD timeoutMs = 10000) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    std::vector<qvtest::Record> records = qvtest::RecordsOfKind(path, kind);
    if (records.size() >= count || GetTickCount64() > deadline) return records;
    Sleep(20);
  }
}

int g_copyDataMessages = 0;

LRESULT CALLBACK CountCopyData(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) ++g_copyDataMessages;
  return DefWindowProcW(window, message, wParam, lParam);
}

int MonitorCount() {
  int count = 0;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT, LPARAM context) WINAPI -> BOOL {
        ++*reinterpret_cast<int*>(context);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

}  // namespace

TEST(MonitorModeEvents, AnswersForItsTwoInterfacesOnlyAndSendsNothingWithoutADeskband) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  auto* events = new MonitorModeEvents(nullptr);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(events->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<AppVisibility::IAppVisibilityEvents*>(events));
  EXPECT_EQ(events->QueryInterface(AppVisibility::kIidAppVisibilityEvents, &object), S_OK);
  EXPECT_EQ(object, static_cast<AppVisibility::IAppVisibilityEvents*>(events));
  EXPECT_EQ(events->QueryInterface(IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(events->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  // Two references from the queries, one from creation.
  EXPECT_EQ(events->Release(), 2u);
  EXPECT_EQ(events->Release(), 1u);

  // No deskband window below the taskbar: the change goes nowhere and is no failure. A window of
  // the deskband's class elsewhere (here at the top level) is not the deskband and hears nothing.
  ASSERT_EQ(qvtest::FindDeskbandWindow(), nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = CountCopyData;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TovinDeskBandClass2";
  ASSERT_TRUE(RegisterClassW(&windowClass));
  const HWND elsewhere = CreateWindowExW(0, L"TovinDeskBandClass2", L"", WS_POPUP, 0, 0, 10, 10,
                                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(elsewhere, nullptr);
  g_copyDataMessages = 0;
  EXPECT_EQ(events->LauncherVisibilityChange(TRUE), S_OK);
  EXPECT_EQ(events->LauncherVisibilityChange(FALSE), S_OK);
  EXPECT_EQ(events->AppVisibilityOnMonitorChanged(nullptr, AppVisibility::kMavNoAppVisible,
                                                  AppVisibility::kMavAppVisible),
            S_OK);
  EXPECT_EQ(events->Release(), 0u);
  DestroyWindow(elsewhere);
  UnregisterClassW(L"TovinDeskBandClass2", GetModuleHandleW(nullptr));
  EXPECT_EQ(g_copyDataMessages, 0);
  EXPECT_TRUE(qvtest::TodaysLogMessages(logDir.path()).empty()) << "nothing sent, nothing failed";
}

// A deskband whose thread hangs: the change is given up after the command's limit and logged,
// and the service's call returns.
TEST(MonitorModeEvents, AHungDeskbandCostsOneCommandLimit) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::HungDeskbandWindow hung;
  ASSERT_NE(hung.get(), nullptr);
  auto* events = new MonitorModeEvents(nullptr);
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(events->LauncherVisibilityChange(TRUE), S_OK);
  EXPECT_LT(GetTickCount64() - start, 3u * kDeskbandCommandTimeoutMs);
  events->Release();
  const auto lines =
      qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), L"SendDeskbandCommand: ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(L"the deskband window did not answer command 60"), std::wstring::npos)
      << lines[0];
}

// Before Windows 8 (and in Wine) there is no application-visibility service.
TEST(Windows8Manager, WithoutTheServiceItStartsAndSeesNoModernUi) {
  qvtest::ScopedRegistryKey noService(HKEY_LOCAL_MACHINE, kAppVisibilityKey);
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());
  Windows8Manager& manager = Windows8Manager::Instance();
  EXPECT_EQ(&manager, &Windows8Manager::Instance());

  // Stop before any start: nothing but its two lines.
  manager.Stop();
  EXPECT_FALSE(manager.IsStarted());
  manager.Start(GetModuleHandleW(nullptr));
  EXPECT_TRUE(manager.IsStarted());
  EXPECT_EQ(manager.ModuleInstance(), GetModuleHandleW(nullptr));
  EXPECT_FALSE(manager.IsModernUIVisible());
  manager.Stop();
  EXPECT_FALSE(manager.IsStarted());

  const std::vector<std::wstring> messages = qvtest::TodaysLogMessages(logDir.path());
  std::vector<std::wstring> managerLines;
  for (const auto& message : messages) {
    if (message.rfind(L"Windows8Manager::", 0) == 0) managerLines.push_back(message);
  }
  EXPECT_EQ(managerLines,
            (std::vector<std::wstring>{
                L"Windows8Manager::Stop: entered", L"Windows8Manager::Stop: exited",
                L"Windows8Manager::Start: entered", L"Windows8Manager::Start: exited",
                L"Windows8Manager::Stop: entered", L"Windows8Manager::Stop: exited"}));
}

TEST(Windows8Manager, FollowsTheStartScreenAndImmersiveAppsAndTellsTheDeskband) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedDeskbandCleanup deskbandCleanup;
  const std::wstring serviceRecord = dir.path() + L"app_visibility.txt";
  qvtest::ScopedAppVisibilityServer service(serviceRecord);

  // The platform's deskband below the taskbar, recording the commands it receives.
  const std::wstring library = qvtest::InstallDeskbandLibrary(dir.path(), 2);
  ScopedHandle host = qvtest::StartBandHost(library, qvtest::DeskbandClsidText(2));
  ASSERT_NE(qvtest::WaitForDeskbandWindow(), nullptr);
  const std::wstring deskbandRecord = qvtest::DeskbandRecordPath(dir.path());

  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());
  Windows8Manager& manager = Windows8Manager::Instance();
  manager.Start(GetModuleHandleW(nullptr));
  manager.Start(GetModuleHandleW(nullptr));
  EXPECT_TRUE(manager.IsStarted());
  const std::vector<qvtest::Record> advised = qvtest::RecordsOfKind(serviceRecord, L"Advise");
  ASSERT_EQ(advised.size(), 1u) << "a second start subscribes again";
  EXPECT_FALSE(manager.IsModernUIVisible());

  // The Start screen opens, then the user is back on the desktop.
  service.setLauncherVisible(true);
  std::vector<qvtest::Record> commands = WaitForRecords(deskbandRecord, L"command", 1);
  EXPECT_TRUE(manager.IsModernUIVisible());
  service.setLauncherVisible(false);
  commands = WaitForRecords(deskbandRecord, L"command", 2);
  EXPECT_FALSE(manager.IsModernUIVisible());
  ASSERT_EQ(commands.size(), 2u);
  for (size_t i = 0; i < commands.size(); ++i) {
    ASSERT_GE(commands[i].size(), 6u);
    EXPECT_EQ(commands[i][2], L"60");
    EXPECT_EQ(commands[i][3], L"") << "no text";
    EXPECT_EQ(commands[i][4], L"") << "no second text";
    // Shown: 0; hidden again: 1.
    EXPECT_EQ(commands[i][5], i == 0 ? L"0" : L"1");
  }

  // An immersive app with the Start screen hidden, on the first monitor (the second: below).
  service.setAppVisibleMonitors(1);
  // The fixture's thread must see this change before the next, or it would see none at all.
  ASSERT_GE(WaitForRecords(serviceRecord, L"AppVisibilityOnMonitorChanged", 1).size(), 1u);
  EXPECT_TRUE(manager.IsModernUIVisible());
  service.setAppVisibleMonitors(0);
  EXPECT_FALSE(manager.IsModernUIVisible());
  // The service reported the app (the fixture's thread has seen both changes); only the Start
  // screen reaches the deskband.
  EXPECT_GE(WaitForRecords(serviceRecord, L"AppVisibilityOnMonitorChanged", 2).size(), 2u);
  EXPECT_EQ(qvtest::RecordsOfKind(deskbandRecord, L"command").size(), 2u);

  manager.Stop();
  EXPECT_FALSE(manager.IsStarted());
  EXPECT_FALSE(manager.IsModernUIVisible()) << "the service is let go";
  const std::vector<qvtest::Record> unadvised = qvtest::RecordsOfKind(serviceRecord, L"Unadvise");
  ASSERT_EQ(unadvised.size(), 1u);
  EXPECT_EQ(unadvised[0], (qvtest::Record{L"Unadvise", advised[0][1], L"0x00000000"}));
}

TEST(Windows8Manager, AnImmersiveAppOnASecondMonitorAloneCounts) {
  if (MonitorCount() < 2) GTEST_SKIP() << "the display has one monitor";
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::ScopedAppVisibilityServer service(dir.path() + L"app_visibility.txt");
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.initialized());
  Windows8Manager& manager = Windows8Manager::Instance();
  manager.Start(GetModuleHandleW(nullptr));
  EXPECT_FALSE(manager.IsModernUIVisible());
  service.setAppVisibleMonitors(2);
  EXPECT_TRUE(manager.IsModernUIVisible());
  service.setAppVisibleMonitors(0);
  EXPECT_FALSE(manager.IsModernUIVisible());
  manager.Stop();
}
