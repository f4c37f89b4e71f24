// What a user can feel: each export that waits on another process, timed with that process hung,
// against the bound the README states for the export. The longest of a few calls is the row.
// The taskbar object gets Windows's own creation limit here: the test bed's longer one (its key
// under "Software\Wine", see docs/testing.md) is taken away for these rows.
#include "worst_case.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>

#include "families.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/scoped_handle.h"
#include "support/child_process.h"
#include "support/elevated_installer.h"
#include "support/explorer_process.h"
#include "support/fake_deskband.h"
#include "support/fake_engine.h"
#include "support/fixture_records.h"
#include "support/hung_deskband_window.h"
#include "support/library.h"
#include "support/registry.h"
#include "support/shell_window.h"
#include "support/taskbar_process.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace qvbench {

std::vector<Row> MeasureWorstCases(const std::vector<WorstCase>& cases, int repetitions) {
  std::vector<Row> rows;
  for (const WorstCase& worst : cases) {
    double longest = 0;
    for (int i = 0; i < repetitions; ++i) {
      std::shared_ptr<void> hung = worst.hang();
      if (!hung)
        Abort("worst case \"" + worst.name + "\": the other side could not be made to hang");
      const double start = NowMicroseconds();
      worst.call();
      longest = std::max(longest, (NowMicroseconds() - start) / 1000);
      if (worst.didHang && !worst.didHang(hung)) {
        Abort("worst case \"" + worst.name + "\": the other side never hung, nothing was measured");
      }
    }
    Row row{worst.name + " vs bound", longest, worst.statedBoundMs, 1.1};
    row.unit = "ms";
    rows.push_back(row);
  }
  return rows;
}

namespace {

const wchar_t kTovinKey[] = L"SOFTWARE\\Tovin";
const wchar_t kTestBedKey[] = L"Software\\Wine\\qvnsis test bed";

// A top-level window of the taskbar's class whose thread stops answering once it exists, found by
// FindWindow ahead of Wine's own taskbar, as a hung Explorer's.
class HungTaskbarWindow {
 public:
  HungTaskbarWindow()
      : created_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        answer_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        thread_(CreateThread(nullptr, 0, &HungTaskbarWindow::ThreadMain, this, 0, nullptr)) {
    if (thread_) WaitForSingleObject(created_.get(), 30000);
  }
  ~HungTaskbarWindow() {
    SetEvent(answer_.get());
    if (thread_) WaitForSingleObject(thread_.get(), 30000);
  }
  HungTaskbarWindow(const HungTaskbarWindow&) = delete;
  HungTaskbarWindow& operator=(const HungTaskbarWindow&) = delete;
  HWND get() const { return window_; }

 private:
  static DWORD WINAPI ThreadMain(void* parameter) {
    auto* self = static_cast<HungTaskbarWindow*>(parameter);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&windowClass);
    self->window_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 10, 10,
                                    nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(self->created_.get());
    WaitForSingleObject(self->answer_.get(), INFINITE);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (self->window_) DestroyWindow(self->window_);
    UnregisterClassW(L"Shell_TrayWnd", GetModuleHandleW(nullptr));
    return 0;
  }

  ScopedHandle created_;
  ScopedHandle answer_;
  ScopedHandle thread_;
  HWND window_ = nullptr;
};

// Whether a fixture's record file holds "<kind> ... <last>" (say, a call recorded as "hung").
bool Recorded(const std::wstring& record, const wchar_t* kind, const wchar_t* last) {
  for (const auto& fields : qvtest::RecordsOfKind(record, kind)) {
    if (!fields.empty() && fields.back() == last) return true;
  }
  return false;
}

// Everything one hung QVNSIS_StopTovin waits on: Explorer hung while the taskbar object is
// created, a deskband window that never answers, an engine that ignores "/QUIT" and is restarted
// by its keeper as fast as it is terminated.
struct HungStop {
  explicit HungStop(const std::wstring& installDir)
      : installed(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                  qvtest::WideBytes(installDir)),
        engine(installDir + L"\\Engine\\"),
        taskbar(installDir + L"\\tray.txt", {L"CreateInstance", L""}),
        trayRecord(installDir + L"\\tray.txt") {
    engine.setBehaviour(qvtest::EngineQuit::kRestart);
    running = engine.start(L"/PLATFORMINSTALLED");
  }
  bool didHang() const {
    return Recorded(trayRecord, L"CreateInstance", L"hung") &&
           Recorded(engine.recordPath(), L"close-request", L"ignored") &&
           IsHungAppWindow(deskband.get());
  }
  bool ready() const {
    return running && qvtest::WaitForEngineWindow(GetProcessId(running.get())) && taskbar.ready() &&
           deskband.get();
  }
  ~HungStop() { engine.stop(); }

