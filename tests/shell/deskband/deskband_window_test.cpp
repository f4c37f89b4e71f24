#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/os/message_wait.h"
#include "foundation/owners/com_initializer.h"
#include "shell/deskband/deskband_command_message.h"
#include "shell/deskband/qv_deskband_util.h"
#include "support/child_process.h"
#include "support/deskband_show_log.h"
#include "support/fake_deskband.h"
#include "support/fixture_records.h"
#include "support/holding_child.h"
#include "support/log_file.h"
#include "support/registry.h"
#include "support/temp_dir.h"
#include "support/tray_server_registration.h"

// The deskband window lives below Wine's taskbar, the "Shell_TrayWnd" window of its explorer.exe:
// the tests create their own windows there as its children, as the deskband does in Explorer.

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kBuild2Key[] = L"Software\\Classes\\CLSID\\{9531985D-5D9D-49F8-9818-E811892F902B}";
const wchar_t kBuild2Text[] = L"{9531985D-5D9D-49F8-9818-E811892F902B}";
const wchar_t kWindowSource[] = L"QVDeskbandUtil::GetDeskBandHWND: ";
const wchar_t kShowSource[] = L"QVDeskbandUtil::Show: ";

// A window class of this test for the scope. Class names compare without case, so only one of
// the spellings can be registered at a time.
class ScopedWindowClass {
 public:
  explicit ScopedWindowClass(const wchar_t* name) : name_(name) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    registered_ = RegisterClassW(&windowClass) != 0;
  }
  ~ScopedWindowClass() { UnregisterClassW(name_, GetModuleHandleW(nullptr)); }
  explicit operator bool() const { return registered_; }

 private:
  const wchar_t* name_;
  bool registered_ = false;
};

// A child window of `parent` for the scope.
class ScopedChildWindow {
 public:
  ScopedChildWindow(const wchar_t* className, HWND parent)
      : window_(CreateWindowExW(0, className, L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
  ~ScopedChildWindow() { destroy(); }
  void destroy() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// InstallDir pointing at a fresh directory that holds `library`.
class ScopedInstallation {
 public:
  explicit ScopedInstallation(const std::wstring& library)
      : settings_(HKEY_CURRENT_USER, kTovinKey) {
    qvtest::WriteFileBytes(dir_.path() + library, "MZ");
    qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                               qvtest::WideBytes(dir_.path().substr(0, dir_.path().size() - 1)));
  }

 private:
  qvtest::ScopedRegistryKey settings_;
  qvtest::ScopedTempDir dir_;
};

// The deskband window's side of a command: what it was sent.
struct ReceivedCommand {
  int messages = 0;
  WPARAM wParam = 99;
  int32_t command = 0;
  int32_t value = 0;
  std::wstring text;
};
ReceivedCommand g_command;

LRESULT CALLBACK DeskbandReceiver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcW(window, message, wParam, lParam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  const auto* record = static_cast<const DeskbandCommandMessage*>(data->lpData);
  ++g_command.messages;
  g_command.wParam = wParam;
  g_command.command = record->command;
  g_command.value = record->value;
  g_command.text = record->text;
  return 7;
}

// Band container messages a foreign container was sent.
LONG g_bandMessages = 0;

LRESULT CALLBACK ForeignContainer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < WM_USER) return DefWindowProcW(window, message, wParam, lParam);
  ++g_bandMessages;
  // One band, so that a caller asking would go on to read its record.
  return message == RB_GETBANDCOUNT ? 1 : 0;
}

