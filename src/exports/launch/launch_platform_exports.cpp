#include "exports/export_guard.h"
#include "exports/qvnsis_exports.h"
#include "shell/launch/platform_launch.h"

// rundll32.exe "<path>\qvnsis.dll",RunLaunchPlatformW
QVNSIS_RUNDLL_EXPORT void RunLaunchPlatformW(HWND /*window*/, HINSTANCE instance,
                                             wchar_t* /*commandLine*/, int /*show*/) {
  GuardedExport(__func__, [&] { LaunchPlatform(instance); });
}
