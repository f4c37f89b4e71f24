#pragma once

#include <windows.h>

// Makes Explorer let go of COM libraries it no longer uses (the deskband library among them)
// without restarting it: a window hook brings this library into Explorer, and the hook
// procedure frees the unused libraries there and reports back through a named event.

// Manual-reset event signalled by the hook procedure once Explorer has released its libraries.
extern const wchar_t kFreeDeskbandEventName[];

// Frees Explorer's unused COM libraries when the calling process is Explorer and the release
// hook is still installed. Returns whether it did. Never call it under the loader lock: COM
// takes its own locks there and may unload other libraries.
bool ReleaseIfInExplorer();

// WH_CALLWNDPROC procedure of the release hook. The first call on Explorer's taskbar thread
// performs the release, claims and removes the hook and signals the event; every other call
// (other threads, other processes, later calls) only passes the message on.
LRESULT CALLBACK UnloadLibrariesHookProc(int code, WPARAM wParam, LPARAM lParam);
