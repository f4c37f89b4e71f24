#include <gtest/gtest.h>

#include <objbase.h>
#include <exdisp.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <regex>
#include <string>

#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_execute.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/explorer_process.h"
#include "support/fixture_records.h"
#include "support/log_file.h"
#include "support/program.h"
#include "support/shell_window.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

const wchar_t kSource[] = L"_ShellExecute: ";
const wchar_t kParameters[] = L"--name \"two words\" x";

// Wine runs every process at the high level. These stand in for what it cannot produce: an
// installer at the medium level ('M'), or a shell at the medium level ('S').
uint32_t g_ownLevel = QVOS::kHighIntegrity;
uint32_t g_otherLevel = QVOS::kHighIntegrity;
bool FakeLevels(HANDLE process, uint32_t* level) {
  *level = GetProcessId(process) == GetCurrentProcessId() ? g_ownLevel : g_otherLevel;
  return true;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    if (qvtest::FileExists(path)) return true;
    Sleep(100);
  }
  return false;
}

// Starts a program as the installer would.
// args: file, parameters, flags, and the record file to wait for before ending (so the program
// can still see who started it). Flags: m tryMediumIntegrity, f forceExplorer, r runAs,
// h want the process handle, c initialise COM on the thread, M this process at medium level,
// S other processes (the shell) at medium level.
// Exit code: 1 started, 0 not started, 2 started but no process handle that ended in time.
QV_TEST_CHILD(start_program) {
  const std::wstring& flags = args.at(2);
  auto has = [&](wchar_t flag) { return flags.find(flag) != std::wstring::npos; };
  if (has(L'M')) g_ownLevel = QVOS::kMediumIntegrity;
  if (has(L'S')) g_otherLevel = QVOS::kMediumIntegrity;
  if (has(L'M') || has(L'S')) QVOS::detail::setIntegrityLevelQuery(&FakeLevels);
  std::optional<ComInitializer> com;
  if (has(L'c')) com.emplace(COINIT_APARTMENTTHREADED);

  QVOS::ShellExecuteOptions options;
  options.tryMediumIntegrity = has(L'm');
  options.forceExplorer = has(L'f');
  options.runAs = has(L'r');
  int result = 0;
  if (has(L'h')) {
    ScopedHandle process;
    options.process = &process;
    const bool started = QVOS::shellExecute(args.at(0), args.at(1), options);
    result = !started                                                                ? 0
             : process && WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 ? 1
                                                                                     : 2;
  } else {
    result = QVOS::shellExecute(args.at(0), args.at(1), options) ? 1 : 0;
    if (result == 1) WaitForFile(args.at(3), 30000);
  }
  return result;
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  std::vector<std::string> lines;
  const std::string bytes = qvtest::ReadFileBytes(path);
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

// A copy of the recording program in a folder of its own, which also takes the log.
struct Workspace {
  qvtest::ScopedTempDir dir;
  qvtest::ScopedTempEnv env{dir.path()};
  std::wstring program = dir.path() + L"record_args.exe";
  std::wstring record = dir.path() + L"record_args.args.txt";

  Workspace() {
    CopyFileW((qvtest::ExecutableDirectory() + L"record_args.exe").c_str(), program.c_str(), FALSE);
  }
  std::vector<std::wstring> lines() const {
    return qvtest::LogMessagesOf(qvtest::TodayLogFile(dir.path()), kSource);
  }
  // The records "<starter>\t<arguments>", once `count` have arrived (or the wait ran out).
  std::vector<std::string> records(size_t count) const {
    for (int i = 0; i < 300 && ReadLines(record).size() < count; ++i) Sleep(100);
    return ReadLines(record);
  }
};

// "(err: N) <rest>" split; false when the message does not have that shape.
bool SplitError(const std::wstring& message, std::wstring* rest) {
  std::wsmatch m;
  if (!std::regex_match(message, m, std::wregex(LR"(\(err: \d+\) (.*))"))) return false;
  *rest = m.str(1);
  return true;
}

// Wine's COM service (RpcSs), through which Explorer's objects are found; started when it is not
// running (on a busy machine its start-up may outlast the service manager's patience: try again).
bool ComServiceRunning() {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return false;
  const SC_HANDLE service = OpenServiceW(manager, L"RpcSs", SERVICE_START | SERVICE_QUERY_STATUS);
  bool running = false;
  for (const ULONGLONG end = GetTickCount64() + 60000;
       service && !running && GetTickCount64() < end;) {
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) {
      running = true;
    } else {
      if (status.dwCurrentState == SERVICE_STOPPED) StartServiceW(service, 0, nullptr);
      Sleep(500);
    }
  }
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return running;
}

