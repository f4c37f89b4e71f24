#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/owners/com_initializer.h"
#include "foundation/owners/qv_reg_key.h"
#include "shell/deskband_release/deskband_release.h"
#include "shell/deskband_release/deskband_release_hook.h"
#include "support/child_process.h"
#include "support/log_file.h"
#include "support/temp_dir.h"

namespace {

// The recording in-process server of the test fixtures.
const CLSID kRecordingServer = {
    0x6a1d3c52, 0x8f0e, 0x4b7a, {0x9c, 0x21, 0x5e, 0x44, 0x0b, 0x93, 0xd7, 0x18}};
const wchar_t kRecordingServerKey[] =
    L"Software\\Classes\\CLSID\\{6A1D3C52-8F0E-4B7A-9C21-5E440B93D718}";

// Wine's COM finds in-process classes under HKLM only. Registered for the scope.
class ScopedRecordingServer {
 public:
  ScopedRecordingServer() {
    QVRegKey key;
    key.create(HKEY_LOCAL_MACHINE,
               (std::wstring(kRecordingServerKey) + L"\\InprocServer32").c_str(), KEY_WRITE);
    Set(key.get(), nullptr, qvtest::ExecutableDirectory() + L"recording_com_server.dll");
    Set(key.get(), L"ThreadingModel", L"Apartment");
  }
  ~ScopedRecordingServer() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kRecordingServerKey); }

 private:
  static void Set(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
};

LRESULT CALLBACK PassOn(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Loads the recording server, recording to `record`, and drops its only object, so that COM may
// free it (COM already on the thread). True when the object was made.
bool DropRecordingServerObject(const std::wstring& record) {
  SetEnvironmentVariableW(L"QVTEST_COM_RECORD", record.c_str());
  IUnknown* object = nullptr;
  if (FAILED(CoCreateInstance(kRecordingServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object)))) {
    return false;
  }
  object->Release();
  return true;
}

// Loads the recording server and drops its only object, so COM may free it; with "hook", plays
// the installed release hook; then runs ReleaseIfInExplorer. Exit code: 1 when it answered true,
// plus 2 when COM asked the server whether it could be unloaded; 10 and up for a broken set-up.
QV_TEST_CHILD(release_if_in_explorer) {
  const std::wstring record = args.at(1);
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  if (!com.initialized()) return 10;
  if (!DropRecordingServerObject(record)) return 11;

  HHOOK hook = nullptr;
  if (args.at(0) == L"hook") {
    hook = SetWindowsHookExW(WH_CALLWNDPROC, PassOn, nullptr, GetCurrentThreadId());
    if (!hook) return 12;
  }
  SetSharedDeskbandHook(hook);
  const bool released = ReleaseIfInExplorer();
  // Read before COM's own tear-down asks the server again.
  const bool asked = qvtest::ReadFileBytes(record).find("DllCanUnloadNow") != std::string::npos;
  SetSharedDeskbandHook(nullptr);
  if (hook) UnhookWindowsHookEx(hook);
  return (released ? 1 : 0) | (asked ? 2 : 0);
}

// As in Explorer across two runs of the release: two releases further apart than COM's unload
// delay. Exit code: 0 when the dropped server is gone afterwards, 1 when it is still loaded; 10
// and up for a broken set-up.
QV_TEST_CHILD(release_twice_in_explorer) {
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  if (!com.initialized()) return 10;
  if (!DropRecordingServerObject(args.at(0))) return 11;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, PassOn, nullptr, GetCurrentThreadId());
  if (!hook) return 12;
  SetSharedDeskbandHook(hook);
  bool released = ReleaseIfInExplorer();
  // Well past the 500 ms a library must have been unused before COM frees it.
  Sleep(1500);
  released = ReleaseIfInExplorer() && released;
  const bool loaded = GetModuleHandleW(L"recording_com_server.dll") != nullptr;
  SetSharedDeskbandHook(nullptr);
  UnhookWindowsHookEx(hook);
  if (!released) return 13;
  return loaded ? 1 : 0;
}

}  // namespace

TEST(ReleaseIfInExplorer, FreesUnusedLibrariesOnlyInExplorerWhileTheHookIsInstalled) {
  ScopedRecordingServer server;
  struct Case {
    const wchar_t* exeName;
    const wchar_t* hook;
    DWORD expected;
  };
  const Case cases[] = {
      // The path test ignores letter case.
      {L"EXPLORER.EXE", L"hook", 3},
      // Once the hook is gone (the release has been done), nothing happens.
      {L"EXPLORER.EXE", L"none", 0},
      // Any other process only passes the hook on.
      {L"qvchild_plain.exe", L"hook", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "process " << c.exeName << ", hook " << c.hook);
    qvtest::ScopedTempDir dir;
    qvtest::ChildOptions options;
    options.exeName = c.exeName;
    EXPECT_EQ(
        qvtest::RunChild(L"release_if_in_explorer", {c.hook, dir.path() + L"record.txt"}, options)
            .exitCode,
        c.expected);
  }
}

