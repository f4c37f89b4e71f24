#include "shell/deskband/taskbar_hosts_deskbands.h"

#include "foundation/os/windows_version.h"

bool TaskbarHostsDeskbands() { return QVOS::getWindowsVersion() != QVOS::WindowsVersion::Win11; }