// Wine's Explorer, serving the automation objects the route asks for, steadily for the scope.
// The desktop's own Explorer may have come up during the prefix's first boot, before the COM
// service could be started, and then serves nothing; and each new one that Wine starts when the
// desktop's last program has gone re-registers the objects and takes them along when it ends.
// So this process keeps a window on the desktop (its Explorer stays), and, once the COM service
// runs, a second Explorer managing a desktop of its own registers the objects last.
class ScopedExplorer {
 public:
  ScopedExplorer()
      : anchor_(CreateWindowExW(0, L"STATIC", L"anchor", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr)) {
    if (!ComServiceRunning()) return;
    // Wine keeps a desktop's size as the screen's for every later process of the bed: the
    // screen's own size, so that later windows are not cut off at a smaller one.
    process_ = qvtest::StartProgram(qvtest::SystemProgram(L"explorer.exe"),
                                    L"/desktop=" + qvtest::UniqueName(L"qvtest") + L"," +
                                        std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" +
                                        std::to_wstring(GetSystemMetrics(SM_CYSCREEN)));
  }
  ~ScopedExplorer() {
    if (process_) {
      TerminateProcess(process_.get(), 0);
      WaitForSingleObject(process_.get(), 10000);
    }
    if (anchor_) DestroyWindow(anchor_);
  }

  // Whether ShellWindows can be created out of process, waiting up to a minute for it.
  bool serving() const {
    const CLSID clsidShellWindows = {
        0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    bool available = false;
    for (const ULONGLONG end = GetTickCount64() + 60000; !available && GetTickCount64() < end;) {
      IUnknown* windows = nullptr;
      if (SUCCEEDED(CoCreateInstance(clsidShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&windows))) &&
          windows) {
        windows->Release();
        available = true;
      } else {
        Sleep(500);
      }
    }
    return available;
  }

 private:
  HWND anchor_;
  ScopedHandle process_;
};

enum class Route { Direct, RefusedThenDirect, Explorer };

struct StartCase {
  const wchar_t* windows;
  const wchar_t* flags;
  bool shellWindow;
  Route route;
  std::wstring parameters = kParameters;
};

// Runs one case in a child under its Windows release and checks the log lines and who started
// the program with which arguments.
void RunStartCase(const StartCase& c) {
  SCOPED_TRACE(std::wstring(c.windows) + L" flags '" + c.flags + L"'" +
               (c.shellWindow ? L" with shell" : L""));
  Workspace ws;
  std::unique_ptr<qvtest::ScopedShellWindow> shell;
  if (c.shellWindow) {
    shell = std::make_unique<qvtest::ScopedShellWindow>();
    ASSERT_TRUE(shell->ready());
  }
  qvtest::ChildOptions options;
  options.windowsVersion = c.windows;
  options.exeName = std::wstring(L"installer_") + c.windows + L".exe";
  const DWORD exitCode =
      qvtest::RunChild(L"start_program", {ws.program, c.parameters, c.flags, ws.record}, options)
          .exitCode;
  EXPECT_EQ(exitCode, 1u);

  const auto records = ws.records(1);
  ASSERT_EQ(records.size(), 1u) << "the program ran once";
  const std::string starter =
      c.route == Route::Explorer ? "explorer.exe" : qvtest::Narrow(options.exeName);
  EXPECT_EQ(records[0], starter + "\t" + qvtest::Narrow(c.parameters));

  const std::wstring executed = L"executed '" + ws.program + L"' with " + c.parameters;
  const auto lines = ws.lines();
  std::wstring rest;
  switch (c.route) {
    case Route::Direct:
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0], executed);
      break;
    case Route::RefusedThenDirect:
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_TRUE(SplitError(lines[0], &rest)) << lines[0];
      EXPECT_EQ(rest, L"tryMediumIntegrity: failed");
      EXPECT_EQ(lines[1], executed);
      break;
    case Route::Explorer:
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_TRUE(SplitError(lines[0], &rest)) << lines[0];
      EXPECT_EQ(rest, L"explorer-" + executed);
      break;
  }
}

}  // namespace

