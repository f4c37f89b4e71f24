#include "exports/export.h"
#include "shell/platform_launch.h"

// rundll32.exe "<path>\qvnsis.dll",RunLaunchPlatformW
QVNSIS_RUNDLL_EXPORT void RunLaunchPlatformW(HWND /*window*/, HINSTANCE instance,
                                             wchar_t* /*commandLine*/, int /*show*/) {
  try {
    LaunchPlatform(instance);
  } catch (...) {
  }
}
