#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/library.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/temp_dir.h"

namespace {

const wchar_t kReleasedLine[] = L"UnloadLibrariesHookProc: unloaded libraries from explorer";

// Where Explorer may keep its log: its temporary directory is whatever its own environment says
// (the user's one when it was started from a user's process, the Windows directory when Wine
// started it at boot without TMP and TEMP), so every place GetTempPathW can answer is read.
std::vector<std::wstring> ExplorerLogFiles() {
  std::vector<std::wstring> dirs;
  wchar_t path[MAX_PATH] = {};
  if (GetTempPathW(MAX_PATH, path)) dirs.push_back(path);
  if (GetEnvironmentVariableW(L"USERPROFILE", path, MAX_PATH))
    dirs.push_back(std::wstring(path) + L"\\");
  if (GetWindowsDirectoryW(path, MAX_PATH)) dirs.push_back(std::wstring(path) + L"\\");
  std::vector<std::wstring> files;
  for (const auto& dir : dirs) {
    const std::wstring file = qvtest::TodayLogFile(dir);
    bool known = false;
    for (const auto& f : files) known = known || _wcsicmp(f.c_str(), file.c_str()) == 0;
    if (!known) files.push_back(file);
  }
  return files;
}

// The messages of `file` written by process `pid`. A line is "<name:10> <pid> [<time>] <message>".
std::vector<std::wstring> MessagesOf(const std::wstring& file, DWORD pid) {
  std::vector<std::wstring> messages;
  for (const auto& line : qvtest::ReadLogLines(file)) {
    if (line.size() < 12) continue;
    const DWORD linePid = wcstoul(line.c_str() + 11, nullptr, 10);
    const size_t text = line.find(L"] ");
    if (linePid == pid && text != std::wstring::npos) messages.push_back(line.substr(text + 2));
  }
  return messages;
}

// A run's own lines: what the library's start-up writes before "DllMain: started" (the Windows
// version, the language) is not this entry point's business.
std::vector<std::wstring> FromStarted(std::vector<std::wstring> messages) {
  const auto started = std::find(messages.begin(), messages.end(), L"DllMain: started");
  messages.erase(messages.begin(), started);
  return messages;
}

size_t CountOf(const std::vector<std::wstring>& messages, const std::wstring& message) {
  size_t count = 0;
  for (const auto& m : messages) count += m == message;
  return count;
}

// How often Explorer (process `pid`) has logged the release today in `files`.
size_t ReleasesLoggedBy(const std::vector<std::wstring>& files, DWORD pid) {
  size_t count = 0;
  for (const auto& file : files) count += CountOf(MessagesOf(file, pid), kReleasedLine);
  return count;
}

// Wine starts its explorer.exe, owner of the desktop and taskbar windows, when a process first
// asks for the desktop window, and ends it a moment after the desktop's last user has gone.
DWORD ExplorerProcessId() {
  GetDesktopWindow();
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(taskbar, &pid);
      return pid;
    }
    Sleep(50);
  }
  return 0;
}

// The hook handle every copy of the library shares: the first value of its ".shared" section.
HHOOK SharedHookOf(HMODULE module) {
  const auto base = reinterpret_cast<const BYTE*>(module);
  const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (strncmp(reinterpret_cast<const char*>(section->Name), ".shared", 8) == 0) {
      return *reinterpret_cast<const HHOOK*>(base + section->VirtualAddress);
    }
  }
  ADD_FAILURE() << "the library has no .shared section";
  return nullptr;
}

// `rundll32.exe` from the system directory, started the way the installer does, run to its end.
struct Rundll32Run {
  DWORD pid = 0;
  DWORD exitCode = 0xFFFFFFFF;
};

Rundll32Run RunFreeDeskbandThroughRundll32() {
  Rundll32Run run;
  const ScopedHandle process = qvtest::StartProgram(
      qvtest::SystemProgram(L"rundll32.exe"),
      L"\"" + qvtest::ExecutableDirectory() + L"qvnsis.dll\",RunFreeDeskbandW");
  if (!process) return run;
  run.pid = GetProcessId(process.get());
  run.exitCode = qvtest::WaitForExit(process, 60000);
  return run;
}