  qvtest::ScopedRegistryValue installed;
  qvtest::FakeEngineInstall engine;
  ScopedHandle running;
  qvtest::ScopedTaskbarProcess taskbar;
  std::wstring trayRecord;
  qvtest::HungDeskbandWindow deskband;
};

// QVNSIS_ShowDeskband with the deskband installed but never shown, and Explorer hung in the first
// call to the taskbar object after its creation.
struct HungShow {
  explicit HungShow(const std::wstring& installDir)
      : installed(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                  qvtest::WideBytes(installDir)),
        taskbar(installDir + L"\\tray.txt", {L"DeskBandRegistrationChanged", L""}),
        trayRecord(installDir + L"\\tray.txt") {
    library = qvtest::InstallDeskbandLibrary(installDir + L"\\", 0);
  }
  bool didHang() const { return Recorded(trayRecord, L"DeskBandRegistrationChanged", L"hung"); }
  bool ready() const {
    return taskbar.ready() && !library.empty() && !qvtest::FindDeskbandWindow();
  }

  qvtest::ScopedDeskbandCleanup cleanup;
  qvtest::ScopedRegistryValue installed;
  std::wstring library;
  qvtest::ScopedTaskbarProcess taskbar;
  std::wstring trayRecord;
};

// QVNSIS_RegisterDeskband with a deskband library whose registration hangs in regsvr32.exe.
struct HungRegistration {
  explicit HungRegistration(const std::wstring& installDir)
      : letGo(CreateEventW(nullptr, TRUE, FALSE, L"qvnsis-bench-registration-let-go")),
        reached(CreateEventW(nullptr, TRUE, FALSE, L"qvnsis-bench-registration-reached")),
        installed(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                  qvtest::WideBytes(installDir)),
        filename(HKEY_CURRENT_USER, kTovinKey, L"RegisterDeskbandFilename", REG_SZ,
                 qvtest::WideBytes(L"bench_hung_registration.dll")) {
    copied = CopyFileW((qvtest::ExecutableDirectory() + L"bench_hung_registration.dll").c_str(),
                       (installDir + L"\\bench_hung_registration.dll").c_str(), FALSE) != FALSE;
  }
  ~HungRegistration() {
    // regsvr32.exe ends once let go; its library is then free to be deleted with the folder.
    SetEvent(letGo.get());
    Sleep(500);
  }
  bool ready() const { return letGo && reached && copied; }
  bool didHang() const { return WaitForSingleObject(reached.get(), 0) == WAIT_OBJECT_0; }

  ScopedHandle letGo;
  ScopedHandle reached;
  qvtest::ScopedDeskbandCleanup cleanup;
  qvtest::ScopedRegistryValue installed;
  qvtest::ScopedRegistryValue filename;
  bool copied = false;
};