// Plays Explorer's side: a band container below the taskbar holding a deskband window, both of
// this process, until the second event is set. Exit code: the number of band container messages
// it was sent; 100 and up for a broken set-up.
QV_TEST_CHILD(foreign_band_container) {
  ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, args.at(0).c_str()));
  ScopedHandle done(OpenEventW(SYNCHRONIZE, FALSE, args.at(1).c_str()));
  const HWND tray = QVDeskbandUtil::FindTrayWindow();
  if (!ready || !done || !tray) return 100;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ForeignContainer;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QvTestForeignContainer";
  ScopedWindowClass deskbandClass(L"TovinDeskBandClass2");
  if (!RegisterClassW(&windowClass) || !deskbandClass) return 101;
  ScopedChildWindow container(L"QvTestForeignContainer", tray);
  ScopedChildWindow band(L"TovinDeskBandClass2", container.get());
  if (!container.get() || !band.get()) return 102;
  SetEvent(ready.get());
  if (QVOS::waitPumpingMessages(done.get(), 60000) != WAIT_OBJECT_0) return 103;
  return static_cast<int>(g_bandMessages);
}

}  // namespace

TEST(DeskbandWindow, FoundBelowTheTaskbarCachedAndReplacedWhenRecreated) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  const HWND tray = QVDeskbandUtil::FindTrayWindow();
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(ClassName(tray), L"Shell_TrayWnd");
  EXPECT_EQ(GetParent(tray), nullptr);

  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), nullptr);
  {
    // Same name but for letter case: not the deskband's window.
    ScopedWindowClass lowerCase(L"tovindeskbandclass2");
    ASSERT_TRUE(lowerCase);
    ScopedChildWindow impostor(L"tovindeskbandclass2", tray);
    ASSERT_NE(impostor.get(), nullptr);
    EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), nullptr);
  }

  ScopedWindowClass deskbandClass(L"TovinDeskBandClass2");
  ASSERT_TRUE(deskbandClass);
  // A band container between the taskbar and the band, as in Explorer.
  ScopedWindowClass containerClass(L"QvTestBandContainer");
  ScopedChildWindow container(L"QvTestBandContainer", tray);
  ASSERT_NE(container.get(), nullptr);
  ScopedChildWindow first(L"TovinDeskBandClass2", container.get());
  ASSERT_NE(first.get(), nullptr);
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), first.get());
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), first.get());

  // Explorer recreates the band: the cached handle is dropped once and the new window found.
  first.destroy();
  ScopedChildWindow second(L"TovinDeskBandClass2", container.get());
  ASSERT_NE(second.get(), nullptr);
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), second.get());
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), second.get());

  // Gone for good: dropped once more, then nothing is found and nothing more is logged.
  second.destroy();
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), nullptr);
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), nullptr);

  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kWindowSource),
            (std::vector<std::wstring>{L"deskband window handle changed",
                                       L"deskband window handle changed"}));
}

TEST(DeskbandWindow, BandIndexIsThePositionOfTheBandHoldingTheWindow) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_COOL_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&controls));
  ScopedWindowClass deskbandClass(L"TovinDeskBandClass2");
  ScopedWindowClass otherClass(L"QvTestOtherBand");
  ASSERT_TRUE(deskbandClass);
  ASSERT_TRUE(otherClass);
  // The taskbar's band container, with the deskband's band among others.
  ScopedChildWindow rebar(REBARCLASSNAMEW, QVDeskbandUtil::FindTrayWindow());
  ASSERT_NE(rebar.get(), nullptr);
  ScopedChildWindow other1(L"QvTestOtherBand", rebar.get());
  ScopedChildWindow other2(L"QvTestOtherBand", rebar.get());
  ScopedChildWindow band(L"TovinDeskBandClass2", rebar.get());

  int index = 99, count = 99;
  // Not in any band yet.
  EXPECT_FALSE(QVDeskbandUtil::GetBandIndex(&index, &count));
  EXPECT_EQ(count, 0);

  const HWND children[] = {other1.get(), band.get(), other2.get()};
  const UINT ids[] = {30, 10, 20};
  for (int i = 0; i < 3; ++i) {
    REBARBANDINFOW info = {};
    info.cbSize = REBARBANDINFOW_V3_SIZE;
    info.fMask = RBBIM_CHILD | RBBIM_ID;
    info.hwndChild = children[i];
    info.wID = ids[i];
    ASSERT_TRUE(SendMessageW(rebar.get(), RB_INSERTBANDW, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&info)));
  }
  EXPECT_TRUE(QVDeskbandUtil::GetBandIndex(&index, &count));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(count, 3);
  // The count is optional.
  index = 99;
  EXPECT_TRUE(QVDeskbandUtil::GetBandIndex(&index, nullptr));
  EXPECT_EQ(index, 1);

  // The band moved to the front.
  ASSERT_TRUE(SendMessageW(rebar.get(), RB_MOVEBAND, 1, 0));
  EXPECT_TRUE(QVDeskbandUtil::GetBandIndex(&index, &count));
  EXPECT_EQ(index, 0);

  // The window's band removed: not found among the others.
  ASSERT_TRUE(SendMessageW(rebar.get(), RB_DELETEBAND, 0, 0));
  index = 99;
  EXPECT_FALSE(QVDeskbandUtil::GetBandIndex(&index, &count));
  EXPECT_EQ(index, -1);
  EXPECT_EQ(count, 2);
}