// Runs RunFreeDeskbandW on a thread of a desktop of its own, where no taskbar exists and the
// hook reaches no Explorer. Exit code: 0 when the call left no hook behind, 2 when that desktop
// shows a taskbar after all, 3 when a hook is left, 4 when the library is missing.
QV_TEST_CHILD(free_deskband_on_own_desktop) {
  struct Outcome {
    DWORD code = 1;
  } outcome;
  auto run = [](void* context) WINAPI -> DWORD {
    auto* result = static_cast<Outcome*>(context);
    const std::wstring name = qvtest::UniqueName(L"qvnsis_no_taskbar");
    HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop || !SetThreadDesktop(desktop)) return 0;
    if (FindWindowW(L"Shell_TrayWnd", nullptr)) {
      result->code = 2;
    } else if (HMODULE library =
                   LoadLibraryW((qvtest::ExecutableDirectory() + L"qvnsis.dll").c_str())) {
      const auto entry = QV_EXPORT(library, RunFreeDeskbandW);
      if (entry) {
        entry(nullptr, nullptr, const_cast<wchar_t*>(L""), SW_SHOWNORMAL);
        result->code = SharedHookOf(library) ? 3 : 0;
      } else {
        result->code = 4;
      }
      FreeLibrary(library);
    } else {
      result->code = 4;
    }
    CloseDesktop(desktop);
    return 0;
  };
  // A fresh thread: one that already owns windows or hooks cannot change its desktop.
  ScopedHandle thread(CreateThread(nullptr, 0, run, &outcome, 0, nullptr));
  WaitForSingleObject(thread.get(), INFINITE);
  return static_cast<int>(outcome.code);
}

// Plays a hung taskbar: a "Shell_TrayWnd" window on the desktop of its own whose thread stops
// handling messages; RunFreeDeskbandW is then called on another thread of that desktop. Exit
// code as for free_deskband_on_own_desktop, 5 when the stand-in could not be made.
QV_TEST_CHILD(free_deskband_with_hung_taskbar) {
  struct Shared {
    HDESK desktop = nullptr;
    ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ScopedHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD code = 1;
  } shared;
  const std::wstring name = qvtest::UniqueName(L"qvnsis_hung_taskbar");
  shared.desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!shared.desktop) return 5;

  auto hungTaskbar = [](void* context) WINAPI -> DWORD {
    auto* s = static_cast<Shared*>(context);
    if (!SetThreadDesktop(s->desktop)) return 0;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(s->ready.get());
    // Hung: no message is handled until the test is done.
    WaitForSingleObject(s->stop.get(), INFINITE);
    if (window) DestroyWindow(window);
    return 0;
  };
  auto caller = [](void* context) WINAPI -> DWORD {
    auto* s = static_cast<Shared*>(context);
    if (!SetThreadDesktop(s->desktop)) return 0;
    if (!FindWindowW(L"Shell_TrayWnd", nullptr)) {
      s->code = 5;
      return 0;
    }
    HMODULE library = LoadLibraryW((qvtest::ExecutableDirectory() + L"qvnsis.dll").c_str());
    const auto entry = QV_EXPORT(library, RunFreeDeskbandW);
    if (entry) {
      entry(nullptr, nullptr, const_cast<wchar_t*>(L""), SW_SHOWNORMAL);
      s->code = SharedHookOf(library) ? 3 : 0;
    } else {
      s->code = 4;
    }
    if (library) FreeLibrary(library);
    return 0;
  };

  ScopedHandle taskbarThread(CreateThread(nullptr, 0, hungTaskbar, &shared, 0, nullptr));
  WaitForSingleObject(shared.ready.get(), INFINITE);
  ScopedHandle callerThread(CreateThread(nullptr, 0, caller, &shared, 0, nullptr));
  WaitForSingleObject(callerThread.get(), INFINITE);
  SetEvent(shared.stop.get());
  WaitForSingleObject(taskbarThread.get(), INFINITE);
  CloseDesktop(shared.desktop);
  return static_cast<int>(shared.code);
}

// Whether the thread running RunFreeDeskbandW takes its messages while it waits. On a desktop of
// its own without a taskbar (and without windows, which would bring Wine's Explorer there), so
// the call waits its full second, with a message in its queue. Exit code: 0 when the message was
// taken during the call, 1 when it is still queued, 3 when a hook is left, 4 when the library is
// missing, 5 for a broken set-up.
struct PumpingRun {
  HDESK desktop = nullptr;
  DWORD code = 5;
};

DWORD WINAPI CallWithQueuedMessages(void* context) {
  auto* run = static_cast<PumpingRun*>(context);
  if (!SetThreadDesktop(run->desktop) || FindWindowW(L"Shell_TrayWnd", nullptr)) return 0;
  HMODULE library = LoadLibraryW((qvtest::ExecutableDirectory() + L"qvnsis.dll").c_str());
  const auto entry = library ? QV_EXPORT(library, RunFreeDeskbandW) : nullptr;
  if (!entry) {
    run->code = 4;
  } else {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
    if (PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0)) {
      entry(nullptr, nullptr, const_cast<wchar_t*>(L""), SW_SHOWNORMAL);
      const bool appQueued = PeekMessageW(&message, nullptr, WM_APP, WM_APP, PM_REMOVE) != 0;
      run->code = SharedHookOf(library) ? 3 : appQueued ? 1 : 0;
    }
  }
  if (library) FreeLibrary(library);
  return 0;
}

