#include "foundation/os/shell_execute.h"

#include <windows.h>
#include <exdisp.h>
#include <objbase.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shobjidl.h>

#include <cstdint>

#include "foundation/log/log.h"
#include "foundation/os/integrity_level.h"
#include "foundation/os/shell_process.h"
#include "foundation/os/windows_version.h"
#include "foundation/owners/qv_com_ptr.h"
#include "foundation/owners/scoped_bstr.h"
#include "foundation/owners/scoped_variant.h"

namespace QVOS {
namespace {

// Spelled out here so the route depends on no import library's list of identifiers.
const CLSID kClsidShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID kIidShellWindows = {0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const GUID kSidTopLevelBrowser = {0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};
const IID kIidShellBrowser = {0x000214E2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellFolderViewDual = {0xE7A1AF80, 0x4D96, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const IID kIidShellDispatch2 = {0xA4C6892C, 0x3BA9, 0x11D2, {0x9D, 0xEA, 0x00, 0xC0, 0x4F, 0xB1, 0x61, 0x62}};
const IID kIidServiceProvider = {0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};

constexpr wchar_t kSource[] = L"_ShellExecute: ";

// A call counts as done only when it succeeded and, where it hands out an object, handed one out.
template <typename T>
bool got(HRESULT result, const QVComPtr<T>& object) {
  return SUCCEEDED(result) && object;
}

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

// Asks the running Explorer to start the program: desktop window -> top-level browser -> its view
// -> the view's automation object -> the shell application -> ShellExecute. Every interface is
// released on the way out, whichever step ends the attempt.
bool startThroughExplorer(const std::wstring& file, const std::wstring& parameters, bool runAs) {
  QVComPtr<IShellWindows> windows;
  if (!got(CoCreateInstance(kClsidShellWindows, nullptr, CLSCTX_LOCAL_SERVER, kIidShellWindows,
                            windows.putVoid()),
           windows)) {
    return false;
  }

  ScopedVariant location, root;
  long desktopWindow = 0;
  QVComPtr<IDispatch> desktop;
  if (!got(windows->FindWindowSW(location.get(), root.get(), SWC_DESKTOP, &desktopWindow,
                                 SWFO_NEEDDISPATCH, desktop.put()),
           desktop)) {
    return false;
  }

  QVComPtr<IShellBrowser> browser;
  if (!got(queryService(desktop.get(), kSidTopLevelBrowser, kIidShellBrowser, browser.putVoid()),
           browser)) {
    return false;
  }

  QVComPtr<IShellView> view;
  if (!got(browser->QueryActiveShellView(view.put()), view)) return false;

  QVComPtr<IDispatch> background;
  if (!got(view->GetItemObject(SVGIO_BACKGROUND, kIidDispatch, background.putVoid()), background)) {
    return false;
  }

  QVComPtr<IShellFolderViewDual> folderView;
  if (!got(background->QueryInterface(kIidShellFolderViewDual, folderView.putVoid()), folderView)) {
    return false;
  }

  QVComPtr<IDispatch> application;
  if (!got(folderView->get_Application(application.put()), application)) return false;

  QVComPtr<IShellDispatch2> shell;
  if (!got(application->QueryInterface(kIidShellDispatch2, shell.putVoid()), shell)) return false;

  ScopedBstr fileText(file);
  ScopedVariant arguments, directory, operation, show;
  if (!fileText) return false;
  if (!parameters.empty() && !arguments.setString(parameters)) return false;
  if (runAs && !operation.setString(L"runas")) return false;
  show.setInt(SW_SHOWNORMAL);
  // shellapi.h maps ShellExecute to ShellExecuteW for this method's name too.
  if (FAILED(shell->ShellExecute(fileText.get(), arguments.value(), directory.value(),
                                 operation.value(), show.value()))) {
    return false;
  }

  const DWORD error = GetLastError();
  Log::Stream() << kSource << L"(err: " << error << L") " << L"explorer-executed '" << file
                << L"' with " << parameters;
  return true;
}

// Whether the program should be started by Explorer rather than by this process.
bool explorerWanted(bool forceExplorer) {
  if (forceExplorer) return true;
  // Our own level unreadable (no integrity levels) or already medium: start directly.
  uint32_t ownLevel = 0;
  if (!getIntegrityLevel(GetCurrentProcess(), &ownLevel) || ownLevel == kMediumIntegrity) return false;
  return true;
}

bool shellRunsAtMediumLevel() {
  const ScopedHandle shell(openShellProcess());
  uint32_t shellLevel = 0;
  return shell && getIntegrityLevel(shell.get(), &shellLevel) && shellLevel == kMediumIntegrity;
}

}  // namespace

bool shellExecute(const std::wstring& file, const std::wstring& parameters,
                  const ShellExecuteOptions& options) {
  ScopedHandle* const process = options.process;
  const bool forceExplorer = options.forceExplorer;
  const bool runAs = options.runAs;
  if (process) process->reset();
  const WindowsVersion version = getWindowsVersion();

  if (!process && version != WindowsVersion::WinXP && options.tryMediumIntegrity &&
      explorerWanted(forceExplorer)) {
    if ((forceExplorer || shellRunsAtMediumLevel()) && startThroughExplorer(file, parameters, runAs)) {
      return true;
    }
    const DWORD error = GetLastError();
    Log::Stream() << kSource << L"(err: " << error << L") " << L"tryMediumIntegrity: failed";
  }

  SHELLEXECUTEINFOW info = {};
#ifndef _WIN64
  static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the 32-bit record is 60 bytes");
#endif
  info.cbSize = sizeof(info);
  // No error dialog on failure: the installer may be silent and nobody would close it. The
  // failure is the log line below.
  info.fMask = (process ? SEE_MASK_NOCLOSEPROCESS : 0) | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = runAs ? L"runas" : L"";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    Log::Stream() << kSource << L"(err: " << error << L") " << L"failed to execute '" << file
                  << L"' with " << parameters;
    return false;
  }

  Log::Stream() << kSource << L"executed '" << file << L"' with " << parameters;
  if (process) process->reset(info.hProcess);
  return true;
}

}  // namespace QVOS
