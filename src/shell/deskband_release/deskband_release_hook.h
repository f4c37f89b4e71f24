#pragma once

#include <windows.h>

// The release hook for the lifetime of the object: a WH_CALLWNDPROC hook for every thread of
// the desktop, running UnloadLibrariesHookProc from this library, its handle kept in the shared
// hook handle so that the copy of the library inside Explorer can remove it. Whatever Explorer
// has not removed by destruction is removed then.
class QVDeskbandReleaseHook {
 public:
  QVDeskbandReleaseHook();
  ~QVDeskbandReleaseHook();

  QVDeskbandReleaseHook(const QVDeskbandReleaseHook&) = delete;
  QVDeskbandReleaseHook& operator=(const QVDeskbandReleaseHook&) = delete;
};

// The window hook that makes Explorer let go of the deskband library. Every process that loads
// the library sees the same value: it lives in the library's shared data section.
HHOOK GetSharedDeskbandHook();
void SetSharedDeskbandHook(HHOOK hook);

// Takes the hook handle and clears it in one step; null when it was already taken. Whoever gets
// it is the only one to remove the hook (and, inside Explorer, to release and report).
HHOOK ClaimSharedDeskbandHook();