QV_TEST_CHILD(free_deskband_takes_messages_while_waiting) {
  PumpingRun run;
  const std::wstring name = qvtest::UniqueName(L"qvnsis_pumping");
  run.desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!run.desktop) return 5;
  // A fresh thread: one that already owns windows or hooks cannot change its desktop.
  ScopedHandle thread(CreateThread(nullptr, 0, CallWithQueuedMessages, &run, 0, nullptr));
  WaitForSingleObject(thread.get(), INFINITE);
  CloseDesktop(run.desktop);
  return static_cast<int>(run.code);
}

// Whether the thread running RunFreeDeskbandW answers a message another thread sends it while it
// waits. A stand-in taskbar ("Shell_TrayWnd" on a desktop of its own) answers the entry point's
// message at once with ReplyMessage, which ends the entry point's send, and then sends a message
// to a window of the calling thread; the entry point then waits its full second (no Explorer
// releases here). Exit code: 0 when that message was answered during the call, 1 when only after
// it, 2 when it was never answered, 3 when a hook is left, 4 when the library is missing, 5 for a
// broken set-up.
struct SentDuringWait {
  HDESK desktop = nullptr;
  ScopedHandle ready{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ScopedHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HWND taskbar = nullptr;
  HWND caller = nullptr;
  bool inCall = false;
  bool answeredInCall = false;
  bool answered = false;
  DWORD code = 5;
};
SentDuringWait* g_sent = nullptr;

LRESULT CALLBACK SendingTaskbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETTEXTLENGTH && g_sent->caller && InSendMessage()) {
    // The entry point's send ends here; the message below reaches its thread in its wait.
    ReplyMessage(0);
    DWORD_PTR reply = 0;
    g_sent->answered =
        SendMessageTimeoutW(g_sent->caller, WM_APP, 0, 0, SMTO_NORMAL, 30000, &reply) != 0 &&
        reply == 1;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK CallerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    g_sent->answeredInCall = g_sent->inCall;
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI SendingTaskbarThread(void* context) {
  auto* s = static_cast<SentDuringWait*>(context);
  if (SetThreadDesktop(s->desktop)) {
    s->taskbar = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  }
  SetEvent(s->ready.get());
  if (!s->taskbar) return 0;
  // Handles sent messages until the test is done.
  const HANDLE stop = s->stop.get();
  while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  DestroyWindow(s->taskbar);
  return 0;
}

DWORD WINAPI CallerAnsweringWhileWaiting(void* context) {
  auto* s = static_cast<SentDuringWait*>(context);
  if (!SetThreadDesktop(s->desktop)) return 0;
  s->caller = CreateWindowExW(0, L"QvTestCallerWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!s->caller || FindWindowW(L"Shell_TrayWnd", nullptr) != s->taskbar) return 0;
  HMODULE library = LoadLibraryW((qvtest::ExecutableDirectory() + L"qvnsis.dll").c_str());
  const auto entry = library ? QV_EXPORT(library, RunFreeDeskbandW) : nullptr;
  if (!entry) {
    s->code = 4;
  } else {
    s->inCall = true;
    entry(nullptr, nullptr, const_cast<wchar_t*>(L""), SW_SHOWNORMAL);
    s->inCall = false;
    // A message still waiting is answered now, so the stand-in taskbar is not left hanging.
    MSG message;
    const DWORD start = GetTickCount();
    while (!s->answered && GetTickCount() - start < 30000) {
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_SENDMESSAGE);
    }
    s->code = SharedHookOf(library) ? 3 : !s->answered ? 2 : s->answeredInCall ? 0 : 1;
  }
  if (library) FreeLibrary(library);
  DestroyWindow(s->caller);
  return 0;
}

QV_TEST_CHILD(free_deskband_answers_sent_messages_while_waiting) {
  SentDuringWait s;
  g_sent = &s;
  const std::wstring name = qvtest::UniqueName(L"qvnsis_sent_while_waiting");
  s.desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  if (!s.desktop) return 5;
  WNDCLASSW windowClass = {};
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpfnWndProc = SendingTaskbarProc;
  windowClass.lpszClassName = L"Shell_TrayWnd";
  RegisterClassW(&windowClass);
  windowClass.lpfnWndProc = CallerWindowProc;
  windowClass.lpszClassName = L"QvTestCallerWindow";
  RegisterClassW(&windowClass);

  ScopedHandle taskbarThread(CreateThread(nullptr, 0, SendingTaskbarThread, &s, 0, nullptr));
  WaitForSingleObject(s.ready.get(), INFINITE);
  if (s.taskbar) {
    // A fresh thread: one that already owns windows or hooks cannot change its desktop.
    ScopedHandle callerThread(
        CreateThread(nullptr, 0, CallerAnsweringWhileWaiting, &s, 0, nullptr));
    WaitForSingleObject(callerThread.get(), INFINITE);
  }
  SetEvent(s.stop.get());
  WaitForSingleObject(taskbarThread.get(), INFINITE);
  CloseDesktop(s.desktop);
  return static_cast<int>(s.code);
}

// Runs `child`, which calls RunFreeDeskbandW where no Explorer releases, with the log in a folder
// of its own: the child's own checks pass (exit code 0), and the call waits out its time.
void ExpectTimedOutRun(const wchar_t* child, DWORD timeoutMs) {
  SCOPED_TRACE(testing::Message() << child);
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());
  qvtest::ChildOptions options;
  // A call that never comes back shows as a child killed at this limit.
  options.timeoutMs = timeoutMs;
  EXPECT_EQ(qvtest::RunChild(child, {}, options).exitCode, 0u);
  const std::vector<std::wstring> expected = {L"DllMain: started", L"RunFreeDeskbandW: hook ready",
                                              L"RunFreeDeskbandW: success event timed out"};
  EXPECT_EQ(FromStarted(qvtest::TodaysLogMessages(dir.path())), expected);
}

}  // namespace