// Explorer's band container lives in another process: a band record asked for there would be
// written to an address of Explorer's own memory, so nothing is asked.
TEST(DeskbandWindow, ABandContainerOfAnotherProcessIsNotAsked) {
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  qvtest::HoldingChild explorerSide(L"foreign_band_container", {});
  ASSERT_TRUE(explorerSide.holding());

  ASSERT_NE(QVDeskbandUtil::GetDeskBandHWND(), nullptr);
  int index = 99, count = 99;
  EXPECT_FALSE(QVDeskbandUtil::GetBandIndex(&index, &count));
  EXPECT_EQ(explorerSide.finish(), 0u) << "band container messages sent to the other process";
  EXPECT_EQ(QVDeskbandUtil::GetDeskBandHWND(), nullptr) << "the window went with its process";
  EXPECT_EQ(
      qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), L"QVDeskbandUtil::GetBandIndex: "),
      std::vector<std::wstring>{L"band container belongs to another process"});
}

TEST(DeskbandShow, AnExistingWindowIsDetectedAtOnce) {
  qvtest::ScopedRegistryKey build(HKEY_CURRENT_USER, kBuild2Key);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kBuild2Key, L"", REG_SZ,
                                         qvtest::WideBytes(L"x")));
  ScopedInstallation installation(L"qvdeskband_2.dll");
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  ScopedWindowClass deskbandClass(L"TovinDeskBandClass2");
  ASSERT_TRUE(deskbandClass);
  ScopedChildWindow band(L"TovinDeskBandClass2", QVDeskbandUtil::FindTrayWindow());
  ASSERT_NE(band.get(), nullptr);

  EXPECT_TRUE(QVDeskbandUtil::Show());
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kShowSource),
            (std::vector<std::wstring>{L"attempt 1", L"detect = 0",
                                       L"GetDeskBandHWND returned a value"}));
  // The taskbar's announcement of a band was not made.
  EXPECT_EQ(GlobalFindAtomW(kBuild2Text), 0);
}

TEST(DeskbandShow, WithoutTheTaskbarInterfaceEveryAttemptAnnouncesTheBandAndFails) {
  qvtest::ScopedRegistryKey build(HKEY_CURRENT_USER, kBuild2Key);
  ASSERT_TRUE(qvtest::WriteRegistryValue(HKEY_CURRENT_USER, kBuild2Key, L"", REG_SZ,
                                         qvtest::WideBytes(L"x")));
  ScopedInstallation installation(L"qvdeskband_2.dll");
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  {
    // Wine's taskbar has no ITrayDeskBand, as Windows before 7.
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(com.initialized());
    ASSERT_EQ(GlobalFindAtomW(kBuild2Text), 0);

    EXPECT_FALSE(QVDeskbandUtil::Show());
    const ATOM announced = GlobalFindAtomW(kBuild2Text);
    EXPECT_NE(announced, 0);
    if (announced) GlobalDeleteAtom(announced);
  }

  const std::vector<std::wstring> expected = qvtest::ShowLogAfterTheFirstAttempt(
      {L"attempt 1", L"detect = 0", L"could not detect deskband"});
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kShowSource), expected);
}

