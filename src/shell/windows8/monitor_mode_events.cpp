#include "shell/windows8/monitor_mode_events.h"

#include <string>

#include "shell/deskband/qv_deskband_util.h"

MonitorModeEvents::MonitorModeEvents(Windows8Manager* manager) : manager_(manager) {}

HRESULT STDMETHODCALLTYPE MonitorModeEvents::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, AppVisibility::kIidAppVisibilityEvents)) {
    *object = static_cast<AppVisibility::IAppVisibilityEvents*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MonitorModeEvents::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE MonitorModeEvents::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE MonitorModeEvents::AppVisibilityOnMonitorChanged(
    HMONITOR, AppVisibility::MonitorAppVisibility, AppVisibility::MonitorAppVisibility) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE MonitorModeEvents::LauncherVisibilityChange(BOOL visible) {
  // Without a deskband window nothing is sent, which is all there is to do.
  QVDeskbandUtil::SendCommand(kStartScreenCommand, std::wstring(), nullptr, std::wstring(),
                              visible ? 0 : 1);
  return S_OK;
}