// Nothing asks for Explorer, or the situation rules it out: the program is started directly and
// no line tells of a refused route.
TEST(ShellExecute, StartsDirectlyWhereTheExplorerRouteDoesNotApply) {
  const StartCase cases[] = {
      {L"win7", L"", false, Route::Direct},        // every flag off
      {L"win7", L"r", false, Route::Direct},       // the "runas" verb, directly
      {L"win7", L"mM", true, Route::Direct},       // the installer already runs at medium level
      {L"win7", L"mfch", false, Route::Direct},    // a process handle is wanted
      {L"winxp", L"mcS", true, Route::Direct},     // Windows XP, shell at medium
      {L"winxp", L"mfc", false, Route::Direct},    // Windows XP, even when forced
      {L"win7", L"h", false, Route::Direct, L""},  // empty parameters
  };
  for (const auto& c : cases) RunStartCase(c);
}

// The installer runs at high level; when the shell does too (or cannot be asked, or COM is not
// there), one line tells of the refused route and the program is started directly.
TEST(ShellExecute, RefusedExplorerRouteFallsBackToTheDirectStart) {
  const StartCase cases[] = {
      {L"win7", L"m", false, Route::RefusedThenDirect},  // no shell window to ask
      {L"win7", L"mc", true, Route::RefusedThenDirect},  // the shell runs at high level as well
      {L"win8", L"mS", true,
       Route::RefusedThenDirect},  // shell at medium, but no COM on the thread
      {L"win7", L"mf", false, Route::RefusedThenDirect},  // forced, but no COM on the thread
  };
  for (const auto& c : cases) RunStartCase(c);
}

// Through Wine's Explorer: the program is started by explorer.exe, with the parameters unchanged.
TEST(ShellExecute, ExplorerStartsTheProgramForAnInstallerAboveMediumLevel) {
  ScopedExplorer explorer;
  ASSERT_TRUE(explorer.serving()) << "Explorer's ShellWindows server never came up";
  const StartCase cases[] = {
      {L"win7", L"mcS", true, Route::Explorer},   // installer high, shell medium
      {L"win7", L"mfc", false, Route::Explorer},  // forced
      {L"win8", L"mfc", false, Route::Explorer},      {L"win81", L"mfcS", true, Route::Explorer},
      {L"win7", L"mfcr", false, Route::Explorer},      // the "runas" operation
      {L"win7", L"mfc", false, Route::Explorer, L""},  // empty parameters: none passed
  };
  for (const auto& c : cases) RunStartCase(c);
}

TEST(ShellExecute, TheStartedProcessIsHandedOutWhenAsked) {
  Workspace ws;
  ScopedHandle process;
  QVOS::ShellExecuteOptions options;
  options.process = &process;
  ASSERT_TRUE(QVOS::shellExecute(ws.program, kParameters, options));
  ASSERT_TRUE(process);
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  const auto records = ws.records(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0], "foundation_tests.exe\t" + qvtest::Narrow(kParameters));
  const auto lines = ws.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], L"executed '" + ws.program + L"' with " + kParameters);
}

TEST(ShellExecute, AProgramThatDoesNotExistIsAFailureWithItsErrorNumber) {
  Workspace ws;
  const std::wstring missing = ws.dir.path() + L"no_such_program.exe";
  EXPECT_FALSE(QVOS::shellExecute(missing, L"--x"));
  ScopedHandle process;
  QVOS::ShellExecuteOptions wantsProcess;
  wantsProcess.process = &process;
  EXPECT_FALSE(QVOS::shellExecute(missing, L"", wantsProcess));
  EXPECT_FALSE(process);
  const auto lines = ws.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"(err: 2) failed to execute '" + missing + L"' with --x");
  EXPECT_EQ(lines[1], L"(err: 2) failed to execute '" + missing + L"' with ");
  EXPECT_FALSE(qvtest::FileExists(ws.record));
}

// The error number of the "(err: N)" line is still the thread's last error when the call returns,
// for callers that report it in a line of their own (the deskband registration's regsvr32 start).
TEST(ShellExecute, AFailedStartLeavesItsErrorForTheCaller) {
  Workspace ws;
  const std::wstring missing = ws.dir.path() + L"no_such_program.exe";
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(QVOS::shellExecute(missing, L"--x", QVOS::ShellExecuteOptions{}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(QVOS::shellExecute(missing, L""));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const auto lines = ws.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], L"(err: 2) failed to execute '" + missing + L"' with ");
}