// QVNSIS_PinAppStore while the engine hangs holding TOVIN_DB_MUTEX: a thread of ours takes it and
// keeps it until let go.
struct HungDatabaseMutex {
  explicit HungDatabaseMutex(const std::wstring& installDir)
      : installed(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                  qvtest::WideBytes(installDir)),
        taken(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        letGo(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        holder(CreateThread(nullptr, 0, &HungDatabaseMutex::Hold, this, 0, nullptr)) {
    CreateDirectoryW((installDir + L"\\Tovines").c_str(), nullptr);
    if (holder) WaitForSingleObject(taken.get(), 30000);
  }
  ~HungDatabaseMutex() {
    SetEvent(letGo.get());
    if (holder) WaitForSingleObject(holder.get(), 30000);
  }
  bool ready() const { return WaitForSingleObject(taken.get(), 0) == WAIT_OBJECT_0; }
  // Still held by us when the call gave up, and the call said nothing was pinned.
  bool didHang() const {
    return ready() && WaitForSingleObject(holder.get(), 0) == WAIT_TIMEOUT && result == 0;
  }

  static DWORD WINAPI Hold(void* parameter) {
    auto* self = static_cast<HungDatabaseMutex*>(parameter);
    const ScopedHandle mutex(CreateMutexA(nullptr, FALSE, "TOVIN_DB_MUTEX"));
    if (!mutex || WaitForSingleObject(mutex.get(), 30000) != WAIT_OBJECT_0) return 1;
    SetEvent(self->taken.get());
    WaitForSingleObject(self->letGo.get(), INFINITE);
    ReleaseMutex(mutex.get());
    return 0;
  }

  qvtest::ScopedRegistryValue installed;
  ScopedHandle taken;
  ScopedHandle letGo;
  ScopedHandle holder;
  int result = -1;
};

// QVNSIS_RunTovin from an elevated installer, which starts the engine through Explorer, while
// Explorer hangs in its first call of the route.
struct HungExplorerRoute {
  explicit HungExplorerRoute(const std::wstring& installDir)
      : installed(HKEY_CURRENT_USER, kTovinKey, L"InstallDir", REG_SZ,
                  qvtest::WideBytes(installDir)),
        engine(installDir + L"\\Engine\\"),
        explorerRecord(installDir + L"\\explorer.txt"),
        explorer(explorerRecord, {L"FindWindowSW", L""}) {}
  ~HungExplorerRoute() { engine.stop(); }
  bool ready() { return shell.ready() && explorer.ready(); }
  bool didHang() const { return Recorded(explorerRecord, L"FindWindowSW", L"hung"); }

  qvtest::ScopedRegistryValue installed;
  qvtest::FakeEngineInstall engine;
  qvtest::ScopedShellWindow shell;
  std::wstring explorerRecord;
  qvtest::ScopedExplorerProcess explorer;
};

template <typename Hung>
std::function<bool(const std::shared_ptr<void>&)> Confirmed() {
  return [](const std::shared_ptr<void>& hung) {
    return std::static_pointer_cast<Hung>(hung)->didHang();
  };
}

template <typename Hung>
std::function<std::shared_ptr<void>()> Hanging(const std::wstring& installDir) {
  return [installDir]() -> std::shared_ptr<void> {
    CreateDirectoryW(installDir.c_str(), nullptr);
    auto hung = std::make_shared<Hung>(installDir);
    if (!hung->ready()) return nullptr;
    return hung;
  };
}

}  // namespace

std::vector<Row> WorstCaseRows(const std::wstring& scratch) {
  // Windows's creation limit for the taskbar object, not the test bed's.
  const qvtest::ScopedRegistryKey windowsLimits(HKEY_CURRENT_USER, kTestBedKey);
  const qvtest::Library library;
  const auto stop = QV_EXPORT(library, QVNSIS_StopTovin);
  const auto show = QV_EXPORT(library, QVNSIS_ShowDeskband);
  const auto registerDeskband = QV_EXPORT(library, QVNSIS_RegisterDeskband);
  const auto freeDeskband = QV_EXPORT(library, RunFreeDeskbandW);
  const auto pin = QV_EXPORT(library, QVNSIS_PinAppStore);
  const auto runTovin = QV_EXPORT(library, QVNSIS_RunTovin);
  if (!stop || !show || !registerDeskband || !freeDeskband || !pin || !runTovin) {
    Abort("cannot load the exports that wait");
  }

  // The bounds as the README's "Worst case" column states them.
  const std::vector<WorstCase> cases = {
      {"StopTovin, all it waits on hung", 21000, Hanging<HungStop>(scratch + L"StopHung"),
       [&] { stop(); }, Confirmed<HungStop>()},
      {"ShowDeskband, Explorer hung", 38000, Hanging<HungShow>(scratch + L"ShowHung"),
       [&] { show(); }, Confirmed<HungShow>()},
      {"RegisterDeskband, regsvr32 hung", 10000,
       Hanging<HungRegistration>(scratch + L"RegisterHung"), [&] { registerDeskband(); },
       Confirmed<HungRegistration>()},
      {"RunFreeDeskbandW, taskbar hung", 6000,
       []() -> std::shared_ptr<void> {
         auto hung = std::make_shared<HungTaskbarWindow>();
         if (!hung->get() || FindWindowW(L"Shell_TrayWnd", nullptr) != hung->get()) return nullptr;
         return hung;
       },
       [&] { freeDeskband(nullptr, nullptr, const_cast<wchar_t*>(L""), 0); }},
      {"RunTovin elevated, Explorer hung", 5000,
       Hanging<HungExplorerRoute>(scratch + L"ExplorerHung"),
       [&] {
         // COM on the calling thread, as NSIS has it; the route is taken only with COM.
         const ComInitializer com(COINIT_APARTMENTTHREADED);
         const qvtest::ScopedElevatedInstaller elevated(library.module());
         runTovin(1);
       },
       Confirmed<HungExplorerRoute>()},
  };
  std::vector<Row> rows = MeasureWorstCases(cases, 2);
  // Two minutes a call: measured once.
  std::shared_ptr<void> pinning;
  const std::vector<WorstCase> pinCase = {
      {"PinAppStore, TOVIN_DB_MUTEX held", 120000,
       [&]() -> std::shared_ptr<void> {
         pinning = Hanging<HungDatabaseMutex>(scratch + L"PinHung")();
         return pinning;
       },
       [&] { std::static_pointer_cast<HungDatabaseMutex>(pinning)->result = pin(); },
       Confirmed<HungDatabaseMutex>()},
  };
  for (Row& row : MeasureWorstCases(pinCase, 1)) rows.push_back(row);
  pinning.reset();
  for (const wchar_t* folder :
       {L"StopHung", L"ShowHung", L"RegisterHung", L"ExplorerHung", L"PinHung"}) {
    qvtest::RemoveTree(scratch + folder);
  }
  return rows;
}

}  // namespace qvbench