TEST(ReleaseIfInExplorer, ASecondReleaseFreesWhatTheFirstFoundUnused) {
  ScopedRecordingServer server;
  qvtest::ScopedTempDir dir;
  qvtest::ChildOptions options;
  options.exeName = L"EXPLORER.EXE";
  EXPECT_EQ(qvtest::RunChild(L"release_twice_in_explorer", {dir.path() + L"record.txt"}, options)
                .exitCode,
            0u);
}

namespace {

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// A thread of the given desktop that owns one window of `className` and handles its messages
// until the window is destroyed.
struct WindowThread {
  HDESK desktop = nullptr;
  const wchar_t* className = nullptr;
  ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HWND window = nullptr;
  DWORD threadId = 0;
  ScopedHandle thread;

  static DWORD WINAPI Run(void* context) {
    auto* self = static_cast<WindowThread*>(context);
    if (SetThreadDesktop(self->desktop)) {
      self->window = CreateWindowExW(0, self->className, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    self->threadId = GetCurrentThreadId();
    SetEvent(self->ready.get());
    if (!self->window) return 0;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
  }
  bool start() {
    thread.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    return thread && WaitForSingleObject(ready.get(), 10000) == WAIT_OBJECT_0 && window;
  }
  void stop() {
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (window) PostThreadMessageW(threadId, WM_QUIT, 0, 0);
    if (thread) WaitForSingleObject(thread.get(), 10000);
  }
};

void RegisterPlainClass(const wchar_t* name) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = PlainWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = name;
  RegisterClassW(&windowClass);
}

// Makes a desktop named after `prefix` and runs `body` with it on a fresh thread moved there (a
// thread that already owns windows or hooks cannot change its desktop). Its result; 16 when the
// thread could not change to the desktop, 17 when there is none.
int OnOwnDesktop(const wchar_t* prefix, int (*body)(HDESK desktop)) {
  struct Run {
    HDESK desktop = nullptr;
    int (*body)(HDESK) = nullptr;
    int code = 16;
  } run;
  run.body = body;
  const std::wstring name = qvtest::UniqueName(prefix);
  run.desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!run.desktop) return 17;
  auto onDesktop = [](void* context) WINAPI -> DWORD {
    auto* r = static_cast<Run*>(context);
    if (SetThreadDesktop(r->desktop)) r->code = r->body(r->desktop);
    return 0;
  };
  ScopedHandle thread(CreateThread(nullptr, 0, onDesktop, &run, 0, nullptr));
  WaitForSingleObject(thread.get(), INFINITE);
  CloseDesktop(run.desktop);
  return run.code;
}

// Plays Explorer (run under the name EXPLORER.EXE) on a desktop of its own: a taskbar window on
// one thread, another window on a second. The release hook is installed on one of those threads
// at a time and that thread is sent a message. Exit code: bit 0 when the other thread released
// (the hook claimed or the event signalled), bit 1 when the taskbar's thread did not; 16 and up
// for a broken set-up.
QV_TEST_CHILD(release_on_explorer_threads) {
  return OnOwnDesktop(L"qvnsis_explorer_threads", [](HDESK desktop) {
    RegisterPlainClass(L"Shell_TrayWnd");
    RegisterPlainClass(L"QvTestExplorerWindow");

    WindowThread taskbar, other;
    taskbar.desktop = other.desktop = desktop;
    taskbar.className = L"Shell_TrayWnd";
    other.className = L"QvTestExplorerWindow";
    ScopedHandle released(CreateEventW(nullptr, TRUE, FALSE, kFreeDeskbandEventName));
    int code = 18;
    if (released && taskbar.start() && other.start() &&
        FindWindowW(L"Shell_TrayWnd", nullptr) == taskbar.window) {
      // Returns whether the call on `target`'s thread released.
      auto releasedOn = [&](const WindowThread& target) {
        ResetEvent(released.get());
        const HHOOK hook =
            SetWindowsHookExW(WH_CALLWNDPROC, UnloadLibrariesHookProc, nullptr, target.threadId);
        if (!hook) return true;
        SetSharedDeskbandHook(hook);
        DWORD_PTR reply = 0;
        SendMessageTimeoutW(target.window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &reply);
        const bool claimed = GetSharedDeskbandHook() == nullptr;
        const bool signalled = WaitForSingleObject(released.get(), 0) == WAIT_OBJECT_0;
        if (!claimed) {
          SetSharedDeskbandHook(nullptr);
          UnhookWindowsHookEx(hook);
        }
        return claimed || signalled;
      };
      code = (releasedOn(other) ? 1 : 0) | (releasedOn(taskbar) ? 0 : 2);
    }
    other.stop();
    taskbar.stop();
    return code;
  });
}

// The hook installed before the release hook, so the release hook's CallNextHookEx reaches it.
// On the first message it sends the taskbar window a message of its own (the same thread), as a
// window procedure or another hook in Explorer may: the release hook is called again, nested in
// its own call. It notes whether the event was signalled by the time that nested call returned.
struct NestingState {
  HWND taskbar = nullptr;
  HANDLE released = nullptr;
  int depth = 0;
  bool nestedReached = false;
  bool signalledInside = false;
};
NestingState g_nesting;

LRESULT CALLBACK NestOnce(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code >= 0 && call->hwnd == g_nesting.taskbar && call->message == WM_GETTEXTLENGTH) {
    if (++g_nesting.depth == 1) {
      SendMessageW(g_nesting.taskbar, WM_GETTEXTLENGTH, 0, 0);
      g_nesting.signalledInside = WaitForSingleObject(g_nesting.released, 0) == WAIT_OBJECT_0;
      ResetEvent(g_nesting.released);
    } else {
      g_nesting.nestedReached = true;
    }
    --g_nesting.depth;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Plays Explorer (run under the name EXPLORER.EXE) on a desktop of its own with a taskbar window
// on one thread; the release hook's call there nests a second call on that thread. Exit code: bit
// 0 when the nested call signalled the event, bit 1 when the event was not signalled once the
// outer call was done; 16 and up for a broken set-up (19: the nested call never reached the hook
// after the release hook).
QV_TEST_CHILD(release_nested_on_taskbar_thread) {
  return OnOwnDesktop(L"qvnsis_nested_release", [](HDESK desktop) {
    RegisterPlainClass(L"Shell_TrayWnd");

    WindowThread taskbar;
    taskbar.desktop = desktop;
    taskbar.className = L"Shell_TrayWnd";
    ScopedHandle released(CreateEventW(nullptr, TRUE, FALSE, kFreeDeskbandEventName));
    int code = 18;
    if (released && taskbar.start() && FindWindowW(L"Shell_TrayWnd", nullptr) == taskbar.window) {
      g_nesting.taskbar = taskbar.window;
      g_nesting.released = released.get();
      const HHOOK nest = SetWindowsHookExW(WH_CALLWNDPROC, NestOnce, nullptr, taskbar.threadId);
      const HHOOK hook =
          SetWindowsHookExW(WH_CALLWNDPROC, UnloadLibrariesHookProc, nullptr, taskbar.threadId);
      if (nest && hook) {
        SetSharedDeskbandHook(hook);
        DWORD_PTR reply = 0;
        SendMessageTimeoutW(taskbar.window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 10000, &reply);
        const bool signalledAfter = WaitForSingleObject(released.get(), 0) == WAIT_OBJECT_0;
        code = !g_nesting.nestedReached
                   ? 19
                   : (g_nesting.signalledInside ? 1 : 0) | (signalledAfter ? 0 : 2);
        // Whatever a broken release left behind.
        if (const HHOOK left = ClaimSharedDeskbandHook()) UnhookWindowsHookEx(left);
      }
      if (nest) UnhookWindowsHookEx(nest);
    }
    taskbar.stop();
    return code;
  });
}

}  // namespace

// A call of the hook procedure nested in the one that releases (a message sent on the taskbar
// thread while the release passes its message on) finds the hook already claimed: one release,
// one signal, and that from the outer call.
TEST(UnloadLibrariesHookProc, ACallNestedInTheReleasingOneNeitherReleasesNorSignals) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::ChildOptions options;
  options.exeName = L"EXPLORER.EXE";
  EXPECT_EQ(qvtest::RunChild(L"release_nested_on_taskbar_thread", {}, options).exitCode, 0u);
  EXPECT_EQ(qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), L"UnloadLibrariesHookProc: "),
            std::vector<std::wstring>{L"unloaded libraries from explorer"});
}

