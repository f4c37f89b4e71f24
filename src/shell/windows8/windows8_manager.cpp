#include "shell/windows8/windows8_manager.h"

#include <objbase.h>

#include "foundation/log/log.h"
#include "shell/windows8/monitor_mode_events.h"

namespace {

struct MonitorSearch {
  AppVisibility::IAppVisibility* visibility;
  bool appVisible;
};

BOOL CALLBACK VisitMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
  auto* search = reinterpret_cast<MonitorSearch*>(context);
  AppVisibility::MonitorAppVisibility mode = AppVisibility::kMavUnknown;
  if (SUCCEEDED(search->visibility->GetAppVisibilityOnMonitor(monitor, &mode)) &&
      mode == AppVisibility::kMavAppVisible) {
    search->appVisible = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

Windows8Manager& Windows8Manager::Instance() {
  static Windows8Manager manager;
  return manager;
}

Windows8Manager::~Windows8Manager() {
  // Still subscribed at process exit: COM may be uninitialised and the service's server gone by
  // now, so a Release here could call into unloaded code. The process's end reclaims it.
  visibility_.release();
}

void Windows8Manager::Start(HINSTANCE instance) {
  Log::ScopeTrace trace(L"Windows8Manager::Start");
  if (started_) return;
  instance_ = instance;

  if (SUCCEEDED(CoCreateInstance(AppVisibility::kClsidAppVisibility, nullptr, CLSCTX_ALL,
                                 AppVisibility::kIidAppVisibility, visibility_.putVoid())) &&
      visibility_) {
    QVComPtr<MonitorModeEvents> events(new MonitorModeEvents(this));
    DWORD cookie = 0;
    // The service holds its own reference to the sink; ours goes with `events`.
    if (SUCCEEDED(visibility_->Advise(events.get(), &cookie))) cookie_ = cookie;
  }
  started_ = true;
}

void Windows8Manager::Stop() {
  Log::ScopeTrace trace(L"Windows8Manager::Stop");
  if (!started_) return;
  // Without the service (before Windows 8) there is nothing to unsubscribe from.
  if (visibility_ && cookie_ != 0) visibility_->Unadvise(cookie_);
  visibility_.reset();
  cookie_ = 0;
  started_ = false;
}

bool Windows8Manager::IsModernUIVisible() {
  if (!visibility_) return false;
  BOOL launcherVisible = FALSE;
  if (SUCCEEDED(visibility_->IsLauncherVisible(&launcherVisible)) && launcherVisible) return true;
  MonitorSearch search = {visibility_.get(), false};
  EnumDisplayMonitors(nullptr, nullptr, VisitMonitor, reinterpret_cast<LPARAM>(&search));
  return search.appVisible;
}
