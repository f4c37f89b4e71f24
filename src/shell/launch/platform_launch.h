#pragma once

#include <windows.h>

// Brings the platform up for the user, on the calling thread of its own rundll32.exe process.
// With the platform's menu disabled: waits "LaunchPlatformDelayMs" (default 15000) and starts the
// engine. On Windows 11, whose taskbar hosts no deskbands: starts the engine at once. Otherwise:
// registers the deskband where Explorer can load it, waits on Windows 8 and 8.1 until the
// immersive UI has gone, shows the deskband and, after a fresh registration, registers the
// Explorer verb and the URL protocol. Logs under "RunLaunchPlatformW". `instance` is the module
// instance rundll32.exe passed, handed to the Windows 8 manager.
void LaunchPlatform(HINSTANCE instance);