TEST(UnloadLibrariesHookProc, OnlyExplorersTaskbarThreadReleases) {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::ChildOptions options;
  options.exeName = L"EXPLORER.EXE";
  EXPECT_EQ(qvtest::RunChild(L"release_on_explorer_threads", {}, options).exitCode, 0u);
}

// Explorer's hook procedure and RunFreeDeskbandW's clean-up may reach for the handle at once:
// whatever the timing, one of them gets it.
TEST(SharedDeskbandHook, EachHandleIsClaimedOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 100;
  struct Race {
    ScopedHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    LONG claims = 0;
  };
  int roundsWithOneClaim = 0;
  for (int round = 0; round < kRounds; ++round) {
    Race race;
    SetSharedDeskbandHook(reinterpret_cast<HHOOK>(static_cast<uintptr_t>(0x1000 + round)));
    auto contender = [](void* context) WINAPI -> DWORD {
      auto* r = static_cast<Race*>(context);
      WaitForSingleObject(r->go.get(), INFINITE);
      if (ClaimSharedDeskbandHook()) InterlockedIncrement(&r->claims);
      return 0;
    };
    std::vector<ScopedHandle> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back(CreateThread(nullptr, 0, contender, &race, 0, nullptr));
    SetEvent(race.go.get());
    for (const ScopedHandle& thread : threads) WaitForSingleObject(thread.get(), INFINITE);
    roundsWithOneClaim += race.claims == 1;
  }
  EXPECT_EQ(roundsWithOneClaim, kRounds);
  EXPECT_EQ(GetSharedDeskbandHook(), nullptr);
}
