#pragma once

#include <windows.h>

#include <string>

// The medium-integrity start: the running Explorer asked to start a program for a process at
// another integrity level, so that the program runs at the shell's level instead of inheriting
// the caller's. Six calls into Explorer's process (the shell windows, the desktop's top-level
// browser, its view, the view's automation object, the shell application, ShellExecute), each
// of which a hung Explorer may never answer: they run on a worker of their own (the apartment
// its own, COM initialised there), and the caller waits for the whole route at most
// kExplorerRouteTimeoutMs.
namespace QVOS {
namespace detail {

constexpr DWORD kExplorerRouteTimeoutMs = 5000;

struct ExplorerRoute {
  enum class Outcome {
    kNotTried,     // the calling thread has no COM: no call was made
    kStarted,      // Explorer answered ShellExecute with success
    kFailed,       // a call failed before Explorer could have started anything: start directly
    kNotAnswered,  // a call before ShellExecute was not answered in time: start directly
    // ShellExecute was handed to Explorer and not answered in time, or its process went away
    // during it: Explorer may have started the program or may still start it.
    kOutcomeUnknown,
  };
  Outcome outcome = Outcome::kFailed;
  const wchar_t* call = L"";  // the call that ended the attempt (none when not tried)
  HRESULT result = E_FAIL;  // its result (kFailed, and kOutcomeUnknown when the process went away)
};

// Asks the running Explorer to start `file` with `parameters` (none when empty), with the
// "runas" operation when `runAs`. The calling thread must have COM initialised, as a caller of
// the shell's automation objects would: without it the route is not tried.
ExplorerRoute startThroughExplorer(const std::wstring& file, const std::wstring& parameters,
                                   bool runAs);

// Whether a failed call may still have been carried out in the server's process: COM says so
// for a server that went away during the call, and says "did not execute" where it knows.
bool mayHaveRun(HRESULT result);

}  // namespace detail
}  // namespace QVOS
