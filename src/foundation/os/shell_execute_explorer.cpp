#include "foundation/os/shell_execute_explorer.h"

#include <exdisp.h>
#include <objbase.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shobjidl.h>

#include "foundation/os/bounded_worker.h"
#include "foundation/owners/com_initializer.h"
#include "foundation/owners/qv_com_ptr.h"
#include "foundation/owners/scoped_bstr.h"
#include "foundation/owners/scoped_variant.h"

namespace QVOS {
namespace detail {
namespace {

// Spelled out here so the route depends on no import library's list of identifiers.
const CLSID kClsidShellWindows = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID kIidShellWindows = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const GUID kSidTopLevelBrowser = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
const IID kIidShellBrowser = {
    0x000214E2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellFolderViewDual = {
    0xE7A1AF80, 0x4D96, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const IID kIidShellDispatch2 = {
    0xA4C6892C, 0x3BA9, 0x11D2, {0x9D, 0xEA, 0x00, 0xC0, 0x4F, 0xB1, 0x61, 0x62}};
const IID kIidServiceProvider = {
    0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};
const IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The calls into Explorer, in their order, and their names in the log.
enum Call : LONG {
  kCreateShellWindows,
  kFindDesktop,
  kQueryTopLevelBrowser,
  kQueryActiveView,
  kGetViewBackground,
  kQueryFolderView,
  kGetApplication,
  kQueryShellDispatch,
  kShellExecute,
};
const wchar_t* const kCallNames[] = {
    L"CoCreateInstance(ShellWindows)",
    L"FindWindowSW",
    L"QueryService(SID_STopLevelBrowser)",
    L"QueryActiveShellView",
    L"GetItemObject",
    L"QueryInterface(IShellFolderViewDual)",
    L"Application",
    L"QueryInterface(IShellDispatch2)",
    L"ShellExecute",
};

// Who has the ShellExecute call: the worker about to make it, or the caller that stopped waiting
// before it was made (and starts the program itself).
enum Claim : LONG { kOpen, kWorkerExecutes, kCallerGaveUp };

// What shlwapi's IUnknown_QueryService does. Windows XP's shlwapi exports that function by
// ordinal only, so importing it by name would keep the library from loading there.
HRESULT queryService(IUnknown* object, REFGUID service, REFIID iid, void** result) {
  *result = nullptr;
  QVComPtr<IServiceProvider> provider;
  const HRESULT hr = object->QueryInterface(kIidServiceProvider, provider.putVoid());
  if (FAILED(hr)) return hr;
  if (!provider) return E_NOINTERFACE;
  return provider->QueryService(service, iid, result);
}

// The route on its worker. Owns copies of everything it uses: the caller may have given up and
// returned by the time it ends. Every interface is released on the worker, whichever call ends
// the attempt.
class ExplorerStart : public BoundedTask {
 public:
  ExplorerStart(const std::wstring& file, const std::wstring& parameters, bool runAs)
      : file_(file), parameters_(parameters), runAs_(runAs) {}

  // The call under way or last made; read at any time.
  LONG call() { return InterlockedCompareExchange(&call_, 0, 0); }
  // The caller stops waiting. True when ShellExecute had not been made and now never will be.
  bool giveUp() { return InterlockedCompareExchange(&claim_, kCallerGaveUp, kOpen) == kOpen; }

  // Read once run() has finished.
  HRESULT result = E_FAIL;  // of the call that ended the attempt, or of ShellExecute

 protected:
  void run() override {
    const ComInitializer com(COINIT_APARTMENTTHREADED);
    if (!com.initialized()) {
      result = com.result();
      return;
    }

    QVComPtr<IShellWindows> windows;
    at(kCreateShellWindows);
    if (!got(CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_LOCAL_SERVER, kIidShellWindows,
                              windows.putVoid()),
             windows)) {
      return;
    }

    ScopedVariant location, root;
    long desktopWindow = 0;
    QVComPtr<IDispatch> desktop;
    at(kFindDesktop);
    if (!got(windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &desktopWindow,
                                   SWFO_NEEDDISPATCH, desktop.put()),
             desktop)) {
      return;
    }

    QVComPtr<IShellBrowser> browser;
    at(kQueryTopLevelBrowser);
    if (!got(queryService(desktop.get(), kSidTopLevelBrowser, kIidShellBrowser, browser.putVoid()),
             browser)) {
      return;
    }

    QVComPtr<IShellView> view;
    at(kQueryActiveView);
    if (!got(browser->QueryActiveShellView(view.put()), view)) return;

    QVComPtr<IDispatch> background;
    at(kGetViewBackground);
    if (!got(view->GetItemObject(SVGIO_BACKGROUND, kIidDispatch, background.putVoid()), background))
      return;

    QVComPtr<IShellFolderViewDual> folderView;
    at(kQueryFolderView);
    if (!got(background->QueryInterface(kIidShellFolderViewDual, folderView.putVoid()), folderView))
      return;

    QVComPtr<IDispatch> application;
    at(kGetApplication);
    if (!got(folderView->get_Application(application.put()), application)) return;

    QVComPtr<IShellDispatch2> shell;
    at(kQueryShellDispatch);
    if (!got(application->QueryInterface(kIidShellDispatch2, shell.putVoid()), shell)) return;

    ScopedBstr fileText(file_);
    ScopedVariant arguments, directory, operation, show;
    if (!fileText || (!parameters_.empty() && !arguments.setString(parameters_)) ||
        (runAs_ && !operation.setString(L"runas"))) {
      result = E_OUTOFMEMORY;
      return;
    }
    show.setInt(SW_SHOWNORMAL);

    at(kShellExecute);
    // Made only while the caller still waits: one that gave up starts the program itself, and
    // Explorer must not start it a second time.
    if (InterlockedCompareExchange(&claim_, kWorkerExecutes, kOpen) != kOpen) {
      result = E_ABORT;
      return;
    }
    // shellapi.h maps ShellExecute to ShellExecuteW for this method's name too.
    result = shell->ShellExecute(fileText.get(), arguments.value(), directory.value(),
                                 operation.value(), show.value());
  }

 private:
  void at(Call call) { InterlockedExchange(&call_, call); }

  // A call counts as done only when it succeeded and, where it hands out an object, handed one out.
  template <typename T>
  bool got(HRESULT hr, const QVComPtr<T>& object) {
    result = SUCCEEDED(hr) && !object ? E_NOINTERFACE : hr;
    return SUCCEEDED(hr) && object;
  }

  const std::wstring file_;
  const std::wstring parameters_;
  const bool runAs_;
  volatile LONG call_ = kCreateShellWindows;
  volatile LONG claim_ = kOpen;
};

// Whether COM is initialised on this thread (or, implicitly, in the process's multi-threaded
// apartment), without initialising it.
bool threadHasCom() {
  IUnknown* context = nullptr;
  if (FAILED(CoGetObjectContext(kIidUnknown, reinterpret_cast<void**>(&context))) || !context)
    return false;
  context->Release();
  return true;
}

ExplorerRoute ended(ExplorerRoute::Outcome outcome, Call call, HRESULT result) {
  ExplorerRoute route;
  route.outcome = outcome;
  route.call = kCallNames[call];
  route.result = result;
  return route;
}

}  // namespace

bool mayHaveRun(HRESULT result) {
  switch (result) {
    case RPC_E_SERVER_DIED:                      // "the call may have executed"
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):  // as opposed to RPC_S_CALL_FAILED_DNE
    case RPC_E_CALL_CANCELED:
      return true;
    default:
      return false;
  }
}

ExplorerRoute startThroughExplorer(const std::wstring& file, const std::wstring& parameters,
                                   bool runAs) {
  if (!threadHasCom()) {
    ExplorerRoute route;
    route.outcome = ExplorerRoute::Outcome::kNotTried;
    route.result = CO_E_NOTINITIALIZED;
    return route;
  }

  BoundedTaskHolder<ExplorerStart> task(new ExplorerStart(file, parameters, runAs));
  if (!task->runWithin(kExplorerRouteTimeoutMs)) {
    // No answer in time. ShellExecute not yet made is now never made, and the program is the
    // caller's to start; made, it is Explorer's, which may start it yet.
    const Call call = static_cast<Call>(task->call());
    if (task->giveUp())
      return ended(ExplorerRoute::Outcome::kNotAnswered, call, HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    return ended(ExplorerRoute::Outcome::kOutcomeUnknown, kShellExecute,
                 HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  }
  const Call call = static_cast<Call>(task->call());
  if (call == kShellExecute && SUCCEEDED(task->result)) {
    return ended(ExplorerRoute::Outcome::kStarted, call, task->result);
  }
  if (call == kShellExecute && mayHaveRun(task->result)) {
    return ended(ExplorerRoute::Outcome::kOutcomeUnknown, call, task->result);
  }
  return ended(ExplorerRoute::Outcome::kFailed, call, task->result);
}

}  // namespace detail
}  // namespace QVOS