namespace {

// Starts `file` with `parameters` through the Explorer route as an elevated installer would
// (the route forced, COM on the thread) and writes "<1 started, else 0> <milliseconds the call
// took>" to the file named third. Once started, waits for the record file named fourth, so that
// the program can still see who started it.
QV_TEST_CHILD(start_through_explorer_timed) {
  const ComInitializer com(COINIT_APARTMENTTHREADED);
  QVOS::ShellExecuteOptions options;
  options.tryMediumIntegrity = true;
  options.forceExplorer = true;
  const ULONGLONG start = GetTickCount64();
  const bool started = QVOS::shellExecute(args.at(0), args.at(1), options);
  const ULONGLONG took = GetTickCount64() - start;
  qvtest::WriteFileBytes(args.at(2), std::to_string(started ? 1 : 0) + " " + std::to_string(took));
  if (started) WaitForFile(args.at(3), 30000);
  return 0;
}

// Each call of the route: its name to the Explorer stand-in, and in the library's log.
struct RouteCall {
  const wchar_t* standIn;
  const wchar_t* logged;
};
const RouteCall kRouteCalls[] = {
    {L"CreateInstance", L"CoCreateInstance(ShellWindows)"},
    {L"FindWindowSW", L"FindWindowSW"},
    {L"QueryService", L"QueryService(SID_STopLevelBrowser)"},
    {L"QueryActiveShellView", L"QueryActiveShellView"},
    {L"GetItemObject", L"GetItemObject"},
    {L"QueryInterface-IShellFolderViewDual", L"QueryInterface(IShellFolderViewDual)"},
    {L"Application", L"Application"},
    {L"QueryInterface-IShellDispatch2", L"QueryInterface(IShellDispatch2)"},
    {L"ShellExecute", L"ShellExecute"},
};

// One start through the Explorer stand-in, told how to misbehave, from a child playing the
// installer: whether the call said it started the program, how long it took, the library's
// lines, the program's records and the stand-in's.
struct RouteRun {
  bool started = false;
  ULONGLONG tookMs = 0;
  bool ended = false;  // the child ended and wrote its result
  std::wstring program;
  std::vector<std::wstring> lines;
  std::vector<std::string> programRecords;
  std::vector<qvtest::Record> explorerRecords;
};

RouteRun RunRoute(const qvtest::ScopedExplorerProcess::Misbehaviour& misbehaviour,
                  const std::wstring& exeName) {
  RouteRun run;
  Workspace ws;
  run.program = ws.program;
  const std::wstring explorerRecord = ws.dir.path() + L"explorer.txt";
  const std::wstring result = ws.dir.path() + L"route.txt";
  {
    qvtest::ScopedExplorerProcess explorer(explorerRecord, misbehaviour);
    EXPECT_TRUE(explorer.ready());
    if (!explorer.ready()) return run;
    qvtest::ChildOptions options;
    options.exeName = exeName;
    // Without the bound the call never ends: the child is then ended here.
    options.timeoutMs = 60000;
    qvtest::RunChild(L"start_through_explorer_timed", {ws.program, kParameters, result, ws.record},
                     options);
    const std::string text = qvtest::ReadFileBytes(result);
    run.ended = !text.empty();
    if (run.ended) {
      run.started = text[0] == '1';
      run.tookMs = std::stoull(text.substr(text.find(' ') + 1));
    }
    // A program started late (by an Explorer that answers after all) would show up by now.
    Sleep(1000);
    run.lines = ws.lines();
    run.programRecords = ReadLines(ws.record);
    run.explorerRecords = qvtest::ReadRecords(explorerRecord);
  }
  return run;
}

bool Recorded(const std::vector<qvtest::Record>& records, const std::wstring& call,
              const std::wstring& detail) {
  for (const qvtest::Record& record : records) {
    if (record.size() >= 2 && record[0] == call && record[1] == detail) return true;
  }
  return false;
}

}  // namespace