TEST(RunFreeDeskbandW, ReleasesInsideExplorerAndReportsSuccessOnEveryRun) {
  const DWORD explorer = ExplorerProcessId();
  ASSERT_NE(explorer, 0u) << "the test bed runs Wine's explorer.exe with its taskbar window";
  const std::vector<std::wstring> explorerLogs = ExplorerLogFiles();
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env(dir.path());

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const size_t releasedBefore = ReleasesLoggedBy(explorerLogs, explorer);
    const Rundll32Run rundll32 = RunFreeDeskbandThroughRundll32();
    ASSERT_EQ(rundll32.exitCode, 0u);

    // Explorer's copy of the library logs to Explorer's own temporary directory.
    EXPECT_EQ(ReleasesLoggedBy(explorerLogs, explorer), releasedBefore + 1);
    const std::vector<std::wstring> expected = {L"DllMain: started",
                                                L"RunFreeDeskbandW: hook ready",
                                                L"RunFreeDeskbandW: success event signalled"};
    EXPECT_EQ(FromStarted(MessagesOf(qvtest::TodayLogFile(dir.path()), rundll32.pid)), expected);
  }

  // Explorer keeps the library loaded, so its shared data is still the one the runs used.
  HMODULE library = LoadLibraryW((qvtest::ExecutableDirectory() + L"qvnsis.dll").c_str());
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(SharedHookOf(library), nullptr);
  FreeLibrary(library);
}

// Without a taskbar, and with a taskbar that does not answer, the call still returns, reports a
// time-out and takes its hook away.
TEST(RunFreeDeskbandW, WithoutAnAnsweringTaskbarTimesOutAndLeavesNoHook) {
  const DWORD explorer = ExplorerProcessId();
  const std::vector<std::wstring> explorerLogs = ExplorerLogFiles();
  const size_t releasedBefore = ReleasesLoggedBy(explorerLogs, explorer);

  for (const wchar_t* child :
       {L"free_deskband_on_own_desktop", L"free_deskband_with_hung_taskbar"}) {
    ExpectTimedOutRun(child, 60000);
  }
  EXPECT_EQ(ReleasesLoggedBy(explorerLogs, explorer), releasedBefore);
}

// The entry point's thread installed a hook for the whole desktop and owns windows that other
// threads send to. Windows may route calls of the hook procedure to that thread, and a thread
// that blocks there stalls every sender: while it waits it goes on taking the messages of its
// queue and answering those sent to it.
TEST(RunFreeDeskbandW, KeepsTakingMessagesWhileItWaits) {
  const struct {
    const wchar_t* child;
    DWORD timeoutMs;
  } cases[] = {
      // A message posted to the thread is taken during the wait.
      {L"free_deskband_takes_messages_while_waiting", 60000},
      // A message another thread sends to the thread's window is answered during the wait.
      {L"free_deskband_answers_sent_messages_while_waiting", 90000},
  };
  for (const auto& c : cases) ExpectTimedOutRun(c.child, c.timeoutMs);
}