TEST(DeskbandShow, TheTaskbarInterfaceIsToldAndTheBandShownIsDetectedByTheNextAttempt) {
  // An installation directory with a space, holding the library with the prompt helper.
  qvtest::ScopedInstalledDeskband band(L"Tovin Apps");
  ASSERT_TRUE(band.ok());
  qvtest::ScopedTempDir logDir;
  qvtest::ScopedTempEnv logEnv(logDir.path());
  // The fixtures' ITrayDeskBand; Wine's COM finds in-process classes under HKLM.
  const std::wstring record = band.root() + L"tray.txt";
  qvtest::ScopedTrayDeskBandServer tray(record);
  // Closes the band's window (in the band host's process) on the way out.
  qvtest::ScopedDeskbandCleanup cleanup;
  {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(com.initialized());

    EXPECT_TRUE(QVDeskbandUtil::Show());
    EXPECT_NE(QVDeskbandUtil::GetDeskBandHWND(), nullptr);
  }

  EXPECT_EQ(qvtest::ReadRecords(record),
            (std::vector<qvtest::Record>{
                {L"DeskBandRegistrationChanged", L"", L"0x00000000"},
                {L"ShowDeskBand", L"{D23F0824-128B-4F33-8C5C-7FD0A6A3A450}", L"0x00000000"}}));
  // The helper ran from the system's rundll32.exe with the library path quoted once.
  const auto helper = qvtest::RecordsOfKind(qvtest::DeskbandRecordPath(band.installDir() + L"\\"),
                                            L"RunExplorerPromptHelper");
  ASSERT_EQ(helper.size(), 1u);
  ASSERT_EQ(helper[0].size(), 6u);
  EXPECT_EQ(helper[0][4], L"rundll32.exe \"" + band.library() + L"\",RunExplorerPromptHelper");
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(logDir.path()), kShowSource),
            (std::vector<std::wstring>{
                L"attempt 1", L"detect = 0", L"could not detect deskband",
                L"installing window hook", L"notifying tray of deskband registration change",
                L"started ExplorerPromptHelper", L"TovinExplorerPromptHelperReadyEvent return = 0",
                L"ITrayDeskBand::ShowDeskBand returned success", L"attempt 2", L"detect = 0",
                L"GetDeskBandHWND returned a value"}));
}

TEST(DeskbandWindow, CommandsGoToTheDeskbandWindow) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DeskbandReceiver;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TovinDeskBandClass2";
  ASSERT_TRUE(RegisterClassW(&windowClass));
  {
    ScopedChildWindow band(L"TovinDeskBandClass2", QVDeskbandUtil::FindTrayWindow());
    ASSERT_NE(band.get(), nullptr);
    uint64_t result = 0;
    EXPECT_EQ(QVDeskbandUtil::SendCommand(60, L"start", &result, L"", 1), kDeskbandCommandSent);
    EXPECT_EQ(g_command.messages, 1);
    EXPECT_EQ(g_command.wParam, 0u);
    EXPECT_EQ(g_command.command, 60);
    EXPECT_EQ(g_command.value, 1);
    EXPECT_EQ(g_command.text, L"start");
    EXPECT_EQ(result, 7u);
    // Too long: refused before anything is sent.
    EXPECT_EQ(QVDeskbandUtil::SendCommand(25, L"", nullptr, std::wstring(512, L'x'), 0),
              kDeskbandCommandSecondTextTooLong);
    EXPECT_EQ(g_command.messages, 1);
  }
  UnregisterClassW(L"TovinDeskBandClass2", GetModuleHandleW(nullptr));
}