// Explorer in a process of its own, answering every call: it starts the program, with the
// parameters unchanged.
TEST(ExplorerRoute, AnAnsweringExplorerStartsTheProgram) {
  const RouteRun run = RunRoute({}, L"installer_route.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.started);
  ASSERT_EQ(run.programRecords.size(), 1u);
  EXPECT_EQ(run.programRecords[0], "qvexplorer.exe\t" + qvtest::Narrow(kParameters));
  ASSERT_EQ(run.lines.size(), 1u);
  std::wstring rest;
  EXPECT_TRUE(SplitError(run.lines[0], &rest)) << run.lines[0];
  EXPECT_EQ(rest, L"explorer-executed '" + run.program + L"' with " + kParameters);
  for (const RouteCall& call : kRouteCalls) {
    EXPECT_TRUE(
        std::any_of(run.explorerRecords.begin(), run.explorerRecords.end(),
                    [&](const qvtest::Record& record) { return record[0] == call.standIn; }))
        << qvtest::Narrow(call.standIn);
  }
}

namespace {

constexpr ULONGLONG kRouteBoundMs = 5000;

// The lines of a route given up on before ShellExecute, then the program started directly.
void ExpectDirectStartAfter(const RouteRun& run, const std::wstring& firstLine,
                            const std::string& installer) {
  EXPECT_TRUE(run.started);
  ASSERT_EQ(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[0], firstLine);
  std::wstring rest;
  EXPECT_TRUE(SplitError(run.lines[1], &rest)) << run.lines[1];
  EXPECT_EQ(rest, L"tryMediumIntegrity: failed");
  EXPECT_EQ(run.lines[2], L"executed '" + run.program + L"' with " + kParameters);
  ASSERT_EQ(run.programRecords.size(), 1u) << "started once, by the installer itself";
  EXPECT_EQ(run.programRecords[0], installer + "\t" + qvtest::Narrow(kParameters));
}

}  // namespace

// Explorer stops answering in one call of the route: the call ends within the route's bound (5
// seconds, checked with a margin for a loaded machine), with a line naming the call. Before
// ShellExecute the program is then started directly; in ShellExecute itself Explorer has the
// request and may still carry it out, so the program is not started a second time: the call
// answers that it did not start it.
TEST(ExplorerRoute, AHungExplorerEndsTheRouteWithinItsBound) {
  for (const RouteCall& call : kRouteCalls) {
    const std::wstring name = call.standIn;
    SCOPED_TRACE(L"hangs in " + name);
    qvtest::ScopedExplorerProcess::Misbehaviour misbehaviour;
    misbehaviour.hangIn = name;
    const RouteRun run = RunRoute(misbehaviour, L"installer_hung.exe");
    ASSERT_TRUE(run.ended) << "the call never ended";
    EXPECT_GE(run.tookMs, kRouteBoundMs - 100) << "Explorer was given the route's time";
    EXPECT_LT(run.tookMs, 3 * kRouteBoundMs);
    EXPECT_TRUE(Recorded(run.explorerRecords, name, L"hung"));
    if (name == L"ShellExecute") {
      EXPECT_FALSE(run.started);
      EXPECT_EQ(run.lines, std::vector<std::wstring>{
                               L"explorer did not answer ShellExecute within 5000 ms; '" +
                               run.program + L"' not started here: Explorer may still start it"});
      EXPECT_TRUE(run.programRecords.empty());
    } else {
      ExpectDirectStartAfter(
          run, L"explorer did not answer " + std::wstring(call.logged) + L" within 5000 ms",
          "installer_hung.exe");
    }
  }
}

// Explorer's process ends in the middle of one call of the route: the call fails at once, with a
// line naming it and COM's error. Before ShellExecute the program is started directly; in
// ShellExecute, COM answers that Explorer went away during the call, which it may have carried
// out, so the program is not started a second time.
TEST(ExplorerRoute, AnExplorerThatDiesInACallEndsTheRouteAtOnce) {
  for (const RouteCall& call : kRouteCalls) {
    const std::wstring name = call.standIn;
    SCOPED_TRACE(L"dies in " + name);
    qvtest::ScopedExplorerProcess::Misbehaviour misbehaviour;
    misbehaviour.dieIn = name;
    const RouteRun run = RunRoute(misbehaviour, L"installer_died.exe");
    ASSERT_TRUE(run.ended) << "the call never ended";
    EXPECT_LT(run.tookMs, 3 * kRouteBoundMs);
    EXPECT_TRUE(Recorded(run.explorerRecords, name, L"died"));
    ASSERT_FALSE(run.lines.empty());
    std::wstring rest;
    EXPECT_TRUE(SplitError(run.lines[0], &rest)) << run.lines[0];
    if (name == L"ShellExecute") {
      EXPECT_FALSE(run.started);
      EXPECT_EQ(run.lines.size(), 1u);
      EXPECT_EQ(rest, L"explorer went away during ShellExecute; '" + run.program +
                          L"' not started here: Explorer may have started it");
      EXPECT_TRUE(run.programRecords.empty());
    } else {
      ExpectDirectStartAfter(run, run.lines[0], "installer_died.exe");
      EXPECT_EQ(rest, L"explorer call " + std::wstring(call.logged) + L" failed");
    }
  }
}
